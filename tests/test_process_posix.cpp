#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "platform/os.h"
#include "test_process.h"

extern char** environ;

namespace tavrelo::test {

bool ChildProcess::start(const Text& program, const std::vector<Text>& arguments) {
    kill();
    std::vector<std::string> words{toUtf8(program)};
    for (const Text& argument : arguments)
        words.push_back(toUtf8(argument));
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, words[0].c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
    handle_ = pid;
    return true;
}

std::optional<int> ChildProcess::wait(unsigned timeoutMs) {
    if (!handle_) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(static_cast<pid_t>(handle_), &status, WNOHANG);
        if (done == static_cast<pid_t>(handle_)) {
            handle_ = 0;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (done < 0) {
            handle_ = 0;
            return -1;
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        os::sleepMs(10);
    }
}

void ChildProcess::kill() {
    if (!handle_) return;
    ::kill(static_cast<pid_t>(handle_), SIGKILL);
    int status = 0;
    ::waitpid(static_cast<pid_t>(handle_), &status, 0);
    handle_ = 0;
}

bool ChildProcess::sendSignal(int number) {
    return handle_ && ::kill(static_cast<pid_t>(handle_), number) == 0;
}

} // namespace tavrelo::test
