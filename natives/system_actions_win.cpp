// The real calls behind the system natives' table.
#include <windows.h>

#include "natives/system_actions.h"
#include "platform/system.h"
#include "platform/win_text.h"

namespace tavrelo {

namespace {

constexpr wchar_t kBlockWindowClass[] = L"Tavrelo WinBlockShutdown";

template <class Function> Function systemFunction(const char16_t* library, const char* name) noexcept {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(loadFunction(library, name)));
}

bool initiateShutdown(const char16_t* message, unsigned long seconds, bool force, bool reboot,
                      unsigned long reason) noexcept {
    return InitiateSystemShutdownExW(nullptr, const_cast<wchar_t*>(wc(message)), seconds, force, reboot, reason) != 0;
}

bool abortShutdown() noexcept { return AbortSystemShutdownW(nullptr) != 0; }

bool suspend(bool hibernate, bool disableWakeEvents) noexcept {
    using SetSuspendState = BOOLEAN(WINAPI*)(BOOLEAN, BOOLEAN, BOOLEAN);
    if (const auto call = systemFunction<SetSuspendState>(u"powrprof.dll", "SetSuspendState"))
        return call(hibernate, FALSE, disableWakeEvents) != 0;
    (void)enableShutdownPrivilege();
    return SetSystemPowerState(!hibernate, FALSE) != 0;
}

bool exitWindows(unsigned flags, unsigned long reason) noexcept { return ExitWindowsEx(flags, reason) != 0; }

bool lockWorkStation() noexcept { return LockWorkStation() != 0; }

BlockCall blockReasonCreate(void* window, const char16_t* reason) noexcept {
    using Create = BOOL(WINAPI*)(HWND, LPCWSTR);
    const auto call = systemFunction<Create>(u"user32.dll", "ShutdownBlockReasonCreate");
    if (!call) return BlockCall::Missing;
    return call(static_cast<HWND>(window), wc(reason)) ? BlockCall::Done : BlockCall::Failed;
}

BlockCall blockReasonDestroy(void* window) noexcept {
    using Destroy = BOOL(WINAPI*)(HWND);
    const auto call = systemFunction<Destroy>(u"user32.dll", "ShutdownBlockReasonDestroy");
    if (!call) return BlockCall::Missing;
    return call(static_cast<HWND>(window)) ? BlockCall::Done : BlockCall::Failed;
}

void* createBlockWindow(void* procedure) noexcept {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = reinterpret_cast<WNDPROC>(procedure);
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kBlockWindowClass;
    if (!RegisterClassW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    // Top level and hidden: the session's end is asked of top-level windows.
    return CreateWindowExW(0, kBlockWindowClass, L"", 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                           nullptr, nullptr, instance, nullptr);
}

} // namespace

SystemActions& systemActions() noexcept {
    static SystemActions actions{initiateShutdown,    abortShutdown,      suspend,          exitWindows, lockWorkStation,
                                 tavrelo::restartDialog, blockReasonCreate, blockReasonDestroy, createBlockWindow};
    return actions;
}

} // namespace tavrelo
