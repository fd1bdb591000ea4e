#include <windows.h>

#include <mutex>

#include "platform/threads.h"
#include "platform/trace.h"
#include "platform/trace_sink.h"
#include "platform/win_text.h"

namespace tavrelo {

namespace {

SlimLock sinkLock;
HANDLE traceFile = INVALID_HANDLE_VALUE; // appended to; open for the process's life
bool toStandardError = false;

// A console program, or one that has a console: a window program's standard handles, where it
// has any, belong to whoever started it.
bool hasConsole() noexcept {
    if (GetConsoleWindow()) return true;
    const auto* base = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (!base || dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->Signature == IMAGE_NT_SIGNATURE && nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

void writeStandardError(const std::string& line) noexcept {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (!error || error == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(error, &mode)) {
        const Text wide = fromUtf8(line);
        WriteConsoleW(error, wc(wide), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

} // namespace

void openTraceSinks(TextView value) noexcept {
    toStandardError = hasConsole();
    if (value.find(u'\\') == TextView::npos && value.find(u'/') == TextView::npos) return;
    try {
        const Text path(value);
        // Appending is atomic for each write: processes sharing the file keep their lines whole.
        traceFile = CreateFileW(wc(path), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    } catch (...) {
    }
}

void writeTraceSinks(const std::string& line) noexcept {
    std::lock_guard<SlimLock> hold(sinkLock);
    if (toStandardError) writeStandardError(line);
    try {
        OutputDebugStringW(wc(fromUtf8(line)));
    } catch (...) {
    }
    if (traceFile != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(traceFile, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
}

long long millisecondsSinceStart() noexcept {
    FILETIME creation{}, exitTime{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exitTime, &kernel, &user)) return 0;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<long long>(t.dwHighDateTime) << 32) | static_cast<long long>(t.dwLowDateTime);
    };
    return (ticks(now) - ticks(creation)) / 10000;
}

} // namespace tavrelo
