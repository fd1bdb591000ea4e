// The window that refuses the session's end while the application asks. The block's reason and
// the window itself only answer to the thread that created the window, so that thread does every
// window call; Java threads hand it their requests and wait a bounded time for the answer.
#include <windows.h>

#include <mutex> // std::lock_guard
#include <new>

#include "bridge/bridge.h"
#include "launcher/java_runtime.h"
#include "natives/system_actions.h"
#include "natives/system_natives.h"
#include "platform/handles.h"
#include "platform/threads.h"

namespace tavrelo {

namespace {

constexpr DWORD kWaitMs = 5000;
constexpr UINT_PTR kLivenessTimer = 1;
constexpr UINT kLivenessPeriodMs = 1000;
constexpr UINT kRequest = WM_APP + 7; // wParam: the request

struct Request {
    bool create = false; // create the reason, else lift the block
    const Text* reason = nullptr;
    int result = ERROR_GEN_FAILURE;
};

// One block at a time: callers hold the lock for their whole request.
SlimLock blockLock;
HWND blockWindow = nullptr; // written by the window's thread before it signals, read under the lock
KernelHandle blockThread;

int answer(Request& request, HWND window) noexcept {
    SetLastError(0);
    const SystemActions& actions = systemActions();
    const BlockCall call = request.create ? actions.blockReasonCreate(window, request.reason->c_str())
                                          : actions.blockReasonDestroy(window);
    // Without the function the window alone refuses the session's end.
    const int result = call == BlockCall::Failed ? win32Result(false) : 0;
    if (request.create ? call == BlockCall::Failed : call != BlockCall::Failed) DestroyWindow(window);
    return result;
}

LRESULT CALLBACK blockWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
    case WM_QUERYENDSESSION:
    case WM_ENDSESSION: return 0;
    case kRequest: {
        Request& request = *reinterpret_cast<Request*>(wParam);
        request.result = answer(request, window);
        return 0;
    }
    case WM_TIMER:
        // Attached only for the test: an attached thread would keep the VM's end waiting.
        if (wParam == kLivenessTimer && !isApplicationAlive(true)) DestroyWindow(window);
        releaseJavaThread();
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

struct ThreadStart {
    HANDLE ready;
    HWND window = nullptr;
    DWORD error = 0;
};

DWORD WINAPI blockWindowThread(void* parameter) {
    auto& start = *static_cast<ThreadStart*>(parameter);
    SetLastError(0);
    const HWND window = static_cast<HWND>(systemActions().createBlockWindow(reinterpret_cast<void*>(blockWindowProcedure)));
    start.window = window;
    start.error = window ? 0 : GetLastError();
    if (window) SetTimer(window, kLivenessTimer, kLivenessPeriodMs, nullptr);
    SetEvent(start.ready); // `start` belongs to the caller and may be gone from here on
    if (!window) return 0;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    return 0;
}

// The window, started when there is none; 0 or the error that kept it from being made.
int ensureWindow() noexcept {
    if (blockWindow && IsWindow(blockWindow)) return 0;
    if (blockThread) {
        WaitForSingleObject(blockThread.get(), kWaitMs); // the previous window's thread is ending
        blockThread.reset();
    }
    blockWindow = nullptr;
    // The thread writes its answer here; when it never answers in time the record is left to it.
    auto* start = new (std::nothrow) ThreadStart{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    if (!start || !start->ready) {
        delete start;
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    KernelHandle thread(CreateThread(nullptr, 0, blockWindowThread, start, 0, nullptr));
    if (!thread) {
        const int error = static_cast<int>(GetLastError());
        CloseHandle(start->ready);
        delete start;
        return error;
    }
    if (WaitForSingleObject(start->ready, kWaitMs) != WAIT_OBJECT_0) return WAIT_TIMEOUT;
    const ThreadStart answered = *start;
    CloseHandle(start->ready);
    delete start;
    if (!answered.window) {
        WaitForSingleObject(thread.get(), kWaitMs);
        return answered.error ? static_cast<int>(answered.error) : ERROR_GEN_FAILURE;
    }
    blockWindow = answered.window;
    blockThread = std::move(thread);
    return 0;
}

int send(Request& request) noexcept {
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(blockWindow, kRequest, reinterpret_cast<WPARAM>(&request), 0, SMTO_NORMAL, kWaitMs,
                             &ignored))
        return static_cast<int>(GetLastError() ? GetLastError() : WAIT_TIMEOUT);
    return request.result;
}

} // namespace

int win32Result(bool succeeded) noexcept {
    if (succeeded) return 0;
    const DWORD error = GetLastError();
    if (error == ERROR_IO_PENDING) return 0;
    return error != 0 ? static_cast<int>(error) : ERROR_GEN_FAILURE;
}

int blockShutdown(const Text& reason) noexcept {
    const std::lock_guard<SlimLock> hold(blockLock);
    if (const int error = ensureWindow()) return error;
    Request request{true, &reason};
    return send(request);
}

void awaitBlockWindowEnd(unsigned long ms) noexcept {
    const std::lock_guard<SlimLock> hold(blockLock);
    if (!blockThread || !blockWindow) return;
    PostMessageW(blockWindow, WM_TIMER, kLivenessTimer, 0);
    if (WaitForSingleObject(blockThread.get(), ms) == WAIT_OBJECT_0) {
        blockThread.reset();
        blockWindow = nullptr;
    }
}

int unblockShutdown() noexcept {
    const std::lock_guard<SlimLock> hold(blockLock);
    if (!blockWindow || !IsWindow(blockWindow)) return 0;
    Request request{false, nullptr};
    const int result = send(request);
    if (result == 0 && blockThread) {
        WaitForSingleObject(blockThread.get(), kWaitMs);
        blockThread.reset();
        blockWindow = nullptr;
    }
    return result;
}

} // namespace tavrelo
