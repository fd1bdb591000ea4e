// Session restore end to end: the window launcher "My Demo.exe" in a directory with a blank is
// told the session ends, saves, and the restart command it stored (run by the test, as wine runs
// no RunOnce values) hands the object and the arguments back.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <thread>

#include "harness/process.h"
#include "harness/standin.h"
#include "platform/os.h"
#include "platform/win_text.h"
#include "test_process.h"
#include "test_support.h"

namespace tavrelo::standin::test {
namespace {

constexpr char kScenario[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    sleep 6000
  method sessionGetData ()Ljava/io/Serializable;
    return object java.util.Date:1234567
  method sessionGetMainArgs ()[Ljava/lang/String;
    return ["x y"]
  method sessionSetData (Ljava/io/Serializable;)V
)";

HWND eventWindowOf(const CallLog& log) {
    const std::vector<LogLine> mains = log.find("call", "demo.App.main(");
    for (HWND w = FindWindowExW(nullptr, nullptr, L"Tavrelo WinEvent", nullptr); w && !mains.empty();
         w = FindWindowExW(nullptr, w, L"Tavrelo WinEvent", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == mains.front().pid) return w;
    }
    return nullptr;
}

// "My Demo.exe" in "My Apps" with its temporary directory in the test's folder, started with
// the argument a; its event window and process id once main runs.
struct SavingApp {
    SavingApp() {
        EXPECT_TRUE(os::makeDirectory(home) && os::makeDirectory(dir / u"temp"));
        EXPECT_TRUE(installJre(home + u"\\jre", "jre"));
        EXPECT_TRUE(writeScenario(home + u"\\jre", kScenario));
        EXPECT_TRUE(os::writeFile(home + u"\\My Demo.properties", "MainClass=demo.App\r\nMainArgs=-m\r\n"));
        EXPECT_TRUE(installLauncher(home + u"\\My Demo.exe", u"Tavrelo.exe"));
        SetEnvironmentVariableW(L"TMP", wc(temp));
        SetEnvironmentVariableW(L"TEMP", wc(temp));
        run = std::thread([this] { first = runProcess(home + u"\\My Demo.exe", u"a", home, 30000); });
        tavrelo::test::waitUntil([&] { return (window = eventWindowOf(CallLog::read(home + u"\\jre"))) != nullptr; },
                                 15000);
        EXPECT_NE(window, nullptr);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        id = u"My Demo__" + fromInt(pid);
    }
    ~SavingApp() {
        if (run.joinable()) run.join();
        SetEnvironmentVariableW(L"TMP", nullptr);
        SetEnvironmentVariableW(L"TEMP", nullptr);
    }
    DWORD_PTR send(UINT message, WPARAM wParam, LPARAM lParam) const {
        DWORD_PTR answer = 0xBAD;
        SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 10000, &answer);
        return answer;
    }
    bool saved() const { return os::pathExists(temp + id + u".restore"); }
    bool registered() const {
        return RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", wc(id),
                            RRF_RT_REG_SZ, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }

    tavrelo::test::TempDir dir;
    const Text home = dir / u"My Apps";
    const Text temp = dir / u"temp\\";
    std::thread run;
    ProcessResult first;
    HWND window = nullptr;
    Text id;
};

TEST(SessionRestoreEndToEnd, SavedAtTheSessionsEndAndHandedBackByTheStoredCommand) {
    SavingApp app;
    const Text& home = app.home;
    const Text& temp = app.temp;
    const Text& id = app.id;
    EXPECT_EQ(app.send(WM_QUERYENDSESSION, 0, 0), 1u); // no notifyEvent: the session may end
    app.send(WM_ENDSESSION, TRUE, 0);
    app.run.join();

    // The files and the command, written by the time the session's end was answered.
    std::string saved;
    EXPECT_TRUE(os::readFile(temp + id + u".restore", saved));
    EXPECT_NE(saved.find("java.util.Date:1234567"), std::string::npos);
    EXPECT_TRUE(os::readFile(temp + id + u".restore_args", saved));
    EXPECT_EQ(saved, std::string("a\0 \0\"\0x\0 \0y\0\"\0\0\0", 16));
    wchar_t command[1024] = {};
    DWORD size = sizeof command;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", wc(id),
                           RRF_RT_REG_SZ, nullptr, command, &size),
              ERROR_SUCCESS);
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(command, &count);
    ASSERT_EQ(count, 2) << toUtf8(tc(command));
    EXPECT_EQ(Text(tc(words[0])), home + u"\\My Demo.exe");
    EXPECT_EQ(Text(tc(words[1])), u"__Tavrelo_restore=" + id);

    // The stored command: the object before main, the saved arguments with "MainArgs" once.
    const ProcessResult restored = runProcess(tc(words[0]), u"\"" + Text(tc(words[1])) + u"\"", home, 30000);
    LocalFree(words);
    EXPECT_EQ(restored.exitCode, 1u);
    const CallLog log = CallLog::read(home + u"\\jre");
    const std::vector<LogLine> sets = log.find("call", "demo.App.sessionSetData(");
    ASSERT_EQ(sets.size(), 1u) << log.text();
    EXPECT_NE(sets[0].details.find("java.util.Date#"), std::string::npos) << sets[0].details;
    EXPECT_NE(sets[0].details.find("time=1234567>"), std::string::npos);
    const std::vector<LogLine> mains = log.find("call", "demo.App.main(");
    ASSERT_EQ(mains.size(), 2u);
    EXPECT_NE(mains[1].details.find("([\"a\", \"x y\", \"-m\"])"), std::string::npos) << mains[1].details;
    EXPECT_FALSE(os::pathExists(temp + id + u".restore"));
    EXPECT_FALSE(os::pathExists(temp + id + u".restore_args"));
    EXPECT_NE(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", wc(id),
                           RRF_RT_REG_SZ, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

TEST(SessionRestoreEndToEnd, ALogOffSavesNothingAndACancelledShutdownTakesTheSaveBack) {
    SavingApp app;
    app.send(WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    Sleep(1000);
    EXPECT_FALSE(app.saved());
    app.send(WM_QUERYENDSESSION, 0, 0);
    EXPECT_TRUE(tavrelo::test::waitUntil([&] { return app.registered(); }, 5000));
    EXPECT_TRUE(app.saved());
    app.send(WM_ENDSESSION, FALSE, 0);
    EXPECT_FALSE(app.saved());
    EXPECT_FALSE(os::pathExists(app.temp + app.id + u".restore_args"));
    EXPECT_FALSE(app.registered());
}

} // namespace
} // namespace tavrelo::standin::test
