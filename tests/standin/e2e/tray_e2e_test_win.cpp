// The console launcher's tray icon end to end against the stand-in runtime: the icon as the shell
// sees it, clicks and menus driven by the messages a user's actions would bring, and the icon's
// end with the application.
#include <windows.h>

#include <gtest/gtest.h>
#include <shellapi.h>

#include <thread>

#include "demo_app.h"
#include "platform/os.h"
#include "test_process.h"
#include "test_support.h"

namespace tavrelo::standin::test {
namespace {

using tavrelo::test::waitUntil;

// Left clicks take the default item (a new id per ask), a right click shows the native menu:
// Open, and More with a submenu holding Deep. The icon is hidden for a while at the third
// refresh. A balloon click lets main end.
constexpr char kClickingApp[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    await taskDoBalloonAction 60000
  method taskGetInfo ()[Ljava/lang/String;
    return sequence ["Demo tip"] ["Demo tip" "2" "0" "1" "1"]
  method taskGetDefaultMenuID (Z)I
    return sequence 7 8 9
  method taskGetMenu (ZI)[[Ljava/lang/String;
    return sequence [["10" "Open"] ["20" "More"]] null [["21" "Deep"]] null
  method taskDoAction (ZI)V
  method taskIsShow ()Z
    return sequence true true false false true
  method taskInit (Z)V
  method taskSetBalloonSupported (Z)V
  method taskIsBalloonShow ()Z
    sleep 1500
    return true
  method taskGetBalloonInfo ()[Ljava/lang/String;
    return ["" "Hello" "2" "5"]
  method taskDoBalloonAction ()V
)";

// Every item asks for a submenu with the same six ids again; the application shows its own
// menu from the second click on; a balloon click ends it with System.exit.
constexpr char kSelfMenuApp[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    start Thread-0 60000
  method taskGetMenu (ZI)[[Ljava/lang/String;
    return [["1" "a"] ["2" "b"] ["3" "c"] ["4" "d"] ["5" "e"] ["6" "f"]]
  method taskDoAction (ZI)V
  method taskDisplayMenu (ZLjava/awt/Component;II)Z
    return sequence false true
  method taskDoBalloonAction ()V
    exit 4
)";

constexpr UINT kSingleLeftUp = WM_LBUTTONUP;

// Started at once; its windows are found by class in the launcher's process.
struct TrayApp : DemoApp {
    explicit TrayApp(std::string_view scenario) : DemoApp(scenario) { start(); }
};

// The shell holds an icon (window, id 1) exactly when a modification without changes succeeds.
bool iconShown(HWND trayWindow) {
    NOTIFYICONDATAW probe{};
    probe.cbSize = sizeof probe;
    probe.hWnd = trayWindow;
    probe.uID = 1;
    return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

void post(HWND trayWindow, UINT event) { PostMessageW(trayWindow, RegisterWindowMessageW(L"Tavrelo MsgTask"), 0, event); }

void press(HWND menu, UINT key) {
    PostMessageW(menu, WM_KEYDOWN, key, 0);
    Sleep(300);
}

TEST(TrayEndToEnd, IconFollowsTheApplicationAndClicksReachItsMethods) {
    TrayApp app(kClickingApp);
    const HWND tray = app.window(L"Tavrelo WinTask");
    ASSERT_NE(tray, nullptr) << app.log().text();
    // Balloons are offered, then the icon is added, then the application hears of it.
    ASSERT_TRUE(waitUntil([&] { return app.calls("taskInit(Z)V (false)") == 1; }, 5000)) << app.log().text();
    const CallLog start = app.log();
    const std::string& text = start.text();
    EXPECT_LT(text.find("taskSetBalloonSupported(Z)V (true)"), text.find("taskIsShow()Z"));
    EXPECT_LT(text.find("taskIsShow()Z"), text.find("taskInit(Z)V"));

    // Hidden at the third refresh, shown again at the fifth; then deleted behind the launcher's
    // back, a restarted shell's announcement brings it back.
    EXPECT_TRUE(waitUntil([&] { return !iconShown(tray); }, 8000));
    EXPECT_TRUE(waitUntil([&] { return iconShown(tray); }, 5000));
    NOTIFYICONDATAW gone{};
    gone.cbSize = sizeof gone;
    gone.hWnd = tray;
    gone.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &gone));
    PostMessageW(tray, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(waitUntil([&] { return iconShown(tray); }, 3000));

    // A single click acts once the double-click time has passed, with the actions read anew (at
    // the start the left click did nothing).
    const DWORD clicked = GetTickCount();
    post(tray, kSingleLeftUp);
    EXPECT_TRUE(waitUntil([&] { return app.calls("taskDoAction(ZI)V (false, 7)") == 1; }, 5000)) << app.log().text();
    EXPECT_GE(GetTickCount() - clicked, GetDoubleClickTime() - 50);
    // Up, double click, up: the double-click action once, the pending single click dropped.
    post(tray, WM_LBUTTONUP);
    post(tray, WM_LBUTTONDBLCLK);
    post(tray, WM_LBUTTONUP);
    EXPECT_TRUE(waitUntil([&] { return app.calls("taskDoAction(ZI)V (false, 8)") == 1; }, 5000)) << app.log().text();
    Sleep(GetDoubleClickTime() + 500);
    EXPECT_EQ(app.calls("taskDoAction(ZI)V (false, 9)"), 0u) << app.log().text();

    // Right click: the native menu; Down, Down, Right opens More's submenu, Enter takes Deep.
    post(tray, WM_RBUTTONUP);
    const HWND menu = app.window(L"#32768");
    ASSERT_NE(menu, nullptr);
    // The keys reach the menu loop through the thread's queue, whichever menu window takes them.
    for (const UINT key : {VK_DOWN, VK_DOWN, VK_RIGHT, VK_RETURN}) press(menu, key);
    EXPECT_TRUE(waitUntil([&] { return app.calls("taskDoAction(ZI)V (true, 21)") == 1; }, 5000)) << app.log().text();
    EXPECT_EQ(app.calls("taskGetMenu(ZI)[[Ljava/lang/String; (true, 21)"), 1u);

    // A real click on the icon, in the first slot of the tray window wine shows without a desktop
    // tray of its own.
    const HWND wineTray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    RECT shelf{};
    ASSERT_TRUE(wineTray && GetClientRect(wineTray, &shelf)) << "wine shows no tray window";
    POINT slot{shelf.bottom / 2, shelf.bottom / 2};
    ClientToScreen(wineTray, &slot);
    SetCursorPos(slot.x, slot.y);
    INPUT click[2]{};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, click, sizeof(INPUT));
    EXPECT_TRUE(waitUntil([&] { return app.calls("taskDoAction(ZI)V (false, 9)") == 1; }, 5000)) << app.log().text();

    // The balloon click lets main end while the poller waits in taskIsBalloonShow: the call
    // returns and the VM's end waits for nobody. (Wine drops the icons of a window that is gone,
    // so the icon's removal at the end cannot be seen from here.)
    post(tray, 0x405);
    const ProcessResult result = app.finish();
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    const CallLog log = app.log();
    EXPECT_EQ(log.find("call", "taskIsBalloonShow()Z").size(), log.find("return", "taskIsBalloonShow()Z").size())
        << log.text();
    EXPECT_TRUE(log.has("call", "taskGetBalloonInfo()")) << log.text();
    EXPECT_FALSE(log.has("destroy-wait")) << log.text();
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

TEST(TrayEndToEnd, MenusStayBoundedAndTheApplicationsOwnMenuReplacesThem) {
    TrayApp app(kSelfMenuApp);
    const HWND tray = app.window(L"Tavrelo WinTask");
    ASSERT_NE(tray, nullptr) << app.log().text();
    EXPECT_TRUE(waitUntil([&] { return iconShown(tray); }, 3000));
    // Pointer moves over the icon come as a stream of messages: liveness is not tested per message.
    const std::size_t enumerated = app.calls("java.lang.Thread.enumerate(");
    const DWORD moving = GetTickCount();
    for (int move = 0; move < 200; ++move, Sleep(4)) post(tray, WM_MOUSEMOVE);
    // One listing of the threads a second at most (the tick count adds one for a second begun).
    EXPECT_LE(app.calls("java.lang.Thread.enumerate(") - enumerated, (GetTickCount() - moving) / 1000 + 2);
    // main has returned: the icon lives on with the application's "Thread-" thread.
    post(tray, WM_RBUTTONUP);
    const HWND menu = app.window(L"#32768");
    ASSERT_NE(menu, nullptr) << app.log().text();
    press(menu, VK_ESCAPE);
    EXPECT_TRUE(waitUntil([&] { return app.calls("taskDoAction(ZI)V (true, 0)") == 1; }, 5000)) << app.log().text();
    EXPECT_LE(app.calls("taskGetMenu("), 256u);
    EXPECT_GE(app.calls("taskGetMenu("), 16u);
    // From now on the application shows its own menu over the one dialog it is handed.
    for (int click = 0; click < 2; ++click) post(tray, WM_RBUTTONUP);
    EXPECT_TRUE(waitUntil([&] { return app.calls("taskDisplayMenu(") == 3; }, 8000)) << app.log().text();
    EXPECT_EQ(FindWindowExW(nullptr, nullptr, L"#32768", nullptr), nullptr);
    EXPECT_EQ(app.calls("taskDoAction("), 1u);

    post(tray, 0x405);
    const ProcessResult result = app.finish();
    EXPECT_EQ(result.exitCode, 4u) << result.out << result.err;
    const CallLog log = app.log();
    EXPECT_EQ(log.find("call", "javax.swing.JDialog.<init>").size(), 1u) << log.text();
    EXPECT_EQ(log.find("call", ".toFront()").size(), 3u) << log.text();
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}

} // namespace
} // namespace tavrelo::standin::test
