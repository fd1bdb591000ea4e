// Other processes for the tests: start a program beside the test program, wait for it with a
// time limit, end it. Every process a test starts is ended by the test itself.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"

namespace tavrelo::test {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { kill(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `program` with `arguments` (each passed as one argument); false when it cannot.
    bool start(const Text& program, const std::vector<Text>& arguments);
    // The exit status once the process has ended within `timeoutMs`; nothing while it runs.
    std::optional<int> wait(unsigned timeoutMs);
    // Ends the process at once (if it runs) and waits for it.
    void kill();
    // Host only: sends `number` (SIGTERM, SIGINT...) to the running process; false when it fails.
    bool sendSignal(int number);
    [[nodiscard]] bool running() const { return handle_ != 0; }

private:
    long long handle_ = 0; // process handle (Windows) or process id (host)
};

// A program built beside the running test program ("name" or "name.exe").
[[nodiscard]] Text besideTestProgram(TextView name);

bool waitUntilImpl(bool (*condition)(void*), void* context, unsigned timeoutMs);
// Polls `condition` every 20 ms until it holds or `timeoutMs` passed; whether it held.
template <class Condition> bool waitUntil(Condition condition, unsigned timeoutMs) {
    return waitUntilImpl([](void* c) { return (*static_cast<Condition*>(c))(); }, &condition, timeoutMs);
}

// The content of a file, or "" when it cannot be read.
[[nodiscard]] std::string fileText(const Text& path);

} // namespace tavrelo::test
