// The tray icon on the desktop thread: its hidden window, the icon record the shell holds, the
// refresh that keeps the icon as the application wants it, clicks and balloons.
#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <cwchar>
#include <mutex> // std::lock_guard

#include "bridge/bridge.h"
#include "desktop/desktop.h"
#include "desktop/tray.h"
#include "launcher/launcher.h"
#include "platform/handles.h"
#include "platform/os.h"
#include "platform/system.h"
#include "platform/threads.h"
#include "platform/win_text.h"

namespace tavrelo {

namespace {

constexpr wchar_t kTrayWindowClass[] = L"Tavrelo WinTask";
constexpr wchar_t kTrayMessageName[] = L"Tavrelo MsgTask";
constexpr UINT_PTR kTrayTimer = 1;
constexpr UINT kRefreshPeriodMs = 1500;
constexpr DWORD kBalloonPeriodMs = 2000;
constexpr UINT kIconId = 1;

// Callback events besides the mouse messages: the deferred single clicks we post ourselves,
// the balloon click and a request to refresh.
constexpr UINT kLeftSingleClick = 0x400;
constexpr UINT kRightSingleClick = 0x401;
constexpr UINT kBalloonClicked = 0x405;
constexpr UINT kRefreshRequest = 0x113;

// From shell version 5 on the record is the layout that ends with the balloon's icon type and
// balloons work; before it the shell takes the whole record and shows no balloons.
constexpr DWORD kBalloonRecordSize = NOTIFYICONDATAW_V2_SIZE;
static_assert(sizeof(void*) != 8 || (kBalloonRecordSize == 952 && sizeof(NOTIFYICONDATAW) == 976),
              "record sizes the shell expects");

HWND trayWindow = nullptr;
UINT trayMessage = 0;
UINT taskbarCreatedMessage = 0;
bool leftDoubleClicked = false;
bool rightDoubleClicked = false;

// The record the shell holds, and whether the icon is shown. The desktop thread, the balloon
// poller and the clean-up step all change them; each change and its shell call hold the lock,
// no Java call ever does.
SlimLock recordLock;
NOTIFYICONDATAW record{};
bool iconHidden = true;
bool recordReady = false;

// The balloon poller: it checks the flag before each Java call and waits on the event between
// rounds, so stopping it never cuts it inside the VM; it is joined before the record goes.
std::atomic<bool> pollerStop{false};
KernelHandle pollerWake;
KernelHandle pollerThread;

bool shellCall(DWORD action) noexcept { return Shell_NotifyIconW(action, &record) != FALSE; }

// Adds the icon; where the shell already has it (a hidden mark while it stayed), that counts.
bool addIcon() noexcept {
    if (shellCall(NIM_ADD)) return true;
    const UINT flags = record.uFlags;
    record.uFlags = 0;
    const bool present = shellCall(NIM_MODIFY);
    record.uFlags = flags;
    return present;
}

void refresh() noexcept {
    if (os::launcherEnding()) return;
    const bool show = taskIsShow();
    const std::lock_guard<SlimLock> hold(recordLock);
    if (!recordReady) return;
    if (show && iconHidden && addIcon()) iconHidden = false;
    if (!show && !iconHidden && shellCall(NIM_DELETE)) iconHidden = true;
}

void copyField(wchar_t* field, std::size_t capacity, TextView text) noexcept {
    const std::size_t length = text.size() < capacity ? text.size() : 0;
    wmemcpy(field, wc(text.data()), length);
    field[length] = L'\0';
}

void showBalloon(const BalloonInfo& balloon) noexcept {
    const std::lock_guard<SlimLock> hold(recordLock);
    if (!recordReady || iconHidden) return;
    record.uFlags |= NIF_INFO;
    record.uTimeout = balloon.timeoutMs;
    record.dwInfoFlags = balloon.iconType;
    copyField(record.szInfo, std::size(record.szInfo), balloon.text);
    copyField(record.szInfoTitle, std::size(record.szInfoTitle), balloon.title);
    (void)shellCall(NIM_MODIFY);
    record.uFlags &= ~static_cast<UINT>(NIF_INFO);
}

DWORD WINAPI balloonPoller(void*) {
    while (!pollerStop.load(std::memory_order_acquire)) {
        if (taskIsBalloonShow() && !pollerStop.load(std::memory_order_acquire)) showBalloon(taskGetBalloonInfo());
        WaitForSingleObject(pollerWake.get(), kBalloonPeriodMs);
    }
    releaseJavaThread();
    return 0;
}

void stopBalloonPoller() noexcept {
    if (!pollerThread) return;
    pollerStop.store(true, std::memory_order_release);
    SetEvent(pollerWake.get());
    WaitForSingleObject(pollerThread.get(), INFINITE);
    pollerThread.reset();
}

void clickAction(bool right, bool doubleClick) noexcept {
    // The actions are read again at every click: the application may change them at any time.
    switch (taskGetInfo().action(right, doubleClick)) {
    case kTrayDefaultItem: {
        const int id = taskGetDefaultMenuID(right);
        if (id >= 0) taskDoAction(right, id);
        break;
    }
    case kTrayShowMenu: showTrayMenu(trayWindow, right); break;
    default: break;
    }
}

// A button's release acts only once the double-click time has passed without a double click:
// the single click is posted back to the window after it, and a double click in between takes
// over (its second release runs the double-click action; the posted single click is dropped).
void buttonReleased(bool right) noexcept {
    bool& doubleClicked = right ? rightDoubleClicked : leftDoubleClicked;
    if (doubleClicked) {
        clickAction(right, true);
        return;
    }
    Sleep(GetDoubleClickTime());
    PostMessageW(trayWindow, trayMessage, 0, right ? kRightSingleClick : kLeftSingleClick);
}

void deferredSingleClick(bool right) noexcept {
    bool& doubleClicked = right ? rightDoubleClicked : leftDoubleClicked;
    if (!doubleClicked) clickAction(right, false);
    doubleClicked = false;
}

void onTrayEvent(UINT event) noexcept {
    switch (event) {
    case WM_LBUTTONUP: buttonReleased(false); break;
    case WM_RBUTTONUP: buttonReleased(true); break;
    case WM_LBUTTONDBLCLK: leftDoubleClicked = true; break;
    case WM_RBUTTONDBLCLK: rightDoubleClicked = true; break;
    case kLeftSingleClick: deferredSingleClick(false); break;
    case kRightSingleClick: deferredSingleClick(true); break;
    case kBalloonClicked: taskDoBalloonAction(); break;
    case kRefreshRequest: refresh(); break;
    default: break;
    }
}

LRESULT CALLBACK trayWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == trayMessage && trayMessage != 0) {
        onTrayEvent(LOWORD(lParam));
        return 0;
    }
    // Explorer restarted: its new tray knows no icons until they are added again.
    if (message == taskbarCreatedMessage && taskbarCreatedMessage != 0) markIconHidden();
    if (message == WM_TIMER && wParam == kTrayTimer) refresh();
    return DefWindowProcW(window, message, wParam, lParam);
}

void fillRecord(const TrayInfo& info, bool balloons) noexcept {
    record = NOTIFYICONDATAW{};
    record.cbSize = balloons ? kBalloonRecordSize : sizeof(NOTIFYICONDATAW);
    record.hWnd = trayWindow;
    record.uID = kIconId;
    record.uCallbackMessage = trayMessage;
    record.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    record.uFlags = NIF_MESSAGE | NIF_ICON;
    if (!info.tooltip.empty()) {
        record.uFlags |= NIF_TIP;
        copyField(record.szTip, std::size(record.szTip), info.tooltip);
    }
}

} // namespace

bool createTrayIcon() noexcept {
    if (trayWindow) return true;
    const bool balloons = shellMajorVersion() >= 5;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = trayWindowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kTrayWindowClass;
    if (!RegisterClassW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    // Top level and never shown: "TaskbarCreated" is broadcast to top-level windows only.
    trayWindow = CreateWindowExW(0, kTrayWindowClass, L"", WS_MINIMIZE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!trayWindow) return false;
    SetTimer(trayWindow, kTrayTimer, kRefreshPeriodMs, nullptr);
    trayMessage = RegisterWindowMessageW(kTrayMessageName);
    taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");

    const TrayInfo info = taskGetInfo();
    taskSetBalloonSupported(balloons);
    {
        const std::lock_guard<SlimLock> hold(recordLock);
        fillRecord(info, balloons);
        iconHidden = true;
        recordReady = true;
    }
    refresh();
    taskInit(launchContext().serviceSubMode == kSubModeCompanion);

    if (balloons) {
        pollerStop.store(false, std::memory_order_release);
        pollerWake.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (pollerWake) pollerThread.reset(CreateThread(nullptr, 0, balloonPoller, nullptr, 0, nullptr));
    }
    return true;
}

void destroyTrayIcon() noexcept {
    if (!trayWindow) return;
    stopBalloonPoller();
    removeTrayIconNow();
    KillTimer(trayWindow, kTrayTimer);
    DestroyWindow(trayWindow);
    trayWindow = nullptr;
}

void removeTrayIconNow() noexcept {
    const std::lock_guard<SlimLock> hold(recordLock);
    if (!recordReady) return;
    if (!iconHidden) (void)shellCall(NIM_DELETE);
    // Nothing may show it again: this is the end of the icon.
    iconHidden = true;
    recordReady = false;
}

void markIconHidden() {
    const std::lock_guard<SlimLock> hold(recordLock);
    iconHidden = true;
}

} // namespace tavrelo
