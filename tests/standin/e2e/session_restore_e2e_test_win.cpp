// Session restore end to end: the window launcher "My Demo.exe" in a directory with a blank is
// told the session ends, saves, and the restart command it stored (run by the test, as wine runs
// no RunOnce values) hands the object and the arguments back.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <deque>
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

// The event window of the process that made the n-th call of main.
HWND eventWindowOf(const CallLog& log, std::size_t n) {
    const std::vector<LogLine> mains = log.find("call", "demo.App.main(");
    for (HWND w = FindWindowExW(nullptr, nullptr, L"Tavrelo WinEvent", nullptr); w && mains.size() > n;
         w = FindWindowExW(nullptr, w, L"Tavrelo WinEvent", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == mains[n].pid) return w;
    }
    return nullptr;
}

const wchar_t kRunOnce[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// "My Demo.exe" in "My Apps" with its temporary directory in the test's folder; each start runs
// it with an argument, its event window and identifier known once main runs.
struct SavingApp {
    struct Run {
        std::thread thread;
        ProcessResult result;
        HWND window = nullptr;
        Text id;
    };

    explicit SavingApp(const std::string& scenario = kScenario) {
        EXPECT_TRUE(os::makeDirectory(home) && os::makeDirectory(dir / u"temp"));
        EXPECT_TRUE(installJre(home + u"\\jre", "jre"));
        EXPECT_TRUE(writeScenario(home + u"\\jre", scenario));
        EXPECT_TRUE(os::writeFile(home + u"\\My Demo.properties", "MainClass=demo.App\r\nMainArgs=-m\r\n"));
        EXPECT_TRUE(installLauncher(home + u"\\My Demo.exe", u"Tavrelo.exe"));
        SetEnvironmentVariableW(L"TMP", wc(temp));
        SetEnvironmentVariableW(L"TEMP", wc(temp));
    }
    ~SavingApp() {
        for (Run& run : runs)
            if (run.thread.joinable()) run.thread.join();
        SetEnvironmentVariableW(L"TMP", nullptr);
        SetEnvironmentVariableW(L"TEMP", nullptr);
    }
    // A run with `arguments` as its command line's own, its window found once its main runs.
    Run& start(const Text& arguments) {
        Run& run = runs.emplace_back();
        run.thread = std::thread(
            [this, &run, arguments] { run.result = runProcess(home + u"\\My Demo.exe", arguments, home, 30000); });
        tavrelo::test::waitUntil(
            [&] { return (run.window = eventWindowOf(CallLog::read(home + u"\\jre"), runs.size() - 1)) != nullptr; },
            15000);
        EXPECT_NE(run.window, nullptr);
        DWORD pid = 0;
        GetWindowThreadProcessId(run.window, &pid);
        run.id = u"My Demo__" + fromInt(pid);
        return run;
    }
    static DWORD_PTR send(const Run& run, UINT message, WPARAM wParam, LPARAM lParam) {
        DWORD_PTR answer = 0xBAD;
        SendMessageTimeoutW(run.window, message, wParam, lParam, SMTO_NORMAL, 10000, &answer);
        return answer;
    }
    bool saved(const Run& run) const { return os::pathExists(temp + run.id + u".restore"); }
    std::string arguments(const Run& run) const {
        std::string bytes;
        return os::readFile(temp + run.id + u".restore_args", bytes) ? bytes : "none";
    }
    static Text command(const Run& run) {
        wchar_t text[1024] = {};
        DWORD size = sizeof text;
        return RegGetValueW(HKEY_CURRENT_USER, kRunOnce, wc(run.id), RRF_RT_REG_SZ, nullptr, text, &size) ==
                       ERROR_SUCCESS
                   ? Text(tc(text))
                   : Text();
    }
    // The stored command run as stored, waited for.
    ProcessResult restart(const Run& run) const {
        int count = 0;
        LPWSTR* words = CommandLineToArgvW(wc(command(run)), &count);
        EXPECT_EQ(count, 2);
        if (count != 2) return {};
        const Text program(tc(words[0])), argument(tc(words[1]));
        LocalFree(words);
        return runProcess(program, u"\"" + argument + u"\"", home, 30000);
    }
    CallLog log() const { return CallLog::read(home + u"\\jre"); }

    tavrelo::test::TempDir dir;
    const Text home = dir / u"My Apps";
    const Text temp = dir / u"temp\\";
    std::deque<Run> runs;
};

// The arguments file's bytes for an ASCII line: UTF-16LE with its NUL.
std::string savedLine(std::string_view line) {
    std::string bytes;
    for (const char c : line)
        bytes += {c, '\0'};
    return bytes + std::string(2, '\0');
}

TEST(SessionRestoreEndToEnd, SavedAtTheSessionsEndAndHandedBackByTheStoredCommand) {
    SavingApp app;
    SavingApp::Run& first = app.start(u"a");
    EXPECT_EQ(SavingApp::send(first, WM_QUERYENDSESSION, 0, 0), 1u); // no notifyEvent: the session may end
    SavingApp::send(first, WM_ENDSESSION, TRUE, 0);
    first.thread.join();

    // The files and the command, written by the time the session's end was answered.
    std::string saved;
    EXPECT_TRUE(os::readFile(app.temp + first.id + u".restore", saved));
    EXPECT_NE(saved.find("java.util.Date:1234567"), std::string::npos);
    EXPECT_EQ(app.arguments(first), savedLine("a \"x y\""));
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(wc(SavingApp::command(first)), &count);
    ASSERT_EQ(count, 2) << toUtf8(SavingApp::command(first));
    EXPECT_EQ(Text(tc(words[0])), app.home + u"\\My Demo.exe");
    EXPECT_EQ(Text(tc(words[1])), u"__Tavrelo_restore=" + first.id);
    LocalFree(words);

    // The stored command: the object before main, the saved arguments with "MainArgs" once.
    SavingApp::Run& restored = app.start(u"\"__Tavrelo_restore=" + first.id + u"\"");
    const CallLog log = app.log();
    const std::vector<LogLine> sets = log.find("call", "demo.App.sessionSetData(");
    ASSERT_EQ(sets.size(), 1u) << log.text();
    EXPECT_NE(sets[0].details.find("java.util.Date#"), std::string::npos) << sets[0].details;
    EXPECT_NE(sets[0].details.find("time=1234567>"), std::string::npos);
    const std::vector<LogLine> mains = log.find("call", "demo.App.main(");
    ASSERT_EQ(mains.size(), 2u);
    EXPECT_NE(mains[1].details.find("([\"a\", \"x y\", \"-m\"])"), std::string::npos) << mains[1].details;
    EXPECT_FALSE(app.saved(first));
    EXPECT_EQ(app.arguments(first), "none");
    EXPECT_EQ(SavingApp::command(first), u"");

    // Saving again adds the new arguments to the restored ones; a cancel takes it all back.
    SavingApp::send(restored, WM_QUERYENDSESSION, 0, 0);
    EXPECT_TRUE(tavrelo::test::waitUntil([&] { return !SavingApp::command(restored).empty(); }, 5000));
    EXPECT_EQ(app.arguments(restored), savedLine("a \"x y\" \"x y\""));
    SavingApp::send(restored, WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(SavingApp::command(restored), u"");
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

TEST(SessionRestoreEndToEnd, ALogOffOrADeclineSavesNothingAndACancelledShutdownTakesTheSaveBack) {
    {
        SavingApp app;
        SavingApp::Run& run = app.start(u"a");
        SavingApp::send(run, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
        Sleep(1000);
        EXPECT_FALSE(app.saved(run));
        SavingApp::send(run, WM_QUERYENDSESSION, 0, 0);
        EXPECT_TRUE(tavrelo::test::waitUntil([&] { return !SavingApp::command(run).empty(); }, 5000));
        EXPECT_TRUE(app.saved(run));
        SavingApp::send(run, WM_ENDSESSION, FALSE, 0);
        EXPECT_FALSE(app.saved(run));
        EXPECT_EQ(app.arguments(run), "none");
        EXPECT_EQ(SavingApp::command(run), u"");
    }
    SavingApp declining(std::string(kScenario) + "  method sessionIsRestore ()Z\n    return false\n");
    SavingApp::Run& run = declining.start(u"a");
    SavingApp::send(run, WM_QUERYENDSESSION, 0, 0);
    Sleep(1000);
    EXPECT_TRUE(declining.log().has("call", "demo.App.sessionIsRestore"));
    EXPECT_FALSE(declining.saved(run));
    EXPECT_EQ(declining.arguments(run), "none");
    EXPECT_EQ(SavingApp::command(run), u"");
}

constexpr char kRestoreAlone[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    sleep 6000
  method sessionIsRestore ()Z
    return true
  method sessionSetData (Ljava/io/Serializable;)V
)";

// sessionIsRestore alone: a restart with the same arguments and no object; two instances of one
// application each keep their own.
TEST(SessionRestoreEndToEnd, TwoInstancesRestartEachWithItsOwnArguments) {
    SavingApp app(kRestoreAlone);
    SavingApp::Run& one = app.start(u"one");
    SavingApp::Run& two = app.start(u"two 2");
    for (const SavingApp::Run* run : {&one, &two}) {
        SavingApp::send(*run, WM_QUERYENDSESSION, 0, 0);
        SavingApp::send(*run, WM_ENDSESSION, TRUE, 0);
    }
    one.thread.join();
    two.thread.join();
    EXPECT_NE(one.id, two.id);
    EXPECT_FALSE(app.saved(one));
    EXPECT_EQ(app.arguments(one), savedLine("one"));
    EXPECT_EQ(app.arguments(two), savedLine("two 2"));

    EXPECT_EQ(app.restart(two).exitCode, 1u);
    EXPECT_EQ(app.restart(one).exitCode, 1u);
    const CallLog log = app.log();
    const std::vector<LogLine> mains = log.find("call", "demo.App.main(");
    ASSERT_EQ(mains.size(), 4u) << log.text();
    EXPECT_NE(mains[2].details.find("([\"two\", \"2\", \"-m\"])"), std::string::npos) << mains[2].details;
    EXPECT_NE(mains[3].details.find("([\"one\", \"-m\"])"), std::string::npos) << mains[3].details;
    const std::vector<LogLine> sets = log.find("call", "demo.App.sessionSetData(");
    ASSERT_EQ(sets.size(), 2u);
    for (const LogLine& set : sets)
        EXPECT_NE(set.details.find("(null)"), std::string::npos) << set.details;
    EXPECT_EQ(SavingApp::command(one) + SavingApp::command(two), u"");
}

// Ended at any moment of a save of about a megabyte, the application leaves each file absent or
// whole, and a stored command only beside whole files.
TEST(SessionRestoreEndToEnd, AProcessEndedDuringTheSaveLeavesNoPartialFile) {
    SavingApp app(std::string(kScenario).replace(std::string(kScenario).find("object java.util.Date:1234567"), 29,
                                                 "blob " + std::string(2 << 20, 'a')));
    std::size_t whole = 0;
    for (const int delayMs : {-1, 0, 2, 5, 10, 20, 50, 120}) {
        SavingApp::Run& run = app.start(u"a");
        DWORD pid = 0;
        GetWindowThreadProcessId(run.window, &pid);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        ASSERT_NE(process, nullptr);
        PostMessageW(run.window, WM_QUERYENDSESSION, 0, 0);
        if (delayMs < 0) // left alone: what a whole save leaves
            EXPECT_TRUE(tavrelo::test::waitUntil([&] { return !SavingApp::command(run).empty(); }, 10000));
        else
            Sleep(static_cast<DWORD>(delayMs));
        TerminateProcess(process, 9);
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
        run.thread.join();

        std::string data;
        const bool hasData = os::readFile(app.temp + run.id + u".restore", data);
        if (delayMs < 0) whole = data.size();
        EXPECT_GT(whole, 1u << 20);
        EXPECT_TRUE(!hasData || data.size() == whole) << delayMs << " ms: " << data.size();
        const std::string arguments = app.arguments(run);
        EXPECT_TRUE(arguments == "none" || arguments == savedLine("a \"x y\"")) << delayMs << " ms";
        EXPECT_TRUE(SavingApp::command(run).empty() || (hasData && arguments != "none")) << delayMs << " ms";
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunOnce, wc(run.id));
    }
}

} // namespace
} // namespace tavrelo::standin::test
