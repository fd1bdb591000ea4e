// What ends a process that runs the stand-in (a small host program plays the launcher), and the
// message-box driver against boxes that another process shows.
#include <gtest/gtest.h>

#include "harness/box_driver.h"
#include "harness/process.h"
#include "harness/standin.h"
#include "test_support.h"

namespace tavrelo::standin::test {
namespace {

struct HostRun {
    explicit HostRun(std::string_view scenario) {
        home = dir / u"jre";
        EXPECT_TRUE(installJre(home));
        EXPECT_TRUE(writeScenario(home, scenario));
    }
    ProcessResult run(TextView arguments) {
        return runProcess(helperProgram(u"standin_host.exe"), u"\"" + home + u"\\bin\\server\\jvm.dll\" demo/App " + Text(arguments),
                          dir.path(), 30000);
    }
    tavrelo::test::TempDir dir;
    Text home;
};

TEST(StandinProcess, SystemExitEndsTheProcessWithItsStatusAfterTheExitHook) {
    HostRun host(R"(
class demo.App
  method main ([Ljava/lang/String;)V
    print "running"
    exit 5
    print "not reached"
)");
    const ProcessResult r = host.run(u"one");
    ASSERT_TRUE(r.started);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 5u);
    EXPECT_EQ(r.out, "running\r\nexit hook 5\r\n");
    const CallLog log = CallLog::read(host.home);
    EXPECT_TRUE(log.has("exit", "5 (exit hook)")) << log.text();
    EXPECT_TRUE(log.has("call", "demo.App.main([Ljava/lang/String;)V ([\"one\"])"));
    EXPECT_FALSE(log.has("destroyed"));
}

TEST(StandinProcess, AnExceptionEscapingMainIsDescribedOnStandardError) {
    HostRun host(R"(
class demo.App
  method main ([Ljava/lang/String;)V
    throw java.lang.IllegalStateException "broken"
)");
    const ProcessResult r = host.run(u"");
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_NE(r.err.find("Exception in thread \"main\" java.lang.IllegalStateException: broken"), std::string::npos) << r.err;
    EXPECT_TRUE(CallLog::read(host.home).has("describe", "java.lang.IllegalStateException: broken"));
}

TEST(StandinProcess, ANormalEndWaitsForTheApplicationThreads) {
    HostRun host(R"(
class demo.App
  method main ([Ljava/lang/String;)V
    start worker 600
)");
    const ProcessResult r = host.run(u"");
    EXPECT_EQ(r.exitCode, 1u);
    const CallLog log = CallLog::read(host.home);
    const auto& lines = log.lines();
    std::size_t ended = lines.size(), destroyed = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == "thread-end") ended = i;
        if (lines[i].kind == "destroyed") destroyed = i;
    }
    ASSERT_LT(destroyed, lines.size()) << log.text();
    EXPECT_LT(ended, destroyed) << log.text();
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

ProcessResult showBox(BoxDriver& driver, unsigned style, const std::u16string& caption, const std::u16string& text) {
    tavrelo::test::TempDir dir;
    return runProcess(helperProgram(u"standin_box_helper.exe"),
                      fromInt(style) + u" \"" + caption + u"\" \"" + text + u"\"", dir.path(), 30000, &driver);
}

TEST(MessageBoxDriver, RecordsCaptionTextAndStyleAndPressesTheRequestedButton) {
    BoxDriver driver({kIdNo, kIdOk, kIdYes, kIdOk});
    EXPECT_EQ(showBox(driver, 0x24, u"Windows Service", u"Do you want to install it ?").exitCode, 7u);
    EXPECT_EQ(showBox(driver, 0x30, u"JVM", u"La JVM utilisée est prévue pour une architecture x86").exitCode, 1u);
    EXPECT_EQ(showBox(driver, 0x14, u"Java Runtime Environment (JRE)", u"Java 1.6 isn't installed !").exitCode, 6u);
    EXPECT_EQ(showBox(driver, 0x40000, u"JVM", u"Can't run the JVM").exitCode, 1u);

    const std::vector<BoxRecord> boxes = driver.boxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].caption, u"Windows Service");
    EXPECT_EQ(boxes[0].text, u"Do you want to install it ?");
    EXPECT_EQ(boxes[0].style(), 0x24u);
    EXPECT_EQ(boxes[0].pressed, kIdNo);
    EXPECT_EQ(boxes[1].text, u"La JVM utilisée est prévue pour une architecture x86");
    EXPECT_EQ(boxes[1].style(), 0x30u);
    EXPECT_EQ(boxes[2].style(), 0x14u);
    EXPECT_EQ(boxes[3].style(), 0x00u); // no icon, OK only
    for (const BoxRecord& b : boxes) EXPECT_TRUE(b.expected);
}

TEST(MessageBoxDriver, ABoxBeyondTheAnswersIsClosedAndMarkedUnexpected) {
    BoxDriver driver({kIdYes});
    // The only answer does not fit an OK box: it is closed with OK and marked.
    EXPECT_EQ(showBox(driver, 0x10, u"System", u"Access is denied.").exitCode, 1u);
    EXPECT_EQ(showBox(driver, 0x24, u"Question", u"And this one?").exitCode, 7u);
    const std::vector<BoxRecord> boxes = driver.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_FALSE(boxes[0].expected);
    EXPECT_EQ(boxes[0].style(), 0x10u);
    EXPECT_FALSE(boxes[1].expected);
    EXPECT_EQ(boxes[1].pressed, kIdNo);
}

TEST(MessageBoxDriver, AnswersTheBoxesOfTheProcessesTheWatchedOneStarts) {
    BoxDriver driver({kIdYes});
    tavrelo::test::TempDir dir;
    const ProcessResult r = runProcess(helperProgram(u"standin_box_helper.exe"),
                                       u"--child 36 \"Elevated section\" \"Run as administrator ?\"", dir.path(), 30000,
                                       &driver);
    EXPECT_EQ(r.exitCode, 6u);
    ASSERT_EQ(driver.boxes().size(), 1u);
    EXPECT_EQ(driver.boxes()[0].caption, u"Elevated section");
    EXPECT_EQ(driver.boxes()[0].style(), 0x24u);
}

} // namespace
} // namespace tavrelo::standin::test
