// The real Linux launcher, copied beside the Java fixtures under an application's name.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "jvm_support.h"
#include "test_process.h"

namespace tavrelo::test {
namespace {

using Lines = std::vector<std::string>;

TEST(LauncherRun, ArgumentsThenMainArgsReachMainAsWords) {
    AppDirectory app("Probe");
    app.properties("MainArgs=-x \"two words\"\n");
    const RunResult run = app.run({"a", "b c", "*.txt", "what?"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(linesWith(run.out, "arg="), (Lines{"a", "b c", "*.txt", "what?", "-x", "two words"}));
}

TEST(LauncherRun, WithoutArgumentsMainGetsAnEmptyArray) {
    AppDirectory app("Probe");
    const RunResult run = app.run();
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(linesWith(run.out, "args="), (Lines{"0"}));
    EXPECT_EQ(run.err, "");
}

TEST(LauncherRun, PersonalOptionsReachTheVmUnescapedAndDeduplicated) {
    AppDirectory app("Probe");
    app.properties("PersonalOptions=-Dpath=C\\:\\\\\\\\tmp -Dname=\xC3\xA9t\xC3\xA9 \"-Dspaced=a b\" -Ddup=x -DDUP=X"
                   " -Xmx64m -xmx64m \"\"\n");
    Environment environment = launcherEnvironment();
    setVariable(environment, "PROBE_PROPS", "path,name,spaced,dup,DUP");
    const RunResult run = app.run({}, environment);
    // An unrecognised "-xmx64m" or an empty option would have stopped the VM from starting.
    ASSERT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(reportedProperty(run.out, "path"), "C:\\u005ctmp");
    EXPECT_EQ(reportedProperty(run.out, "name"), "\\u00e9t\\u00e9");
    EXPECT_EQ(reportedProperty(run.out, "spaced"), "a b");
    EXPECT_EQ(reportedProperty(run.out, "dup"), "x");
    EXPECT_EQ(reportedProperty(run.out, "DUP"), "<null>");
    const auto memory = linesWith(run.out, "maxMemory=");
    ASSERT_EQ(memory.size(), 1u);
    EXPECT_LE(std::stoll(memory.front()), 64LL * 1024 * 1024);
    // The non-ASCII property was set through Java, not given to the VM as an option.
    const auto options = linesWith(run.out, "vmOptions=");
    ASSERT_EQ(options.size(), 1u);
    EXPECT_EQ(options.front().find("-Dname"), std::string::npos) << options.front();
    EXPECT_NE(("|" + options.front() + "|").find("|-dsa|"), std::string::npos) << options.front();
    EXPECT_EQ(options.front().find("-Xrs"), std::string::npos) << options.front();
}

TEST(LauncherRun, ClassPathLibraryPathAndConsoleMarkerAsJavaSeesThem) {
    AppDirectory app("Probe");
    const std::string dir = app.path();
    app.dir().write(u"lib/other.jar", fileBytes(TAVRELO_FIXTURE_JAR));
    app.dir().write(u"resource/deep/extra.jar", fileBytes(TAVRELO_FIXTURE_JAR));
    app.dir().write(u"resource/notes.txt", "not an archive");
    app.properties("PersonalClasspath=lib/other.jar;lib/missing.jar\n");
    const RunResult run = app.run();
    ASSERT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(reportedProperty(run.out, "java.class.path"), dir + ":" + dir + "/resource:" + dir + "/Probe.jar:" + dir +
                                                                "/lib/other.jar:" + dir + "/resource/deep/extra.jar");
    EXPECT_EQ(reportedProperty(run.out, "java.library.path"), dir + ":" + dir + "/resource");
    EXPECT_EQ(reportedProperty(run.out, "tavrelo.launcher"), dir);
    EXPECT_EQ(reportedProperty(run.out, "tavrelo.isConsole"), "1");
}

TEST(LauncherRun, SystemExitGivesJavasStatus) {
    AppDirectory app("Probe");
    app.properties("MainClass=fixture.Exit\n");
    EXPECT_EQ(app.run({"7"}).status, 7);
    EXPECT_EQ(app.run({"0"}).status, 0);
}

TEST(LauncherRun, ServiceApplicationRunsMainAndServiceKeywordsEndAtOnce) {
    AppDirectory app("Probe");
    app.properties("MainClass=fixture.ServiceApp\n");
    const RunResult plain = app.run({"-installService"});
    EXPECT_EQ(plain.status, 1) << plain.err;
    EXPECT_EQ(plain.out, "main ran\n");
    for (const char* keyword : {"__RunService__", "-startServiceUI"}) {
        const RunResult keywordRun = app.run({keyword});
        EXPECT_EQ(keywordRun.status, 0) << keyword;
        EXPECT_EQ(keywordRun.out, "") << keyword;
    }
}

TEST(LauncherRun, ExceptionFromMainIsPrintedAndOtherThreadsStillFinish) {
    AppDirectory app("Probe");
    app.properties("MainClass=fixture.Throw\n");
    const RunResult run = app.run();
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Exception in thread \"main\" java.lang.IllegalStateException: escaped from main"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("at fixture.Throw.main"), std::string::npos) << run.err;
    EXPECT_EQ(linesWith(run.out, "worker finished").size(), 1u) << run.out;
}

TEST(LauncherRun, MissingMainClassIsReportedWithItsName) {
    AppDirectory app("Probe");
    app.properties("MainClass=fixture.Nope\n");
    const RunResult configured = app.run();
    EXPECT_EQ(configured.status, 0);
    EXPECT_EQ(configured.err, "JVM: Can't find main class \"fixture.Nope\"\n");

    AppDirectory unnamed("Nothing");
    const RunResult byBaseName = unnamed.run();
    EXPECT_EQ(byBaseName.status, 0);
    EXPECT_EQ(byBaseName.err, "JVM: Can't find main class \"Nothing\"\n");
}

TEST(LauncherRun, MissingMainMethodIsReported) {
    AppDirectory app("Probe");
    app.properties("MainClass=fixture.NoMain\n");
    const RunResult run = app.run();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "JVM: Can't find main method\n");
}

TEST(LauncherRun, DeliveryNameAsksForARenameOnceARuntimeIsFound) {
    AppDirectory app("Tavrelo_console", false);
    const RunResult run = app.run();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "Tavrelo: You must rename Tavrelo with the same name of your main .CLASS or .JAR\n\n"
                       "Please consult the documentation at https://tavrelo.org/documentation\n");

    // Without a runtime the installation prompt comes first, and nothing else.
    app.dir().write(u"Tavrelo.properties", "JREversion=99\n");
    const RunResult noRuntime = app.run();
    EXPECT_EQ(noRuntime.status, 0);
    EXPECT_EQ(noRuntime.err.find("rename"), std::string::npos) << noRuntime.err;
    EXPECT_NE(noRuntime.err.find("Java 99 isn't installed"), std::string::npos) << noRuntime.err;
}

// The host runs the launch sequence twice, as the applet and screen-saver hosts may.
TEST(LauncherRun, PumpingApplicationEndsAndAStartAfterItCannotRunTheJvm) {
    AppDirectory app("PumpApp", true, besideTestProgram(u"vm_lifecycle_peer"));
    const auto started = std::chrono::steady_clock::now();
    const RunResult run = app.run();
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(run.status, 0);
    // The native was registered, the pump's sender asked the application while main ran, and
    // the VM's end did not wait for that sender.
    EXPECT_EQ(linesWith(run.out, "pump queried "), (Lines{"true"})) << run.err;
    EXPECT_EQ(linesWith(run.out, "first "), (Lines{"1"})) << run.err;
    EXPECT_LT(took, std::chrono::seconds(15)) << run.out;
    // One VM per process: the second start says so once, and the library stays.
    EXPECT_EQ(linesWith(run.out, "second "), (Lines{"0"}));
    EXPECT_EQ(run.err, "JVM: Can't run the JVM\n");
    EXPECT_EQ(linesWith(run.out, "library kept "), (Lines{"1"}));
}

TEST(LauncherRun, TerminationAndInterruptRunTheShutdownHooksAndEndWithJavasStatus) {
    AppDirectory app("Probe");
    app.properties("MainClass=fixture.Hooked\nPathJRE=" TAVRELO_JDK_HOME "\n");
    const Text journal = app.dir() / u"journal.txt";
    // A program started in a shell's background ignores SIGINT, and so would the launcher.
    std::signal(SIGINT, SIG_DFL);
    for (const int signal : {SIGTERM, SIGINT}) {
        (void)os::deleteFile(journal);
        ChildProcess launcher;
        ASSERT_TRUE(launcher.start(fromUtf8(app.launcher()), {journal}));
        ASSERT_TRUE(waitUntil([&] { return fileText(journal) == "ready\n"; }, 30000)) << fileText(journal);
        ASSERT_TRUE(launcher.sendSignal(signal));
        EXPECT_EQ(launcher.wait(20000), 128 + signal) << "signal " << signal;
        EXPECT_EQ(fileText(journal), "ready\nhook\n") << "signal " << signal;
    }
}

} // namespace
} // namespace tavrelo::test
