// The decision trace of the real Linux launcher (TAVRELO_DEBUG).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "jvm_support.h"
#include "test_process.h"

namespace tavrelo::test {
namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(LaunchTrace, EveryCandidateWithItsReasonTheMainClassOriginAndTheStatus) {
    AppDirectory app("Probe");
    const std::string file = app.path() + "/trace.log";
    Environment environment = launcherEnvironment();
    setVariable(environment, "TAVRELO_DEBUG", file);

    // An ordinary start: on standard error and in the file, every line with its process.
    const RunResult run = app.run({"a"}, environment);
    EXPECT_EQ(run.status, 1) << run.err;
    const std::string first = fileBytes(file);
    const std::vector<std::string> expected = {"launcher " + app.launcher() + " (console), base name Probe",
                                               "runtime: " + app.path() + "/jre beside the launcher: refused, missing",
                                               std::string("runtime: JAVA_HOME ") + TAVRELO_JDK_HOME + ": taken",
                                               "VM library loaded: ",
                                               "VM option: -Djava.class.path=",
                                               "main class: ",
                                               "run type 0: an ordinary application",
                                               "launch ends with status 1: main was called"};
    for (const std::string& line : expected)
        EXPECT_TRUE(has(first, line)) << line << "\n" << first;
    EXPECT_TRUE(has(first, "from the manifest of " + app.path() + "/Probe.jar") ||
                has(first, "from the class file Probe.class in " + app.path() + "/Probe.jar"))
        << first;
    EXPECT_EQ(first.rfind("tavrelo[", 0), 0u);
    EXPECT_TRUE(has(run.err, "launch ends with status 1")) << run.err;

    // A minimum no runtime meets: each candidate refused with both versions; appended.
    app.properties("JREversion=99\n");
    unsetVariable(environment, "JAVA_HOME");
    const RunResult tooOld = app.run({}, environment);
    EXPECT_EQ(tooOld.status, 0);
    const std::string second = fileBytes(file).substr(first.size());
    for (const char* line : {"runtime: JREversion \"99\" requires 99", "runtime: JAVA_HOME is not set",
                             "runtime: java on PATH ", "is below 99", "runtime: no installed runtime qualifies",
                             "launch ends with status 0: no runtime"})
        EXPECT_TRUE(has(second, line)) << line << "\n" << second;
    EXPECT_NE(second.substr(0, second.find(']')), first.substr(0, first.find(']'))) << "another process";

    // A properties file that cannot be read (a directory of its name): the step, the path and the
    // system's reason; the launch goes on without it.
    const std::string properties = app.path() + "/Probe.properties";
    ASSERT_EQ(::unlink(properties.c_str()), 0);
    ASSERT_EQ(::mkdir(properties.c_str(), 0755), 0);
    EXPECT_EQ(app.run({}, environment).status, 1);
    const std::string third = fileBytes(file).substr(first.size() + second.size());
    // (the launcher names the file beside it with an empty subdirectory: "<dir>//<name>")
    EXPECT_TRUE(has(third, "configuration: the properties file is not read: reading " + app.path() +
                               "//Probe.properties: " + std::strerror(EISDIR) + " (" + std::to_string(EISDIR) + ")\n"))
        << third;

    // Without the switch, or with it empty, nothing is written anywhere.
    ASSERT_EQ(::unlink(file.c_str()), 0);
    setVariable(environment, "TAVRELO_DEBUG", "");
    const RunResult empty = app.run({}, environment);
    unsetVariable(environment, "TAVRELO_DEBUG");
    const RunResult off = app.run({}, environment);
    EXPECT_FALSE(has(empty.err + off.err, "tavrelo["));
    EXPECT_EQ(::access(file.c_str(), F_OK), -1);
}

} // namespace
} // namespace tavrelo::test
