// Administrator sections end to end: the console launcher restarts itself or runs a section in a
// copy of the window launcher. Wine runs "runas" as "open" with every process a full
// administrator, so the copy is a real second process but no prompt and no token split exist here.
#include <windows.h>

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <map>
#include <set>

#include "demo_app.h"
#include "ipc/pipe_security.h"
#include "pipe_test_support.h"
#include "platform/os.h"
#include "platform/win_text.h"

namespace tavrelo::standin::test {
namespace {

using tavrelo::test::waitUntil;

std::set<unsigned long> pids(const CallLog& log) {
    std::set<unsigned long> all;
    for (const LogLine& line : log.lines()) all.insert(line.pid);
    return all;
}

std::vector<LogLine> of(const std::vector<LogLine>& lines, unsigned long pid) {
    std::vector<LogLine> kept;
    for (const LogLine& line : lines)
        if (line.pid == pid) kept.push_back(line);
    return kept;
}

// Whether the process ended within the time; one that did not is ended here.
bool ended(unsigned long pid, unsigned timeoutMs) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    if (!process) return true;
    const bool done = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    if (!done) TerminateProcess(process, 1);
    CloseHandle(process);
    return done;
}

std::size_t threadCount(unsigned long pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    std::size_t count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == pid;
    CloseHandle(snapshot);
    return count;
}

constexpr char kRestartScenario[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    invoke sectionRestartAsAdmin object token ["b c"]
  method sectionSetDataRestart (Ljava/io/Serializable;)V
    sleep 3000
  native sectionRestartAsAdmin (Ljava/io/Serializable;[Ljava/lang/String;)V
)";

// Runs the restart; the test takes the launcher away once the new run exists, so that run's own
// main cannot restart again. The new run's pid, or 0.
unsigned long restart(DemoApp& app, ProcessResult& first, bool waitForObject) {
    first = app.run(u"a");
    unsigned long second = 0;
    waitUntil(
        [&] {
            for (unsigned long pid : pids(app.log()))
                if (pid != app.log().lines().front().pid) second = pid;
            return second != 0 && (!waitForObject || app.log().has("call", "sectionSetDataRestart"));
        },
        20000);
    EXPECT_TRUE(MoveFileW(wc(app.launcher), wc(app.dir / u"moved.exe")));
    EXPECT_TRUE(ended(second, 30000)) << app.log().text();
    return second;
}

TEST(AdminSectionsEndToEnd, RestartHandsTheObjectOverAndMainGetsItsArgumentsOnce) {
    DemoApp app(kRestartScenario, u"Tavrelo_console.exe", "MainArgs=-m\r\n");
    ProcessResult first;
    const unsigned long second = restart(app, first, true);
    const CallLog log = app.log();
    const unsigned long firstPid = log.lines().front().pid;
    EXPECT_EQ(first.exitCode, 0u) << log.text();
    EXPECT_EQ(of(log.find("exit"), firstPid).size(), 1u) << "the first run ends through System.exit(0)";
    const std::vector<LogLine> calls = of(log.find("call", "demo.App."), second);
    ASSERT_EQ(calls.size(), 2u) << log.text();
    EXPECT_NE(calls[0].details.find("sectionSetDataRestart(Ljava/io/Serializable;)V (object token)"),
              std::string::npos)
        << calls[0].details;
    EXPECT_NE(calls[1].details.find("main([Ljava/lang/String;)V ([\"a\", \"b c\", \"-m\"])"), std::string::npos)
        << calls[1].details;
    EXPECT_TRUE(log.errors().empty()) << log.text();
}

TEST(AdminSectionsEndToEnd, RestartWithoutTheReceiverEndsAtOnceAndTheNewRunStillRunsMain) {
    DemoApp app(R"(
class demo.App
  method main ([Ljava/lang/String;)V
    invoke sectionRestartAsAdmin null []
  native sectionRestartAsAdmin (Ljava/io/Serializable;[Ljava/lang/String;)V
)");
    ProcessResult first;
    const unsigned long second = restart(app, first, false);
    const CallLog log = app.log();
    EXPECT_EQ(first.exitCode, 0u);
    EXPECT_EQ(of(log.find("call", "demo.App.main"), second).size(), 1u) << log.text();
    EXPECT_TRUE(log.errors().empty()) << log.text();
}

// The user process starts section 3 and waits for it; both sides send one object; the pump's
// delivery on the user side tries to start section 3 again.
constexpr char kSectionScenario[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    invoke sectionStartAdminThread 3 object toCopy true
    invoke sectionSetIconAdmin null
    invoke sectionSetIconAdmin new javax.swing.JButton
    sleep 1500
  method sectionMainAdmin (ILjava/io/Serializable;)V
    sleep 9000
  method sectionClosedAdminThread (I)V
    return
  method sectionIsDataForAdmin (I)Z
    return sequence true false
  method sectionDataForAdmin (I)Ljava/io/Serializable;
    return object forCopy
  method sectionDataFromAdmin (ILjava/io/Serializable;)V
    invoke sectionStartAdminThread 3 object again false
  method sectionIsDataForUser ()Z
    return sequence true false
  method sectionDataForUser ()Ljava/io/Serializable;
    return object forUser
  method sectionDataFromUser (Ljava/io/Serializable;)V
    return
  native sectionStartAdminThread (ILjava/io/Serializable;Z)Z
  native sectionSetIconAdmin (Ljava/awt/Component;)V
)";

TEST(AdminSectionsEndToEnd, SectionExchangesObjectsBothWaysAndEndsByItself) {
    DemoApp app(kSectionScenario);
    ASSERT_TRUE(installLauncher(app.dir / u"Demo.exe", u"Tavrelo.exe"));
    app.start();
    std::map<std::string, unsigned long> userPipe;
    ASSERT_TRUE(waitUntil([&] { return app.log().has("call", "sectionMainAdmin"); }, 30000)) << app.log().text();
    const unsigned long user = app.log().lines().front().pid;
    userPipe = tavrelo::test::pipeAccess(u"\\\\.\\pipe\\Tavrelo_ThreadAsAdmin1_" + fromInt(user) + u"_3");
    const ProcessResult run = app.finish();
    const CallLog log = app.log();
    EXPECT_EQ(run.exitCode, 1u) << log.text();

    const std::set<unsigned long> all = pids(log);
    ASSERT_EQ(all.size(), 2u) << "one copy only: " << log.text();
    const unsigned long copy = *all.begin() == user ? *all.rbegin() : *all.begin();
    EXPECT_TRUE(ended(copy, 0));
    EXPECT_EQ(of(log.find("call", "sectionMainAdmin(ILjava/io/Serializable;)V (3, object toCopy)"), copy).size(), 1u);
    EXPECT_EQ(of(log.find("call", "sectionDataFromUser(Ljava/io/Serializable;)V (object forCopy)"), copy).size(), 1u);
    EXPECT_EQ(of(log.find("call", "sectionDataFromAdmin(ILjava/io/Serializable;)V (3, object forUser)"), user).size(),
              1u);
    EXPECT_TRUE(of(log.find("exit"), copy).empty()) << "the copy ended by itself";
    EXPECT_EQ(of(log.find("native", "(3, object again, false) -> false"), user).size(), 1u) << log.text();
    EXPECT_EQ(of(log.find("call", "sectionClosedAdminThread(I)V (3)"), user).size(), 1u) << log.text();
    // The wait returned only once the copy had gone: nothing of the copy is logged after it.
    std::size_t waited = 0, lastOfCopy = 0;
    for (std::size_t i = 0; i < log.lines().size(); ++i) {
        const LogLine& line = log.lines()[i];
        if (line.pid == copy) lastOfCopy = i;
        if (line.kind == "native" && line.details.find("(3, object toCopy, true) -> true") != std::string::npos)
            waited = i;
    }
    EXPECT_GT(waited, lastOfCopy) << log.text();
    EXPECT_FALSE(log.has("call", "ImageIcon")) << "elevated already: no shield";
    EXPECT_FALSE(log.has("call", "setIcon"));
    EXPECT_TRUE(log.errors().empty()) << log.text();
    // The user side's pipe admits the elevated copy, whatever account it runs under.
    EXPECT_EQ(userPipe.size(), 3u);
    EXPECT_EQ(userPipe["user"], static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_EQ(userPipe["system"], static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_EQ(userPipe["administrators"], static_cast<DWORD>(kInteractivePipeRights));
}

TEST(AdminSectionsEndToEnd, FailedStartsLeaveNoPipeAndNoThreadBehind) {
    // No Demo.exe beside the launcher: the elevated start fails, as when the prompt is declined.
    std::string scenario = "class demo.App\n  method main ([Ljava/lang/String;)V\n    sleep 2000\n";
    for (int i = 0; i < 20; ++i) scenario += "    invoke sectionStartAdminThread 3 object x false\n";
    scenario += R"(    sleep 4000
  method sectionMainAdmin (ILjava/io/Serializable;)V
    return
  method sectionClosedAdminThread (I)V
    return
  method sectionIsDataForAdmin (I)Z
    return false
  native sectionStartAdminThread (ILjava/io/Serializable;Z)Z
)";
    DemoApp app(scenario);
    app.start();
    ASSERT_TRUE(waitUntil([&] { return app.log().has("call", "demo.App.main"); }, 30000));
    const unsigned long pid = app.log().lines().front().pid;
    os::sleepMs(500);
    const std::size_t before = threadCount(pid);
    ASSERT_TRUE(waitUntil([&] { return app.log().find("native", "sectionStartAdminThread").size() == 20; }, 30000));
    os::sleepMs(2000);
    EXPECT_FALSE(pipeIsServed(u"\\\\.\\pipe\\Tavrelo_ThreadAsAdmin1_" + fromInt(pid) + u"_3"));
    EXPECT_LE(threadCount(pid), before) << "a channel thread is left";
    const ULONGLONG checked = GetTickCount64();
    const ProcessResult run = app.finish();
    EXPECT_LT(GetTickCount64() - checked, 6000u);
    const CallLog log = app.log();
    EXPECT_EQ(run.exitCode, 1u) << log.text();
    EXPECT_EQ(log.find("native", "-> false").size(), 20u) << log.text();
    EXPECT_FALSE(log.has("call", "sectionClosedAdminThread"));
    EXPECT_EQ(pids(log).size(), 1u);
    EXPECT_TRUE(log.errors().empty()) << log.text();
}

std::string objectBytes(std::string_view label) {
    return std::string("\xAC\xED\x00\x05\x77", 5) + static_cast<char>(label.size()) + std::string(label);
}

bool writeObject(PipeRef pipe, void* data) {
    const auto& bytes = *static_cast<const std::string*>(data);
    return writeInt32(pipe, static_cast<std::int32_t>(bytes.size())) && writeMessage(pipe, bytes.data(), bytes.size());
}

Text peerProgram() { return standinDirectory() + u"\\..\\pipe_peer.exe"; }

// The copy started by hand, with this test process as its parent: another process (the pipe
// peer) sends well-formed objects to both of the copy's pipes first; only the parent's arrive.
TEST(AdminSectionsEndToEnd, CopyServesItsParentAloneOnPipesForItsAccounts) {
    DemoApp app(R"(
class demo.App
  method sectionMainAdmin (ILjava/io/Serializable;)V
    sleep 8000
  method sectionDataFromUser (Ljava/io/Serializable;)V
    return
)",
                u"Tavrelo.exe");
    const Text me = fromInt(GetCurrentProcessId());
    const Text start = u"\\\\.\\pipe\\Tavrelo_RunAsAdmin_" + me + u"_5";
    const Text objects = u"\\\\.\\pipe\\Tavrelo_ThreadAsAdmin2_" + me + u"_5";
    const auto foreign = [&](const Text& pipe, std::string_view label) {
        const std::string bytes = objectBytes(label);
        (void)runProcess(peerProgram(),
                         u"send " + pipe + u" " + (app.dir / u"peer.out") + u" " + tavrelo::test::kReadyHex + u" " +
                             tavrelo::test::hexInt(static_cast<std::int32_t>(bytes.size())) + u" " +
                             tavrelo::test::hexBytes(bytes),
                         app.dir.path(), 20000);
    };
    app.start(u"__ThreadAsAdmin__ " + me + u" 5");
    bool busy = false;
    ASSERT_TRUE(waitUntil([&] { return waitForPipe(start, busy); }, 30000)) << app.log().text();
    foreign(start, "evil");
    std::string good = objectBytes("good");
    EXPECT_EQ(pipeExchange(start, writeObject, &good), 1);
    ASSERT_TRUE(waitUntil([&] { return waitForPipe(objects, busy); }, 10000));
    const std::map<std::string, unsigned long> access = tavrelo::test::pipeAccess(objects);
    foreign(objects, "evil2");
    std::string second = objectBytes("good2");
    EXPECT_EQ(pipeExchange(objects, writeObject, &second), 1);
    const ProcessResult run = app.finish();
    const CallLog log = app.log();
    EXPECT_EQ(run.exitCode, 1u) << log.text();
    EXPECT_EQ(log.find("call", "sectionMainAdmin(ILjava/io/Serializable;)V (5, object good)").size(), 1u)
        << log.text();
    EXPECT_EQ(log.find("call", "sectionDataFromUser(Ljava/io/Serializable;)V (object good2)").size(), 1u);
    EXPECT_EQ(log.text().find("evil"), std::string::npos) << log.text();
    // Its own account and SYSTEM fully; the parent's account (here the same one) reads and writes.
    EXPECT_EQ(access.size(), 2u);
    EXPECT_EQ(access.count("user") ? access.at("user") : 0, static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_EQ(access.count("system") ? access.at("system") : 0, static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_TRUE(log.errors().empty()) << log.text();
}

TEST(AdminSectionsEndToEnd, CopyEndsWithItsUserProcess) {
    DemoApp app(R"(
class demo.App
  method sectionMainAdmin (ILjava/io/Serializable;)V
    sleep 30000
)",
                u"Tavrelo.exe");
    // A stand-in for the user process: a peer that would live two minutes.
    Text line = u"\"" + peerProgram() + u"\" record \\\\.\\pipe\\Tavrelo_test_parent_" + fromInt(GetCurrentProcessId()) +
                u" " + (app.dir / u"parent.out") + u" 1";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION parent{};
    ASSERT_TRUE(CreateProcessW(nullptr, wc(line.data()), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &parent));
    CloseHandle(parent.hThread);
    const Text start = u"\\\\.\\pipe\\Tavrelo_RunAsAdmin_" + fromInt(parent.dwProcessId) + u"_6";
    app.start(u"__ThreadAsAdmin__ " + fromInt(parent.dwProcessId) + u" 6");
    bool busy = false;
    const bool served = waitUntil([&] { return waitForPipe(start, busy); }, 30000);
    TerminateProcess(parent.hProcess, 0);
    CloseHandle(parent.hProcess);
    ASSERT_TRUE(served);
    const ULONGLONG killedAt = GetTickCount64();
    (void)app.finish();
    EXPECT_LT(GetTickCount64() - killedAt, 2500u) << "the copy outlived its user process";
    EXPECT_EQ(app.log().find("exit").size(), 1u) << app.log().text();
}

} // namespace
} // namespace tavrelo::standin::test
