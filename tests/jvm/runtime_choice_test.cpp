// Which runtime the real Linux launcher picks, told apart by runtimes that cannot start a VM.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "jvm_support.h"

namespace tavrelo::test {
namespace {

std::size_t occurrences(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
    return count;
}

// A runtime whose library has no invocation entry points: choosing it means "Can't run the JVM".
std::string brokenRuntime(const AppDirectory& app, const std::string& relative) {
    return fakeRuntime(app.dir(), relative, fileBytes(TAVRELO_NOT_A_JVM));
}

Environment withJavaHome(const std::string& home) {
    Environment environment = launcherEnvironment();
    setVariable(environment, "JAVA_HOME", home);
    return environment;
}

TEST(RuntimeChoice, PathJreComesFirst) {
    AppDirectory app("Probe");
    const std::string good = linkToJdk(app.dir(), "runtimes/good");
    brokenRuntime(app, "jre");
    app.properties("PathJRE=runtimes/good\n");
    const RunResult run = app.run({}, withJavaHome(brokenRuntime(app, "broken")));
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err, "");
}

TEST(RuntimeChoice, JreDirectoryBesideTheLauncherComesBeforeJavaHome) {
    AppDirectory app("Probe");
    linkToJdk(app.dir(), "jre");
    const RunResult run = app.run({}, withJavaHome(brokenRuntime(app, "broken")));
    EXPECT_EQ(run.status, 1) << run.err;
}

TEST(RuntimeChoice, JreDirectoryInTheResourceDirectoryComesBeforeJavaHome) {
    AppDirectory app("Probe");
    linkToJdk(app.dir(), "resource/jre");
    const RunResult run = app.run({}, withJavaHome(brokenRuntime(app, "broken")));
    EXPECT_EQ(run.status, 1) << run.err;
}

TEST(RuntimeChoice, JavaHomeIsTakenAfterTheJreDirectories) {
    AppDirectory app("Probe");
    const RunResult run = app.run({}, withJavaHome(brokenRuntime(app, "broken")));
    EXPECT_EQ(run.status, 0);
    // Shown once for the one failed start.
    EXPECT_EQ(run.err, "JVM: Can't run the JVM\n");
    EXPECT_EQ(occurrences(run.err, "Can't run the JVM"), 1u);
}

// A "java" program linked from `directory` into the broken runtime's bin.
std::string javaLinkInto(const AppDirectory& app, const std::string& runtime, const std::string& directory) {
    app.dir().write(fromUtf8(runtime + "/bin/java"), "#!/bin/sh\nexit 3\n");
    ::chmod((app.path() + "/" + runtime + "/bin/java").c_str(), 0755);
    const std::string links = toUtf8(app.dir().makeDir(fromUtf8(directory)));
    EXPECT_EQ(::symlink((app.path() + "/" + runtime + "/bin/java").c_str(), (links + "/java").c_str()), 0);
    return links;
}

TEST(RuntimeChoice, JavaHomeComesBeforeTheJavaOnPath) {
    AppDirectory app("Probe");
    brokenRuntime(app, "broken");
    Environment environment = withJavaHome(linkToJdk(app.dir(), "good"));
    setVariable(environment, "PATH", javaLinkInto(app, "broken", "links") + ":/usr/bin:/bin");
    const RunResult run = app.run({}, environment);
    EXPECT_EQ(run.status, 1) << run.err;
}

TEST(RuntimeChoice, JavaOnPathIsFollowedThroughItsLinks) {
    AppDirectory app("Probe");
    brokenRuntime(app, "broken");
    Environment environment = launcherEnvironment();
    unsetVariable(environment, "JAVA_HOME");
    setVariable(environment, "PATH", javaLinkInto(app, "broken", "links") + ":/usr/bin:/bin");
    const RunResult run = app.run({}, environment);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "JVM: Can't run the JVM\n");
}

TEST(RuntimeChoice, DistributionDefaultComesLast) {
    AppDirectory app("Probe");
    Environment environment = launcherEnvironment();
    unsetVariable(environment, "JAVA_HOME");
    setVariable(environment, "PATH", app.path() + "/nowhere");
    const RunResult run = app.run({}, environment);
    EXPECT_EQ(run.status, 1) << run.err;
    char resolved[4096];
    ASSERT_TRUE(::realpath("/usr/lib/jvm/default-java", resolved));
    EXPECT_EQ(reportedProperty(run.out, "java.home"), resolved);
}

TEST(RuntimeChoice, VersionMinimumAppliesToTheSystemsRuntimes) {
    AppDirectory app("Probe");
    const Environment environment = withJavaHome(brokenRuntime(app, "broken"));
    // The broken runtime states 17.0: "1.8" and "17" accept it (and fail to start it) ...
    for (const char* accepted : {"JREversion=1.8\n", "JREversion=17\n", "JREversion=8\n"}) {
        app.properties(accepted);
        EXPECT_EQ(app.run({}, environment).err, "JVM: Can't run the JVM\n") << accepted;
    }
    // ... "18" refuses it and every other runtime of this machine.
    app.properties("JREversion=18\n");
    const RunResult refused = app.run({}, environment);
    EXPECT_EQ(refused.status, 0);
    EXPECT_NE(refused.err.find("Java 18 isn't installed"), std::string::npos) << refused.err;
}

TEST(RuntimeChoice, LibraryOfAnotherWidthIsRefused) {
    AppDirectory app("Probe");
    std::string elf32(52, '\0');
    elf32.replace(0, 7,
                  "\x7F"
                  "ELF\x01\x01\x01");
    elf32[18] = 3; // EM_386
    const std::string home = fakeRuntime(app.dir(), "narrow", elf32);
    const RunResult run = app.run({}, withJavaHome(home));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "JVM: The JVM used is intended for x86\nBut this executable is x64.\n");
}

// A "browser" that records the arguments it was started with.
std::string recordingBrowser(const AppDirectory& app, const std::string& record) {
    app.dir().write(u"browser/browser.sh", "#!/bin/sh\necho \"$@\" > '" + record + "'\n");
    const std::string browser = app.path() + "/browser/browser.sh";
    ::chmod(browser.c_str(), 0755);
    return browser;
}

std::string waitForRecord(const std::string& record, int waitMs) {
    std::string opened;
    for (int waited = 0; waited < waitMs && opened.empty(); waited += 50) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        opened = fileBytes(record);
    }
    return opened;
}

TEST(RuntimeChoice, NoRuntimeOffersTheInstallationAndEnds) {
    AppDirectory app("Probe");
    const std::string record = app.path() + "/opened.txt";
    app.properties("JREversion=99\nURL_InstallJRE=https://example.org/java\nPathBrowser=" +
                   recordingBrowser(app, record) + "\n");
    // No terminal to answer on counts as No: nothing is opened.
    const RunResult run = app.run();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "Java Runtime Environment (JRE): Java 99 isn't installed !\n\nDo you want to install it ?\n");
    EXPECT_EQ(waitForRecord(record, 1500), "") << "the page was opened after No";

    Environment french = launcherEnvironment();
    setVariable(french, "LC_ALL", "fr_FR.UTF-8");
    const RunResult inFrench = runProgram(app.launcher(), {}, french, 60, "n\n");
    EXPECT_EQ(inFrench.status, 0);
    EXPECT_EQ(inFrench.err, "Java Runtime Environment (JRE): Java 99 n'est pas install\xC3\xA9 !\n\n"
                            "Voulez-vous l'installer ?\n[y/n] ");
    EXPECT_EQ(waitForRecord(record, 1500), "") << "the page was opened after No";

    // Yes, typed on the terminal, opens the page in the configured browser.
    const RunResult yes = runProgram(app.launcher(), {}, launcherEnvironment(), 60, "y\n");
    EXPECT_EQ(yes.status, 0);
    EXPECT_EQ(yes.err, "Java Runtime Environment (JRE): Java 99 isn't installed !\n\nDo you want to install it ?\n[y/n] ");
    EXPECT_EQ(waitForRecord(record, 5000), "https://example.org/java\n");
}

TEST(RuntimeChoice, WithoutTheQuestionTheConfiguredBrowserOpensThePage) {
    AppDirectory app("Probe");
    const std::string record = app.path() + "/opened.txt";
    (void)recordingBrowser(app, record);
    app.properties("JREversion=99\nDisplay_BoxInstall=0\nURL_InstallJRE=https://example.org/java\n"
                   "PathBrowser=browser/browser.sh\n");
    const RunResult run = app.run();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(waitForRecord(record, 5000), "https://example.org/java\n");
}

TEST(RuntimeChoice, PathJreAndPathBrowserReachWhatTheirReferencesName) {
    AppDirectory app("Probe");
    linkToJdk(app.dir(), "runtimes/good");
    app.dir().write(u"tools/browser.sh", "#!/bin/sh\necho \"$@\" > '" + app.path() + "/opened.txt'\n");
    ::chmod((app.path() + "/tools/browser.sh").c_str(), 0755);
    Environment environment = withJavaHome(brokenRuntime(app, "broken"));
    setVariable(environment, "TAVRELO_TEST_PLACE", app.path());
    app.properties("PathJRE=%TAVRELO_TEST_PLACE%/runtimes/good\n");
    const RunResult run = app.run({}, environment);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err, "");

    app.properties("PathJRE=%TAVRELO_TEST_PLACE%/runtimes/none\nJREversion=99\nDisplay_BoxInstall=0\n"
                   "URL_InstallJRE=https://example.org/java\nPathBrowser=%TAVRELO_TEST_PLACE%/tools/browser.sh\n");
    EXPECT_EQ(app.run({}, environment).status, 0);
    std::string opened;
    for (int i = 0; i < 100 && opened.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        opened = fileBytes(app.path() + "/opened.txt");
    }
    EXPECT_EQ(opened, "https://example.org/java\n");

    // A bare program name that is not beside the launcher is searched on the PATH.
    std::remove((app.path() + "/opened.txt").c_str());
    setVariable(environment, "PATH", app.path() + "/tools:/usr/bin:/bin");
    app.properties("PathJRE=%TAVRELO_TEST_PLACE%/runtimes/none\nJREversion=99\nDisplay_BoxInstall=0\n"
                   "URL_InstallJRE=https://example.org/java2\nPathBrowser=browser.sh\n");
    EXPECT_EQ(app.run({}, environment).status, 0);
    opened.clear();
    for (int i = 0; i < 100 && opened.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        opened = fileBytes(app.path() + "/opened.txt");
    }
    EXPECT_EQ(opened, "https://example.org/java2\n");
}

} // namespace
} // namespace tavrelo::test
