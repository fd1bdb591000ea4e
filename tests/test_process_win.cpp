#include <windows.h>

#include "launcher/launcher.h"
#include "platform/win_text.h"
#include "test_process.h"

namespace tavrelo::test {

namespace {
HANDLE processOf(long long handle) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle)); }
} // namespace

bool ChildProcess::start(const Text& program, const std::vector<Text>& arguments) {
    kill();
    std::vector<Text> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    Text line = quoteArgumentLine(words);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(wc(program), wc(line.data()), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    handle_ = static_cast<long long>(reinterpret_cast<intptr_t>(info.hProcess));
    return true;
}

std::optional<int> ChildProcess::wait(unsigned timeoutMs) {
    if (!handle_) return std::nullopt;
    if (WaitForSingleObject(processOf(handle_), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(processOf(handle_), &code);
    CloseHandle(processOf(handle_));
    handle_ = 0;
    return static_cast<int>(code);
}

void ChildProcess::kill() {
    if (!handle_) return;
    TerminateProcess(processOf(handle_), 99);
    WaitForSingleObject(processOf(handle_), 10000);
    CloseHandle(processOf(handle_));
    handle_ = 0;
}

} // namespace tavrelo::test
