// The session watch on Windows: terminal-service notifications for the event window, and the
// logon sessions of the security layer to name each session's user.
#include <windows.h>

#include <ntsecapi.h>

#include <atomic>
#include <memory>

#include "bridge/bridge.h"
#include "desktop/session_watch.h"
#include "platform/handles.h"
#include "platform/system.h"
#include "platform/win_text.h"

namespace tavrelo {

namespace {

constexpr DWORD kNotifyForAllSessions = 1;
// RPC_S_INVALID_BINDING: the terminal service has not started yet (early in a service's life).
constexpr DWORD kTerminalServiceNotReady = 1702;
constexpr DWORD kRegisterRetryMs = 500;
constexpr DWORD kReportDelayMs = 1000;
// A user is kept in 1,024 bytes with its terminator.
constexpr std::size_t kUserLimit = 1024 / sizeof(char16_t) - 1;

struct SessionFunctions {
    BOOL(WINAPI* registerWindow)(HWND, DWORD);
    BOOL(WINAPI* unregisterWindow)(HWND);
    NTSTATUS(NTAPI* enumerateLogons)(PULONG, PLUID*);
    NTSTATUS(NTAPI* logonData)(PLUID, PSECURITY_LOGON_SESSION_DATA*);
    NTSTATUS(NTAPI* freeBuffer)(PVOID);
};

// Looked up once, on first use (a function-local static is initialised by one thread only).
const SessionFunctions& sessionFunctions() noexcept {
    static const SessionFunctions functions{
        loadFunctionAs<decltype(SessionFunctions::registerWindow)>(u"WtsApi32.dll", "WTSRegisterSessionNotification"),
        loadFunctionAs<decltype(SessionFunctions::unregisterWindow)>(u"WtsApi32.dll",
                                                                     "WTSUnRegisterSessionNotification"),
        loadFunctionAs<decltype(SessionFunctions::enumerateLogons)>(u"Secur32.dll", "LsaEnumerateLogonSessions"),
        loadFunctionAs<decltype(SessionFunctions::logonData)>(u"Secur32.dll", "LsaGetLogonSessionData"),
        loadFunctionAs<decltype(SessionFunctions::freeBuffer)>(u"Secur32.dll", "LsaFreeReturnBuffer"),
    };
    return functions;
}

struct LsaBufferFree {
    void operator()(void* buffer) const noexcept { sessionFunctions().freeBuffer(buffer); }
};
template <class T> using LsaBuffer = std::unique_ptr<T, LsaBufferFree>;

// A counted string of the security layer: its Length says where it ends, not a terminator.
TextView countedText(const LSA_UNICODE_STRING& text) noexcept {
    if (!text.Buffer) return {};
    return TextView(tc(text.Buffer), text.Length / sizeof(WCHAR));
}

Text domainUser(TextView domain, TextView user) {
    Text out;
    appendLimited(out, domain, kUserLimit);
    appendLimited(out, u"\\", kUserLimit);
    appendLimited(out, user, kUserLimit);
    return out;
}

std::vector<LogonRecord> logonSessions() {
    const SessionFunctions& functions = sessionFunctions();
    std::vector<LogonRecord> records;
    if (!functions.enumerateLogons || !functions.logonData || !functions.freeBuffer) return records;
    ULONG count = 0;
    PLUID first = nullptr;
    if (functions.enumerateLogons(&count, &first) != 0 || !first) return records;
    const LsaBuffer<LUID> list(first);
    for (ULONG i = 0; i < count; ++i) {
        PSECURITY_LOGON_SESSION_DATA received = nullptr;
        if (functions.logonData(&list.get()[i], &received) != 0 || !received) continue;
        const LsaBuffer<SECURITY_LOGON_SESSION_DATA> data(received);
        records.push_back(
            {data->Session, data->LogonType, domainUser(countedText(data->LogonDomain), countedText(data->UserName))});
    }
    return records;
}

// The watch of the event window; touched by the event window's thread, and the flags by the
// watch thread.
HWND watchedWindow = nullptr;
KernelHandle watchThread;
KernelHandle stopRequested; // manual-reset event: the watch thread waits on it between rounds
std::atomic<bool> registered{false};

bool stopping(DWORD waitMs) noexcept { return WaitForSingleObject(stopRequested.get(), waitMs) != WAIT_TIMEOUT; }

DWORD WINAPI sessionWatchThread(void*) noexcept {
    const SessionFunctions& functions = sessionFunctions();
    while (!functions.registerWindow(watchedWindow, kNotifyForAllSessions)) {
        if (GetLastError() != kTerminalServiceNotReady || stopping(kRegisterRetryMs)) return 0;
    }
    registered.store(true, std::memory_order_release);
    if (stopping(kReportDelayMs)) return 0;
    try {
        reportLoggedOnUsers(logonSessions(), domainUser(userDomain(), userName()));
    } catch (...) {
        // Out of memory listing the sessions: no start-up report.
    }
    releaseJavaThread();
    return 0;
}

} // namespace

bool startSessionWatch(void* window) noexcept {
    if (watchThread) return true;
    clearSessionUsers();
    const SessionFunctions& functions = sessionFunctions();
    if (!functions.registerWindow || !functions.unregisterWindow) return false;
    stopRequested.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopRequested) return false;
    watchedWindow = static_cast<HWND>(window);
    registered.store(false, std::memory_order_relaxed);
    watchThread.reset(CreateThread(nullptr, 0, sessionWatchThread, nullptr, 0, nullptr));
    return watchThread.valid();
}

void stopSessionWatch() noexcept {
    if (!watchThread) return;
    SetEvent(stopRequested.get());
    WaitForSingleObject(watchThread.get(), INFINITE);
    watchThread.reset();
    stopRequested.reset();
    if (registered.exchange(false, std::memory_order_acq_rel)) sessionFunctions().unregisterWindow(watchedWindow);
    watchedWindow = nullptr;
}

void releaseSessionNotifications() noexcept {
    if (registered.exchange(false, std::memory_order_acq_rel)) sessionFunctions().unregisterWindow(watchedWindow);
}

void onSessionChange(unsigned code, std::uint32_t sessionId) noexcept {
    try {
        deliverSessionChange(code, sessionId, sessionUser(logonSessions(), sessionId));
    } catch (...) {
        // Out of memory listing the sessions: this change is not told.
    }
}

} // namespace tavrelo
