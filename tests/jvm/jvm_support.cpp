#include "jvm_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

#include "bridge/bridge.h"
#include "launcher/launcher.h"
#include "platform/os.h"

namespace tavrelo::test {

void ensureJavaVm() {
    if (javaVm()) return;
    const Text home = fromUtf8(TAVRELO_JDK_HOME);
    const auto library = findVmLibrary(home);
    ASSERT_TRUE(library) << "no libjvm.so under " << TAVRELO_JDK_HOME;
    launchContext().mainThreadId = os::currentThreadId();
    VmLaunchValues values;
    values.launcherDirectory = fromUtf8(TAVRELO_JDK_HOME);
    values.runtimeHome = home;
    values.libraryPath = *library;
    values.classPath = fromUtf8(TAVRELO_FIXTURE_JAR);
    values.baseName = u"Tests";
    // Options of a test that runs this program again in a VM of its own (e.g. -Xcheck:jni).
    if (const char* options = std::getenv("TAVRELO_TEST_VM_OPTIONS")) values.optionString = fromUtf8(options);
    ASSERT_TRUE(createJavaVm(values));
    ASSERT_NE(javaVm(), nullptr);
}

void useHeadlessAwt() {
    LocalRef<jstring> name(toJavaString(u"java.awt.headless"));
    LocalRef<jstring> value(toJavaString(u"true"));
    LocalRef<jobject> old(callMethodObject("java.lang.System", nullptr, "setProperty", "java.lang.String",
                                           "Ljava/lang/String;Ljava/lang/String;", name.get(), value.get()));
}

namespace {

// Reads what is there; false at the end of the stream.
bool drain(int fd, std::string& into) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) into.append(buffer, static_cast<std::size_t>(n));
    return n > 0;
}

} // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const Environment& environment, int timeoutSeconds, const char* typed) {
    RunResult result;
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return result;
    // A terminal to type into: the master stays here, the child reads the other side.
    int terminal = -1;
    std::string terminalName;
    if (typed) {
        terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0 || !::ptsname(terminal)) {
            if (terminal >= 0) ::close(terminal);
            return result;
        }
        terminalName = ::ptsname(terminal);
    }
    std::vector<std::string> envText;
    for (const auto& [name, value] : environment) envText.push_back(name + "=" + value);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& entry : envText) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        const int input = typed ? ::open(terminalName.c_str(), O_RDWR | O_NOCTTY) : ::open("/dev/null", O_RDONLY);
        ::dup2(input, 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    if (child < 0) {
        ::close(out[0]);
        ::close(err[0]);
        if (terminal >= 0) ::close(terminal);
        return result;
    }
    if (typed) (void)!::write(terminal, typed, std::strlen(typed)); // kept by the terminal until read
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    bool outOpen = true, errOpen = true, killed = false;
    while (outOpen || errOpen) {
        pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
        const int ready = ::poll(fds, 2, 200);
        if (ready > 0) {
            if (fds[0].revents && !drain(out[0], result.out)) outOpen = false;
            if (fds[1].revents && !drain(err[0], result.err)) errOpen = false;
        }
        if (!killed && std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            killed = true;
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    if (terminal >= 0) ::close(terminal);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.status = 128 + WTERMSIG(status);
    return result;
}

namespace {
// Launchers started with this program's own environment keep no archive in the user's cache
// either, and leave no writer running after the tests.
const bool noCacheForInheritedEnvironments = ::setenv("XDG_CACHE_HOME", "/dev/null/no-cache", 1) == 0;
} // namespace

Environment launcherEnvironment() {
    Environment environment{{"PATH", "/usr/bin:/bin"}, {"JAVA_HOME", TAVRELO_JDK_HOME}, {"LC_ALL", "C.UTF-8"}};
    if (const char* home = std::getenv("HOME")) environment.emplace_back("HOME", home);
    // No class-data archive: a directory that cannot be made keeps each launch from listing its
    // classes for one in the user's cache (the archive's own tests name a cache of their own).
    environment.emplace_back("XDG_CACHE_HOME", "/dev/null/no-cache");
    return environment;
}

void setVariable(Environment& environment, const std::string& name, const std::string& value) {
    unsetVariable(environment, name);
    environment.emplace_back(name, value);
}

void unsetVariable(Environment& environment, const std::string& name) {
    for (auto it = environment.begin(); it != environment.end();)
        it = it->first == name ? environment.erase(it) : it + 1;
}

std::string fileBytes(const std::string& path) {
    std::string bytes;
    (void)os::readFile(fromUtf8(path), bytes);
    return bytes;
}

AppDirectory::AppDirectory(const std::string& name, bool withJar, const Text& program) : name_(name) {
    launcher_ = toUtf8(dir_.write(fromUtf8(name), fileBytes(program.empty() ? TAVRELO_LAUNCHER : toUtf8(program))));
    ::chmod(launcher_.c_str(), 0755);
    if (withJar) dir_.write(fromUtf8(name + ".jar"), fileBytes(TAVRELO_FIXTURE_JAR));
}

void AppDirectory::properties(const std::string& text) const { dir_.write(fromUtf8(name_ + ".properties"), text); }

RunResult AppDirectory::run(const std::vector<std::string>& arguments, const Environment& environment) const {
    return runProgram(launcher_, arguments, environment);
}

RunResult AppDirectory::run(const std::vector<std::string>& arguments) const {
    return run(arguments, launcherEnvironment());
}

std::string linkToJdk(const TempDir& dir, const std::string& relative) {
    const std::string link = toUtf8(dir / fromUtf8(relative));
    const std::size_t cut = relative.rfind('/');
    if (cut != std::string::npos) dir.makeDir(fromUtf8(relative.substr(0, cut)));
    char target[4096];
    const char* resolved = ::realpath(TAVRELO_JDK_HOME, target);
    EXPECT_EQ(::symlink(resolved ? resolved : TAVRELO_JDK_HOME, link.c_str()), 0);
    return link;
}

std::string fakeRuntime(const TempDir& dir, const std::string& relative, const std::string& libraryBytes) {
    dir.write(fromUtf8(relative + "/lib/server/libjvm.so"), libraryBytes);
    dir.write(fromUtf8(relative + "/release"), "JAVA_VERSION=\"17.0.1\"\n");
    return toUtf8(dir / fromUtf8(relative));
}

std::vector<std::string> linesWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line.substr(prefix.size()));
        at = end + 1;
    }
    return lines;
}

std::string reportedProperty(const std::string& report, const std::string& name) {
    const auto lines = linesWith(report, "prop " + name + "=");
    return lines.empty() ? std::string("<missing>") : lines.front();
}

} // namespace tavrelo::test
