// The splash window "Tavrelo WinSPH" and its thread, and the launcher's start of the splash.
#include <windows.h>

#include <algorithm>
#include <ctime>
#include <utility>

#include "desktop/splash.h"
#include "launcher/hand_overs.h"
#include "launcher/java_runtime.h"
#include "launcher/launcher.h"
#include "platform/handles.h"
#include "platform/os.h"
#include "platform/win_text.h"
#include "resources/resources.h"

namespace tavrelo {

namespace {

constexpr wchar_t kSplashClass[] = L"Tavrelo WinSPH";
// Thread messages of the window thread: start the wake-up timer; destroy the window and end.
constexpr UINT kStartWakeTimer = WM_APP + 1;
constexpr UINT kCloseSplash = WM_APP + 2;
// Posted when the launcher's main thread has let go of Java: the application may have ended.
constexpr UINT kTestLivenessNow = WM_APP + 3;
// How long the launcher's end waits for the splash to close by itself.
constexpr DWORD kEndWaitMs = 3000;
constexpr UINT_PTR kWakeTimer = 1;
constexpr UINT kWakePeriodMs = 1000;
// A liveness test lists the Java threads and asks for a collection; every pointer move over the
// splash is a message, and testing per message would slow the start-up the splash decorates.
constexpr ULONGLONG kLivenessIntervalMs = 1000;

// The one splash of the process. `window` is guarded by the frame's lock: the window thread
// clears it before it destroys the window, so no other thread ever reaches a window that is
// gone, let alone a null one (which would redraw the whole desktop).
struct SplashState {
    KernelHandle thread;
    KernelHandle controller; // written and waited for on the launch thread only
    std::atomic<DWORD> threadId{0};
    std::atomic<SplashWindowState> state{SplashWindowState::Pending};
    HWND window = nullptr;
    SplashPicture picture;
    SharedFrame frame;
    FrameScene firstScene; // the image on its background: the methods are not known yet
};
SplashState splash;

// The splash image among the launcher's resources; empty when there is none.
std::string_view splashImageResource() noexcept {
    const auto module = static_cast<HMODULE>(launchContext().module);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(kBinSplashImage), wc(kBinType));
    const DWORD size = found ? SizeofResource(module, found) : 0;
    HGLOBAL loaded = size ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    return data ? std::string_view(static_cast<const char*>(data), size) : std::string_view();
}

LRESULT CALLBACK splashProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        paintFrame(window, window, false, splash.firstScene, splash.frame, -1);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool createSplashWindow() noexcept {
    if (!loadSplashPicture(splashImageResource(), splash.picture)) return false;
    splash.firstScene.layers.background = splash.picture.background;
    splash.firstScene.layers.image = splash.picture.image;
    const FrameSize desktop = frameSizeFor(nullptr, false);

    WNDCLASSW windowClass{};
    windowClass.style = CS_NOCLOSE;
    windowClass.lpfnWndProc = splashProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kSplashClass;
    RegisterClassW(&windowClass);
    // Integer division rounds toward zero, also for an image larger than the desktop.
    const HWND window = CreateWindowExW(0, kSplashClass, L"", WS_POPUP | WS_VISIBLE | WS_BORDER,
                                        (desktop.width - splash.picture.width) / 2,
                                        (desktop.height - splash.picture.height) / 2, splash.picture.width,
                                        splash.picture.height, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) return false;
    const std::lock_guard<SlimLock> guard(splash.frame.lock);
    splash.window = window;
    return true;
}

void runSplashLoop() noexcept {
    MSG message;
    ULONGLONG lastTest = GetTickCount64();
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == kCloseSplash) return;
        if (message.hwnd == nullptr && message.message == kStartWakeTimer) {
            SetTimer(splash.window, kWakeTimer, kWakePeriodMs, nullptr);
            continue;
        }
        if (message.hwnd == nullptr && message.message == kTestLivenessNow) lastTest = 0;
        if (os::launcherEnding() || javaRuntime().ended.load(std::memory_order_acquire)) return;
        if (const ULONGLONG now = GetTickCount64(); now - lastTest >= kLivenessIntervalMs) {
            lastTest = now;
            if (!isApplicationAlive(true)) return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

DWORD WINAPI splashThread(void*) {
    // A message queue before the id is published, so that nothing posted to it is lost.
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    splash.threadId.store(GetCurrentThreadId());
    if (createSplashWindow()) {
        splash.state.store(SplashWindowState::Shown);
        runSplashLoop();
    }
    HWND window = nullptr;
    {
        const std::lock_guard<SlimLock> guard(splash.frame.lock);
        window = std::exchange(splash.window, nullptr);
    }
    if (window) DestroyWindow(window); // only the thread that made a window may destroy it
    splash.state.store(SplashWindowState::Gone);
    releaseJavaThread();
    return 0;
}

// ---- The window as the controller reaches it -------------------------------------------------

HWND liveWindow() noexcept {
    const std::lock_guard<SlimLock> guard(splash.frame.lock);
    return splash.window;
}

const SplashWindow kSplashWindow{
    [] () noexcept { return splash.state.load(); },
    [] () noexcept { PostThreadMessageW(splash.threadId.load(), kStartWakeTimer, 0, 0); },
    [] () noexcept {
        const HWND window = liveWindow();
        return window ? frameSizeFor(window, false) : FrameSize{};
    },
    [] () noexcept {
        if (const HWND window = liveWindow()) {
            InvalidateRect(window, nullptr, FALSE);
            UpdateWindow(window); // outside the lock: the window's paint takes it
        }
    },
    [] () noexcept {
        // Posted, so the thread wakes now rather than at the next timer tick.
        PostThreadMessageW(splash.threadId.load(), kCloseSplash, 0, 0);
        WaitForSingleObject(splash.thread.get(), INFINITE);
    },
    [] (unsigned milliseconds) noexcept {
        // In slices, so a window thread that ended (the application did) ends the tick too.
        for (unsigned slept = 0; slept < milliseconds && splash.state.load() == SplashWindowState::Shown; slept += 50)
            os::sleepMs(std::min(50u, milliseconds - slept));
    },
    [] () noexcept { return static_cast<long long>(std::time(nullptr)); },
    [] () noexcept { return os::launcherEnding() || javaRuntime().ended.load(std::memory_order_acquire); },
};

DWORD WINAPI controllerThread(void*) {
    runSplashController(mainClassName(), kSplashWindow, splash.picture, splash.frame);
    return 0;
}

} // namespace

bool startSplashScreen() {
    if (splash.thread || splashImageResource().empty()) return false;
    splash.thread.reset(CreateThread(nullptr, 0, splashThread, nullptr, 0, nullptr));
    return static_cast<bool>(splash.thread);
}

void startSplashFollowUp() {
    // A window thread that has given up already (an image that does not load) needs no
    // controller, and the application hears nothing of a splash.
    if (!splash.thread || splash.state.load() == SplashWindowState::Gone) return;
    // Without a controller the window stays until the application ends.
    splash.controller.reset(CreateThread(nullptr, 0, controllerThread, nullptr, 0, nullptr));
}

void awaitSplashEnd() {
    if (!splash.thread) return;
    PostThreadMessageW(splash.threadId.load(), kTestLivenessNow, 0, 0);
    // The controller is the last to call Java (sphFinish); without one, the window thread.
    WaitForSingleObject(splash.controller ? splash.controller.get() : splash.thread.get(), kEndWaitMs);
}

} // namespace tavrelo
