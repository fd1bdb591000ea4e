// The screen-saver build's run: the full-screen window or the preview inside the settings
// dialog, the frame ticker and painter, the preview watcher, and finishing.
#include <windows.h>
#include <windowsx.h>

#include <atomic>

#include "bridge/bridge.h"
#include "bridge/object_conversion.h"
#include "desktop/desktop.h"
#include "desktop/splash.h"
#include "launcher/hand_overs.h"
#include "launcher/java_runtime.h"
#include "platform/handles.h"
#include "platform/messages.h"
#include "platform/os.h"
#include "platform/system.h"
#include "platform/win_text.h"
#include "screensaver/screensaver.h"
#include "screensaver/screensaver_run.h"

namespace tavrelo {

namespace {

constexpr wchar_t kWindowClass[] = L"Tavrelo WinSCR";
constexpr UINT kWakeTimerMs = 1000;
constexpr DWORD kPainterPollMs = 10;
constexpr DWORD kWatchMs = 500;

// Process-wide state of the run: written on the launch thread before the window exists, then
// read by the desktop thread, the frame threads and the watcher.
ScreenSaverRequest request;
ScreenSaverInfo info;
ScreenArea area;
FrameScene scene;
SharedFrame frame;
std::atomic<HWND> window{nullptr};
// The frame counter lives as long as the process: the ticker may still add to it after the
// painter has left.
std::atomic<int> frameCounter{0};
std::atomic<bool> finishing{false};
std::atomic<bool> mayPaint{false}; // in preview mode, once the previous preview has ended
int lastX = -1;                    // desktop thread only
int lastY = -1;

bool preview() noexcept { return request.mode == ScreenSaverMode::Preview; }
HWND previewParent() noexcept { return reinterpret_cast<HWND>(request.previewParent); }
HWND frameTarget() noexcept { return preview() ? previewParent() : window.load(); }

ScreenArea currentArea() noexcept {
    const ScreenArea virtualScreen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                                   GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    const FrameSize desktop = frameSizeFor(nullptr, false);
    return screenSaverArea(preview(), virtualScreen, {0, 0, desktop.width, desktop.height});
}

// The background, held for the whole run: the screen as it was at start, or black.
void takeBackground() noexcept {
    JNIEnv* env = javaEnv();
    if (!env) return;
    if (info.captureScreen) {
        LocalRef<jobject> robot(newObject("java.awt.Robot", nullptr));
        LocalRef<jobject> rectangle(newObject("java.awt.Rectangle", "IIII", static_cast<jint>(area.x),
                                              static_cast<jint>(area.y), static_cast<jint>(area.width),
                                              static_cast<jint>(area.height)));
        const LocalRef<jobject> image =
            robot && rectangle
                ? callMethodObject("java.awt.Robot", robot.get(), "createScreenCapture", "java.awt.image.BufferedImage",
                                   "Ljava/awt/Rectangle;", rectangle.get())
                : LocalRef<jobject>();
        if (image) {
            scene.layers.image = env->NewGlobalRef(image.get());
            return;
        }
    }
    LocalRef<jobject> black(colorByName("BLACK"));
    if (black) scene.layers.background = env->NewGlobalRef(black.get());
}

void renderOneFrame() noexcept {
    (void)renderFrame(preview() ? GetDesktopWindow() : nullptr, !preview(), scene, frame);
}

void paintTarget(HWND target) noexcept {
    paintFrame(target, preview() ? GetDesktopWindow() : nullptr, !preview(), scene, frame, -1);
}

DWORD WINAPI painter(void*) {
    DWORD lastFrame = 0;
    bool painted = false;
    for (;;) {
        Sleep(kPainterPollMs);
        const int ticks = frameCounter.load();
        if (ticks < 0 || finishing.load() || os::launcherEnding()) break;
        if (ticks == 0 || !mayPaint.load()) continue;
        const DWORD since = GetTickCount() - lastFrame;
        if (painted && since < info.periodMs) Sleep(info.periodMs - since);
        frameCounter.store(0);
        lastFrame = GetTickCount();
        painted = true;
        renderOneFrame();
        const HWND target = frameTarget();
        InvalidateRect(target, nullptr, FALSE);
        if (preview())
            paintTarget(target);
        else
            UpdateWindow(target);
    }
    releaseJavaThread();
    return 0;
}

DWORD WINAPI ticker(void*) {
    KernelHandle paintThread(CreateThread(nullptr, 0, painter, nullptr, 0, nullptr));
    while (!os::launcherEnding() && !finishing.load()) {
        frameCounter.fetch_add(1);
        Sleep(info.periodMs);
    }
    return 0;
}

struct ChildSearch {
    HWND own = nullptr;
    int children = 0;
    bool foreign = false;
};

BOOL CALLBACK countChild(HWND child, LPARAM parameter) {
    auto* search = reinterpret_cast<ChildSearch*>(parameter);
    ++search->children;
    if (child != search->own) search->foreign = true;
    return TRUE;
}

// Another screen saver put into the preview, or the dialog gone: this preview is over.
DWORD WINAPI previewWatcher(void*) {
    while (screenSaverMutexExists() && !finishing.load())
        Sleep(kWatchMs);
    HeldMutex mutex = createScreenSaverMutex();
    mayPaint.store(true);
    for (;;) {
        Sleep(kWatchMs);
        if (finishing.load() || os::launcherEnding()) break;
        ChildSearch search{window.load()};
        EnumChildWindows(previewParent(), countChild, reinterpret_cast<LPARAM>(&search));
        if (search.foreign || search.children == 0) break;
    }
    SetParent(window.load(), nullptr);
    mutex.reset();
    finishScreenSaver();
    releaseJavaThread();
    return 0;
}

void startThread(LPTHREAD_START_ROUTINE routine) noexcept {
    KernelHandle thread(CreateThread(nullptr, 0, routine, nullptr, 0, nullptr));
}

void onKey(int virtualKey, bool released) noexcept {
    switch (keyDecision(screenSaverDefines(kScrsvIsExitByKey), screenSaverDefines(kScrsvIsExitByMouse))) {
    case InputDecision::Finish:
        finishScreenSaver();
        break;
    case InputDecision::AskApplication:
        if (screenSaverKeyExits(virtualKey, released)) finishScreenSaver();
        break;
    case InputDecision::Ignore:
        break;
    }
}

void onMouse(LPARAM position, int click, int button, bool flag) noexcept {
    const int x = GET_X_LPARAM(position);
    const int y = GET_Y_LPARAM(position);
    switch (mouseDecision(screenSaverDefines(kScrsvIsExitByKey), screenSaverDefines(kScrsvIsExitByMouse), x, y, click,
                          button, lastX, lastY)) {
    case InputDecision::Finish:
        finishScreenSaver();
        break;
    case InputDecision::AskApplication:
        if (screenSaverMouseExits(x, y, click, button, flag)) finishScreenSaver();
        break;
    case InputDecision::Ignore:
        break;
    }
}

// The button of a mouse message (1 left, 2 right, 3 middle) and its kind (0 press, 1 release,
// 2 double click); false for other messages.
bool mouseButton(UINT message, int& button, int& kind) noexcept {
    static constexpr UINT kFirst[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
    for (int i = 0; i < 3; ++i) {
        if (message >= kFirst[i] && message <= kFirst[i] + 2) {
            button = i + 1;
            kind = static_cast<int>(message - kFirst[i]);
            return true;
        }
    }
    return false;
}

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        finishScreenSaver();
        return 0;
    }
    if (message == WM_PAINT) {
        if (preview())
            ValidateRect(hwnd, nullptr);
        else
            paintTarget(hwnd);
        return 0;
    }
    if (preview()) return DefWindowProcW(hwnd, message, wParam, lParam);
    int button = 0;
    int kind = 0;
    switch (message) {
    case WM_KEYDOWN:
        onKey(static_cast<int>(wParam), false);
        return 0;
    case WM_KEYUP:
        onKey(static_cast<int>(wParam), true);
        return 0;
    case WM_MOUSEMOVE:
        onMouse(lParam, 0, 0, true);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MONITORPOWER || wParam == 1) break;
        return 0;
    default:
        if (mouseButton(message, button, kind)) {
            // A press and a double click report (1, false) and (2, false); a release (1, true).
            onMouse(lParam, kind == 2 ? 2 : 1, button, kind == 1);
            return 0;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool createScreenSaverWindow() noexcept {
    if (window.load()) return true;
    area = currentArea();
    const auto instance = static_cast<HINSTANCE>(launchContext().module);
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS | CS_NOCLOSE;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassW(&windowClass);
    const DWORD style = preview() ? WS_POPUP : WS_POPUP | WS_VISIBLE;
    const HWND created = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TRANSPARENT, kWindowClass, L"", style, area.x, area.y,
                                         area.width, area.height, nullptr, nullptr, instance, nullptr);
    if (!created) return false;
    window.store(created);
    SetTimer(created, 1, kWakeTimerMs, nullptr);
    if (preview()) {
        SetParent(created, previewParent());
        startThread(previewWatcher);
    } else {
        mayPaint.store(true);
        if (info.showCursor) SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        ShowCursor(info.showCursor ? TRUE : FALSE);
    }
    startThread(ticker);
    return true;
}

void destroyScreenSaverWindow() noexcept {
    if (const HWND existing = window.load()) DestroyWindow(existing);
}

[[noreturn]] void sleepUntilTheEnd() noexcept {
    for (;;)
        Sleep(500);
}

int runSaver(int desktopFeatureSet, const std::string& mainClass) {
    callScreenSaver(kScrsvInit);
    info = readScreenSaverInfo();
    area = currentArea();
    takeBackground();
    scene.methods = &screenSaverMethods();
    scene.paintSlot = kScrsvPaint;
    if (!screenSaverDefines(kScrsvPaint)) {
        showMessage(kMessageNoScreenSaverPaint, kBoxWarning);
        finishScreenSaver();
        return 1;
    }
    startDesktopThread(desktopFeatureSet | kFeatureScreenSaverWindow, mainClass);
    sleepUntilTheEnd();
}

} // namespace

void setScreenSaverRequest(const ScreenSaverRequest& asked) noexcept {
    request = asked;
    setScreenSaverWindowFunctions({createScreenSaverWindow, destroyScreenSaverWindow});
}

void finishScreenSaver() noexcept {
    if (finishing.exchange(true)) return;
    callScreenSaver(kScrsvFinish);
    exitJava();
}

int runScreenSaver(int desktopFeatureSet, const std::string& mainClass) {
    (void)bindScreenSaverMethods(mainClass);
    switch (request.mode) {
    case ScreenSaverMode::Configure:
        callScreenSaver(kScrsvOpenConfig);
        shutdownJavaVm(true);
        return 1;
    case ScreenSaverMode::FullScreen:
        return runSaver(desktopFeatureSet, mainClass);
    case ScreenSaverMode::Preview:
        if (offerInstallFromPreview(previewParent())) return 0;
        if (!screenSaverDefines(kScrsvPaint)) return 1;
        return runSaver(desktopFeatureSet, mainClass);
    case ScreenSaverMode::None:
        break;
    }
    return 1;
}

} // namespace tavrelo
