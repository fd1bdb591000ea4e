#include <windows.h>

#include <new>

#include "platform/threads.h"

namespace tavrelo {

namespace {

struct ThreadStart {
    void (*routine)(void*);
    void* argument;
};

DWORD WINAPI threadEntry(void* parameter) {
    const ThreadStart start = *static_cast<ThreadStart*>(parameter);
    delete static_cast<ThreadStart*>(parameter);
    start.routine(start.argument);
    return 0;
}

} // namespace

bool JoinableThread::start(void (*routine)(void*), void* argument) noexcept {
    if (handle_ || !routine) return false;
    auto* start = new (std::nothrow) ThreadStart{routine, argument};
    if (!start) return false;
    handle_ = CreateThread(nullptr, 0, threadEntry, start, 0, nullptr);
    if (!handle_) delete start;
    return handle_ != nullptr;
}

void JoinableThread::join() noexcept {
    if (!handle_) return;
    WaitForSingleObject(handle_, INFINITE);
    CloseHandle(handle_);
    handle_ = nullptr;
}

static_assert(sizeof(SRWLOCK) == sizeof(void*));

void SlimLock::lock() noexcept { AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&state_)); }
void SlimLock::unlock() noexcept { ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&state_)); }

} // namespace tavrelo
