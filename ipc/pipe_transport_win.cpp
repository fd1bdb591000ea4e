#include <windows.h>

#include <new>
#include <utility>

#include "ipc/pipe_security.h"
#include "ipc/pipes.h"
#include "platform/win_text.h"

namespace tavrelo {

namespace {

constexpr DWORD kBufferSize = 512;
constexpr DWORD kLookPauseMs = 16; // the longest pause between two looks for a served message
constexpr DWORD kPipeMode = PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
// Generic write would ask for the right to create instances, which users lack on service pipes;
// writing attributes is what switching to message mode needs.
constexpr DWORD kClientAccess = GENERIC_READ | FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES;
// A server we do not know must not act in the client's name.
constexpr DWORD kClientFlags = SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

HANDLE handleOf(PipeRef pipe) noexcept { return reinterpret_cast<HANDLE>(pipe); }
PipeRef refOf(HANDLE handle) noexcept { return reinterpret_cast<PipeRef>(handle); }

HANDLE openFor(TextView name, DWORD access, DWORD flags) noexcept {
    try {
        const Text path(name);
        return CreateFileW(wc(path), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
}

HANDLE createInstance(const Text& name, void* security, bool first) noexcept {
    return CreateNamedPipeW(wc(name), PIPE_ACCESS_DUPLEX | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0), kPipeMode,
                            PIPE_UNLIMITED_INSTANCES, kBufferSize, kBufferSize, kPipeDefaultWaitMs,
                            static_cast<SECURITY_ATTRIBUTES*>(security));
}

// On a served connection, waits until the client's next message is there: false when it kept us
// waiting kConnectionWaitMs. A client's end, a client that is gone or a pipe that cannot be asked
// go straight on to the read, which then reports them. Server ends stay synchronous, so a flush
// still waits for the client: the wait for a message is a look into the pipe at growing pauses.
bool messageArrives(HANDLE pipe) noexcept {
    DWORD flags = 0;
    if (!GetNamedPipeInfo(pipe, &flags, nullptr, nullptr, nullptr) || (flags & PIPE_SERVER_END) == 0) return true;
    const ULONGLONG deadline = GetTickCount64() + kConnectionWaitMs;
    for (DWORD pause = 1;; pause = pause < kLookPauseMs ? pause * 2 : kLookPauseMs) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available > 0) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(pause);
    }
}

struct ThreadStart {
    void (*routine)(void*);
    void* argument;
};

DWORD WINAPI threadEntry(void* raw) {
    const ThreadStart start = *static_cast<ThreadStart*>(raw);
    delete static_cast<ThreadStart*>(raw);
    start.routine(start.argument);
    return 0;
}

} // namespace

void PipePolicy::close(Type pipe) noexcept {
    const DWORD saved = GetLastError();
    CloseHandle(handleOf(pipe));
    SetLastError(saved);
}

bool pipeIsServed(TextView name) noexcept {
    HANDLE probe = openFor(name, GENERIC_READ, kClientFlags);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        return true;
    }
    // Busy instances, or a pipe we may not open, still mean that somebody holds the name.
    const DWORD error = GetLastError();
    return error == ERROR_PIPE_BUSY || error == ERROR_ACCESS_DENIED;
}

bool waitForPipe(TextView name, bool& busy) noexcept {
    busy = false;
    try {
        const Text path(name);
        if (WaitNamedPipeW(wc(path), NMPWAIT_USE_DEFAULT_WAIT)) return true;
    } catch (...) {
        return false;
    }
    busy = GetLastError() == ERROR_SEM_TIMEOUT;
    return false;
}

PipeHandle openPipe(TextView name, PipeOpen& outcome) noexcept {
    PipeHandle pipe(refOf(openFor(name, kClientAccess, kClientFlags)));
    if (!pipe) {
        const DWORD error = GetLastError();
        outcome = error == ERROR_PIPE_BUSY                                           ? PipeOpen::Busy
                  : (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? PipeOpen::Missing
                                                                                     : PipeOpen::Failed;
        return pipe;
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!SetNamedPipeHandleState(handleOf(pipe.get()), &mode, nullptr, nullptr)) {
        outcome = PipeOpen::Failed;
        return PipeHandle();
    }
    outcome = PipeOpen::Opened;
    return pipe;
}

bool writeMessage(PipeRef pipe, const void* bytes, std::size_t size) noexcept {
    if (size > 0x7FFFFFFF) return false;
    DWORD written = 0;
    return WriteFile(handleOf(pipe), bytes, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

long readMessage(PipeRef pipe, void* buffer, std::size_t capacity) noexcept {
    if (capacity > 0x7FFFFFFF) capacity = 0x7FFFFFFF;
    if (!messageArrives(handleOf(pipe))) return -1;
    DWORD got = 0;
    if (ReadFile(handleOf(pipe), buffer, static_cast<DWORD>(capacity), &got, nullptr)) return static_cast<long>(got);
    if (GetLastError() != ERROR_MORE_DATA) return -1;
    // The message is longer than the caller keeps: read the rest away so the next read starts
    // at the next message. A message is whole in the pipe once its first byte is.
    char rest[4096];
    for (;;) {
        DWORD more = 0;
        if (ReadFile(handleOf(pipe), rest, sizeof rest, &more, nullptr)) break;
        if (GetLastError() != ERROR_MORE_DATA) return -1;
    }
    return static_cast<long>(got);
}

unsigned long pipeClientProcessId(PipeRef pipe) noexcept {
    ULONG id = 0;
    return GetNamedPipeClientProcessId(handleOf(pipe), &id) ? id : 0;
}

void flushPipe(PipeRef pipe) noexcept { FlushFileBuffers(handleOf(pipe)); }

void disconnectPipe(PipeRef pipe) noexcept { DisconnectNamedPipe(handleOf(pipe)); }

bool PipeListener::open(TextView name, PipeAccess access) noexcept {
    close();
    try {
        name_.assign(name);
    } catch (...) {
        return false;
    }
    access_ = access;
    PipeAttributes security = createPipeSecurity(access);
    if (!security) return false;
    PipeHandle first(refOf(createInstance(name_, security.get(), true)));
    if (!first) return false;
    // Where the first-instance flag is not enforced, a count above our own instance still tells
    // that someone else created the name first.
    DWORD instances = 0;
    if (!GetNamedPipeHandleStateW(handleOf(first.get()), nullptr, &instances, nullptr, nullptr, nullptr, 0) ||
        instances != 1) {
        first.reset();
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    instance_ = std::move(first);
    security_ = std::move(security);
    return true;
}

PipeHandle PipeListener::accept() noexcept {
    if (!security_) {
        Sleep(500);
        return PipeHandle();
    }
    if (!instance_) {
        instance_.reset(refOf(createInstance(name_, security_.get(), false)));
        if (!instance_) {
            Sleep(500);
            return PipeHandle();
        }
    }
    if (!ConnectNamedPipe(handleOf(instance_.get()), nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
        // A client that came and went before we listened: reset the instance and listen again.
        if (!DisconnectNamedPipe(handleOf(instance_.get()))) instance_.reset();
        Sleep(10);
        return PipeHandle();
    }
    PipeHandle connected(std::move(instance_));
    instance_.reset(refOf(createInstance(name_, security_.get(), false)));
    return connected;
}

void PipeListener::close() noexcept {
    instance_.reset();
    security_.reset();
}

bool startPipeThread(void (*routine)(void*), void* argument) noexcept {
    auto* start = new (std::nothrow) ThreadStart{routine, argument};
    if (!start) return false;
    HANDLE thread = CreateThread(nullptr, 0, threadEntry, start, 0, nullptr);
    if (!thread) {
        delete start;
        return false;
    }
    CloseHandle(thread);
    return true;
}

} // namespace tavrelo
