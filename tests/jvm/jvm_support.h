// Helpers of the JVM tests: the shared in-process VM, and running the real launcher.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "test_support.h"

namespace tavrelo::test {

// Creates this process's VM once (the fixture classes on its class path), on the calling
// thread, which becomes the launch thread. Aborts the test when it cannot. The VM gets the
// options of the environment variable TAVRELO_TEST_VM_OPTIONS when it is set.
void ensureJavaVm();
// Headless AWT for the VM of this process: images, icons and Swing components need no display.
void useHeadlessAwt();

struct RunResult {
    int status = -1; // exit status; 128 + signal when killed by one; -1 when it could not start
    std::string out;
    std::string err;
};
using Environment = std::vector<std::pair<std::string, std::string>>;

// Runs a program with exactly `environment`, standard input at end of file (or, with `typed`, a
// terminal on which that text has been typed), and waits at most `timeoutSeconds` (then kills it).
RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const Environment& environment, int timeoutSeconds = 60, const char* typed = nullptr);

// The environment a launcher normally sees in these tests: the build's JDK as JAVA_HOME, the
// system directories on PATH, English messages.
Environment launcherEnvironment();
void setVariable(Environment& environment, const std::string& name, const std::string& value);
void unsetVariable(Environment& environment, const std::string& name);

// An application directory: the real launcher (or another `program`) copied in under `name`,
// with the fixture jar beside it as `<name>.jar` unless told otherwise.
class AppDirectory {
  public:
    explicit AppDirectory(const std::string& name, bool withJar = true, const Text& program = {});

    const TempDir& dir() const { return dir_; }
    std::string path() const { return toUtf8(dir_.path()); }
    std::string launcher() const { return launcher_; }
    // Writes `<name>.properties` beside the launcher (UTF-8).
    void properties(const std::string& text) const;
    RunResult run(const std::vector<std::string>& arguments, const Environment& environment) const;
    RunResult run(const std::vector<std::string>& arguments = {}) const;

  private:
    TempDir dir_;
    std::string name_;
    std::string launcher_;
};

// A runtime directory that is a link to the build's JDK.
std::string linkToJdk(const TempDir& dir, const std::string& relative);
// A runtime directory whose lib/server/libjvm.so is `library` (a file copied in), with a
// "release" file stating Java 17.
std::string fakeRuntime(const TempDir& dir, const std::string& relative, const std::string& libraryBytes);
std::string fileBytes(const std::string& path);

// The lines of `text` that begin with `prefix`, without it.
std::vector<std::string> linesWith(const std::string& text, const std::string& prefix);
// The value of the report line "prop <name>=".
std::string reportedProperty(const std::string& report, const std::string& name);

} // namespace tavrelo::test
