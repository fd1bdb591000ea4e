// A restarted run of the real Linux launcher: the saved files a previous run left in the
// temporary directory give main its arguments and the application its object before main.
#include <gtest/gtest.h>

#include "jvm_support.h"
#include "platform/os.h"

namespace tavrelo::test {
namespace {

using Lines = std::vector<std::string>;

TEST(SessionRestoreRun, SavedObjectComesBeforeMainAndDamagedOrForeignStateIsIgnored) {
    AppDirectory app("Restored");
    app.properties("MainClass=fixture.Restored\nMainArgs=-m\n");
    const std::string temp = app.path() + "/tmp";
    ASSERT_TRUE(os::makeDirectory(fromUtf8(temp)));
    Environment environment = launcherEnvironment();
    setVariable(environment, "TMPDIR", temp);
    const std::string data = temp + "/Restored__42.restore";
    const RunResult writer = runProgram(std::string(TAVRELO_JDK_HOME) + "/bin/java",
                                        {"-cp", TAVRELO_FIXTURE_JAR, "fixture.Restored", "--write", data, "1234567"},
                                        environment);
    ASSERT_EQ(writer.status, 0) << writer.err;
    // The saved line, UTF-16 with its NUL, holds the saving run's arguments: a and "x y".
    std::string line;
    for (const char c : std::string("a \"x y\"")) line += std::string{c, '\0'};
    ASSERT_TRUE(os::writeFile(fromUtf8(temp + "/Restored__42.restore_args"), line + std::string(2, '\0')));

    const RunResult restored = app.run({"__Tavrelo_restore=Restored__42", "ignored"}, environment);
    EXPECT_EQ(restored.status, 1) << restored.err;
    EXPECT_EQ(linesWith(restored.out, "data="), Lines{"Date 1234567"});
    EXPECT_LT(restored.out.find("data="), restored.out.find("arg="));
    EXPECT_EQ(linesWith(restored.out, "arg="), (Lines{"a", "x y", "-m"}));
    EXPECT_FALSE(os::pathExists(fromUtf8(data)));
    EXPECT_FALSE(os::pathExists(fromUtf8(temp + "/Restored__42.restore_args")));

    // A truncated object and an arguments file without its NUL: null, no arguments, files gone.
    ASSERT_TRUE(os::writeFile(fromUtf8(temp + "/Restored__7.restore"), "\xAC\xED\x00\x05sr"));
    ASSERT_TRUE(os::writeFile(fromUtf8(temp + "/Restored__7.restore_args"), line));
    const RunResult damaged = app.run({"__TAVRELO_RESTORE=Restored__7"}, environment);
    EXPECT_EQ(damaged.status, 1) << damaged.err;
    EXPECT_EQ(linesWith(damaged.out, "data="), Lines{"null"});
    EXPECT_EQ(linesWith(damaged.out, "arg="), Lines{"-m"});
    EXPECT_NE(damaged.err.find("Restored__7.restore_args"), std::string::npos) << damaged.err;
    EXPECT_FALSE(os::pathExists(fromUtf8(temp + "/Restored__7.restore")));

    // An identifier that is not this application's names no file at all.
    ASSERT_TRUE(os::writeFile(fromUtf8(app.path() + "/x.restore"), "keep"));
    const RunResult foreign = app.run({"__Tavrelo_restore=../x"}, environment);
    EXPECT_EQ(linesWith(foreign.out, "data="), Lines{"null"});
    EXPECT_EQ(linesWith(foreign.out, "arg="), Lines{"-m"});
    EXPECT_TRUE(os::pathExists(fromUtf8(app.path() + "/x.restore")));
}

} // namespace
} // namespace tavrelo::test
