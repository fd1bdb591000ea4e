#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include "pipe_load.h"
#include "platform/handles.h"

namespace tavrelo::load {

ProcessCounts processCounts() noexcept {
    ProcessCounts counts;
    const DWORD self = GetCurrentProcessId();
    FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    if (snapshot && Thread32First(snapshot.get(), &entry)) {
        do {
            if (entry.th32OwnerProcessID == self) ++counts.threads;
        } while (Thread32Next(snapshot.get(), &entry));
    }
    snapshot.reset();
    DWORD handles = 0;
    counts.handles = GetProcessHandleCount(GetCurrentProcess(), &handles) ? static_cast<long>(handles) : -1;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        counts.memory = static_cast<long long>(memory.PrivateUsage);
    return counts;
}

bool connectionDropped(PipeRef pipe) noexcept {
    DWORD available = 0;
    return !PeekNamedPipe(reinterpret_cast<HANDLE>(pipe), nullptr, 0, nullptr, &available, nullptr);
}

} // namespace tavrelo::load
