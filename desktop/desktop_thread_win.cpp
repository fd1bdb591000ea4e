// The desktop thread: hosts the process's desktop windows and runs their message loop until
// the application's Java threads have ended.
#include <windows.h>

#include <atomic>
#include <memory>

#include "bridge/bridge.h"
#include "desktop/desktop.h"
#include "desktop/session_restore.h"
#include "desktop/tray.h"
#include "launcher/hand_overs.h"
#include "launcher/java_runtime.h"
#include "platform/handles.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

struct DesktopThreadStart {
    int features = 0;
    std::string mainClass;
};

std::atomic<DWORD> desktopThreadId{0};
std::atomic<bool> desktopThreadStarted{false};
KernelHandle desktopThreadHandle; // written once by the launch thread, then only waited on
DesktopWindowFunctions screenSaverWindow; // written once before the thread starts

// Posted to the thread when the launcher's main thread has let go of Java: the application may
// have ended with it, and the answer should not wait for the next regular test.
constexpr UINT kTestLivenessNow = WM_APP + 1;
// How long the launcher's end waits for the desktop thread to close its windows by itself.
constexpr DWORD kEndWaitMs = 3000;

// Each liveness test enumerates the Java threads and asks for collections (milliseconds each);
// every pointer move over a window of the thread is a message, so testing per message would
// stall the application. Once a second is soon enough to notice its end.
constexpr ULONGLONG kLivenessIntervalMs = 1000;

class LivenessTest {
  public:
    explicit LivenessTest(int features) noexcept
        : countThreads_((features & (kFeatureTray | kFeatureScreenSaverWindow)) != 0) {}

    void testNextTime() noexcept { tested_ = false; }

    bool applicationLives() noexcept {
        if (os::launcherEnding() || javaRuntime().ended.load(std::memory_order_acquire)) return false;
        const ULONGLONG now = GetTickCount64();
        if (tested_ && now - lastTest_ < kLivenessIntervalMs) return lives_;
        lives_ = isApplicationAlive(countThreads_);
        lastTest_ = now;
        tested_ = true;
        return lives_;
    }

  private:
    bool countThreads_;
    bool tested_ = false;
    bool lives_ = true;
    ULONGLONG lastTest_ = 0;
};

// For System.exit and after the VM's end: the VM may be ending under any thread, maybe with the
// desktop thread inside a Java call, so this neither calls Java nor waits. The icon goes at once
// (the process may end in a moment); windows can only be destroyed by their own thread, which
// leaves its loop on the posted quit and destroys them itself.
void endDesktopThread() noexcept {
    removeTrayIconNow();
    unregisterEventNotifications();
    if (const DWORD id = desktopThreadId.load(std::memory_order_acquire)) PostThreadMessageW(id, WM_QUIT, 0, 0);
}

DWORD WINAPI desktopThread(void* parameter) {
    const std::unique_ptr<DesktopThreadStart> start(static_cast<DesktopThreadStart*>(parameter));
    // A message queue before the id is published, so a quit posted from now on is not lost.
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    desktopThreadId.store(GetCurrentThreadId(), std::memory_order_release);

    bool anyWindow = false;
    if (start->features & kFeatureSystemEvents) anyWindow = createEventWindow(start->mainClass) || anyWindow;
    if (start->features & kFeatureTray) anyWindow = createTrayIcon() || anyWindow;
    const bool saver = (start->features & kFeatureScreenSaverWindow) && screenSaverWindow.create;
    if (saver) anyWindow = screenSaverWindow.create() || anyWindow;

    if (anyWindow) {
        LivenessTest liveness(start->features);
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (message.hwnd == nullptr && message.message == kTestLivenessNow) liveness.testNextTime();
            if (!liveness.applicationLives()) break;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    if (start->features & kFeatureSystemEvents) destroyEventWindow();
    if (start->features & kFeatureTray) destroyTrayIcon();
    if (saver) screenSaverWindow.destroy();
    desktopThreadId.store(0, std::memory_order_release);
    releaseJavaThread();
    return 0;
}

} // namespace

void setScreenSaverWindowFunctions(DesktopWindowFunctions functions) noexcept { screenSaverWindow = functions; }

int desktopFeatures(const std::string& mainClass, int serviceSubMode) {
    // The event window also serves session restore: the session's end starts the save.
    const bool saves = serviceSubMode == kSubModeNone && bindSessionRestore(mainClass);
    int features = bindSystemEvents(mainClass) || saves ? kFeatureSystemEvents : 0;
    // A service has no desktop of its own: its companion shows the icon in the user's session.
    if (serviceSubMode != kSubModeService && bindTaskbar(mainClass)) features |= kFeatureTray;
    return features;
}

void startDesktopThread(int desktopFeatureSet, const std::string& mainClass) {
    if (desktopFeatureSet == 0 || desktopThreadStarted.exchange(true)) return;
    auto start = std::make_unique<DesktopThreadStart>();
    start->features = desktopFeatureSet;
    start->mainClass = mainClass;
    (void)addCleanUpStep(endDesktopThread);
    desktopThreadHandle.reset(CreateThread(nullptr, 0, desktopThread, start.get(), 0, nullptr));
    if (desktopThreadHandle) (void)start.release(); // the thread owns its start record now
}

void awaitDesktopThreadEnd() {
    if (!desktopThreadHandle) return;
    if (const DWORD id = desktopThreadId.load(std::memory_order_acquire)) PostThreadMessageW(id, kTestLivenessNow, 0, 0);
    // Where the application still runs (a window, a worker), the thread goes on and the VM's end
    // waits for the application instead; the clean-up after it removes the icon.
    WaitForSingleObject(desktopThreadHandle.get(), kEndWaitMs);
}

} // namespace tavrelo
