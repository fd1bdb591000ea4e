// Single instance between the real console and window launchers of one application directory,
// against the stand-in Java runtime: they share one pipe, and arguments with quotes, spaces or
// nothing in them reach main and the running instance as the command line gave them.
#include <gtest/gtest.h>

#include <thread>

#include "harness/process.h"
#include "harness/standin.h"
#include "platform/os.h"
#include "test_process.h"
#include "test_support.h"

namespace tavrelo::standin::test {
namespace {

// main waits until a new start was handed over, so the first instance serves until then.
constexpr char kOneInstanceApp[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    print "main ran"
    await isOneInstance 30000
  method isOneInstance ([Ljava/lang/String;)Z
    return true
)";

class SharedPipe : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(installJre(dir / u"jre", "jre"));
        ASSERT_TRUE(writeScenario(dir / u"jre", kOneInstanceApp));
        ASSERT_TRUE(
            os::writeFile(dir / u"Demo.properties", "MainClass=demo.App\r\nMainArgs=--extra \"two words\"\r\n"));
        ASSERT_TRUE(installLauncher(dir / u"Demo_console.exe", u"Tavrelo_console.exe"));
        ASSERT_TRUE(installLauncher(dir / u"Demo.exe", u"Tavrelo.exe"));
    }

    // Starts `first`, hands a second start of `second` over to it, and checks both outcomes.
    void handOver(const Text& first, const Text& second) {
        // a"b, "c d", an empty argument and x, by the system's command-line rules.
        const Text commandLine = u"a\\\"b \"c d\" \"\" x";
        const std::string received = R"((["a\"b", "c d", "", "x", "--extra", "two words"]))";
        ProcessResult firstRun;
        std::thread running([&] { firstRun = runProcess(dir / first, commandLine, dir.path(), 60000); });
        const bool mainRan =
            tavrelo::test::waitUntil([&] { return CallLog::read(dir / u"jre").has("call", "demo.App.main"); }, 30000);
        EXPECT_TRUE(mainRan) << CallLog::read(dir / u"jre").text();

        const ProcessResult secondRun =
            mainRan ? runProcess(dir / second, commandLine, dir.path(), 60000) : ProcessResult{};
        running.join();
        ASSERT_TRUE(mainRan);
        EXPECT_EQ(secondRun.exitCode, 0u) << "the second start ended without running main";
        EXPECT_FALSE(secondRun.timedOut);
        EXPECT_EQ(firstRun.exitCode, 1u);

        const CallLog log = CallLog::read(dir / u"jre");
        const auto handed = log.find("call", "demo.App.isOneInstance");
        ASSERT_EQ(handed.size(), 1u) << log.text();
        EXPECT_NE(handed[0].details.find(received), std::string::npos) << handed[0].details;
        const auto main = log.find("call", "demo.App.main");
        ASSERT_EQ(main.size(), 1u) << log.text();
        EXPECT_NE(main[0].details.find(received), std::string::npos) << main[0].details;
        EXPECT_TRUE(log.errors().empty()) << log.text();
    }

    tavrelo::test::TempDir dir;
};

TEST_F(SharedPipe, WindowLauncherHandsOverToTheRunningConsoleLauncher) { handOver(u"Demo_console.exe", u"Demo.exe"); }

TEST_F(SharedPipe, ConsoleLauncherHandsOverToTheRunningWindowLauncher) { handOver(u"Demo.exe", u"Demo_console.exe"); }

} // namespace
} // namespace tavrelo::standin::test
