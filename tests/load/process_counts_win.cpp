#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "pipe_load.h"
#include "platform/handles.h"

namespace tavrelo::load {

namespace {

long threadCount() noexcept {
    const DWORD self = GetCurrentProcessId();
    FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    long count = 0;
    if (snapshot && Thread32First(snapshot.get(), &entry)) {
        do {
            if (entry.th32OwnerProcessID == self) ++count;
        } while (Thread32Next(snapshot.get(), &entry));
    }
    return count;
}

// The system's list of every process's handles (wine answers it where it counts no handles
// for GetProcessHandleCount).
struct HandleEntry {
    ULONG process;
    BYTE type;
    BYTE flags;
    USHORT value;
    void* object;
    ULONG access;
};
struct HandleList {
    ULONG count;
    HandleEntry entries[1];
};
using QuerySystem = LONG(WINAPI*)(ULONG kind, void* buffer, ULONG size, ULONG* needed);
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);

long handleCount() noexcept {
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles) && handles > 0) return static_cast<long>(handles);
    const auto query = reinterpret_cast<QuerySystem>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return -1;
    std::vector<unsigned char> buffer(1 << 16);
    LONG status = 0;
    while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr)) ==
           kLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0) return -1;
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    long count = 0;
    for (ULONG i = 0; i < list->count; ++i)
        if (list->entries[i].process == GetCurrentProcessId()) ++count;
    return count;
}

// The bytes in use in every heap of the process.
long long heapBytes() noexcept {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    long long bytes = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return bytes;
}

} // namespace

ProcessCounts processCounts() noexcept {
    ProcessCounts counts;
    counts.threads = threadCount();
    counts.handles = handleCount();
    counts.memory = heapBytes();
    return counts;
}

bool connectionDropped(PipeRef pipe) noexcept {
    DWORD available = 0;
    return !PeekNamedPipe(reinterpret_cast<HANDLE>(pipe), nullptr, 0, nullptr, &available, nullptr);
}

} // namespace tavrelo::load
