// The screen-saver build end to end: Demo.scr beside the application, run full screen under the
// test's X server; the test reads the screen, sends the window input and reads the call log.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "demo_app.h"
#include "harness/box_driver.h"
#include "platform/messages.h"
#include "platform/win_text.h"
#include "test_language.h"
#include "test_process.h"

namespace tavrelo::standin::test {
namespace {

constexpr char kPainter[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
  method scrsvPaint (Ljava/awt/Graphics2D;II)V
    fill 10 10 40 30 FF00FF00
  method scrsvFinish ()V
)";
constexpr COLORREF kFill = RGB(0x00, 0xFF, 0x00);
constexpr COLORREF kCapture = RGB(0x33, 0x66, 0x99); // what the stand-in's Robot captures

// What a fresh process reads of the screen-saver switch.
int screenSaverActive() {
    return static_cast<int>(runProcess(helperProgram(u"standin_saver_probe.exe"), u"", standinDirectory()).exitCode);
}

// Demo.scr /s started over the scenario; its window once it has painted.
struct FullScreenRun {
    explicit FullScreenRun(const std::string& scenario) : app(scenario) {
        EXPECT_TRUE(installLauncher(app.dir / u"Demo.scr", u"Tavrelo.scr"));
        app.launcher = app.dir / u"Demo.scr";
        app.start(u"/s");
        window = app.window(L"Tavrelo WinSCR");
        EXPECT_TRUE(tavrelo::test::waitUntil([&] { return app.calls("scrsvPaint") > 0; }, 20000)) << app.log().text();
        Sleep(400); // the blit follows the first frame
    }
    COLORREF pixel(int x, int y) const { return screenPixels(x, y, 1, 1).at(0); }
    void move(int x, int y) const { PostMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
    bool stillRunning() const {
        Sleep(600);
        return IsWindow(window) && app.calls("scrsvFinish") == 0;
    }
    DemoApp app;
    HWND window = nullptr;
};

TEST(ScreenSaverEndToEnd, CapturedScreenFramesAndInputThatOnlyTheMouseEnds) {
    FullScreenRun run(std::string(kPainter) + R"(
  method scrsvGetInfo ()[Ljava/lang/String;
    return ["Demo" "TRUE" "0" "50"]
  method scrsvIsExitByMouse (IIIIZ)Z
    return true
)");
    ASSERT_TRUE(run.window);
    EXPECT_EQ(run.pixel(15, 15), kFill);
    EXPECT_EQ(run.pixel(300, 200), kCapture);

    // A 50 ms period counts as 100 ms: at most one frame in each.
    const std::size_t before = run.app.calls("scrsvPaint");
    Sleep(1000);
    const std::size_t frames = run.app.calls("scrsvPaint") - before;
    EXPECT_GE(frames, 1u);
    EXPECT_LE(frames, 12u);

    PostMessageW(run.window, WM_KEYDOWN, 'A', 0);
    PostMessageW(run.window, WM_KEYUP, 'A', 0);
    SendMessageW(run.window, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    SendMessageW(run.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(run.stillRunning()) << run.app.log().text();

    POINT at{};
    GetCursorPos(&at);
    run.move(at.x, at.y); // the first position, or the one the system reported already
    run.move(at.x + 9, at.y + 4);
    const ProcessResult ended = run.app.finish();
    EXPECT_EQ(ended.exitCode, 0u);
    const CallLog log = run.app.log();
    EXPECT_TRUE(log.has("call", "scrsvIsExitByMouse(IIIIZ)Z (" + std::to_string(at.x + 9) + ", " +
                                    std::to_string(at.y + 4) + ", 0, 0, true)"))
        << log.text();
    EXPECT_EQ(run.app.calls("scrsvFinish"), 1u);
    EXPECT_TRUE(log.has("exit", "0"));
    EXPECT_EQ(log.errors(), std::vector<std::string>{});
}

TEST(ScreenSaverEndToEnd, BlackBackgroundMovesAndTheUsersSwitchLeftAsItWas) {
    const int original = screenSaverActive();
    SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    ASSERT_EQ(screenSaverActive(), 0);
    {
        FullScreenRun run(kPainter);
        ASSERT_TRUE(run.window);
        EXPECT_EQ(run.pixel(15, 15), kFill);
        EXPECT_EQ(run.pixel(300, 200), RGB(0, 0, 0));
        const std::size_t before = run.app.calls("scrsvPaint");
        Sleep(2000);
        EXPECT_LE(run.app.calls("scrsvPaint") - before, 3u); // the default period: a second

        // Without exit methods any input ends it, but a move only once the pointer really moved.
        POINT at{};
        GetCursorPos(&at);
        run.move(at.x, at.y);
        run.move(at.x, at.y);
        EXPECT_TRUE(run.stillRunning()) << run.app.log().text();
        run.move(at.x + 1, at.y);
        EXPECT_EQ(run.app.finish().exitCode, 0u);
        EXPECT_EQ(run.app.calls("scrsvFinish"), 1u) << run.app.log().text();
    }
    EXPECT_EQ(screenSaverActive(), 0);
    SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, original == 1, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
}

TEST(ScreenSaverEndToEnd, AnApplicationEndingWhileItKeepsTheSaverOffGivesItBack) {
    const int original = screenSaverActive();
    SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
    DemoApp app(R"(
class demo.App
  method main ([Ljava/lang/String;)V
    invoke systemSetRequiredState true false false
    sleep 300
    exit 3
  native systemSetRequiredState (ZZZ)I
)");
    EXPECT_EQ(app.run().exitCode, 3u);
    EXPECT_EQ(screenSaverActive(), 1) << app.log().text();
    SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, original == 1, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
}

// Waits for the condition while this thread answers the messages a preview sends its parent.
template <class Condition> bool pumpUntil(Condition condition, DWORD timeoutMs) {
    for (const ULONGLONG start = GetTickCount64(); GetTickCount64() - start < timeoutMs; Sleep(20)) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        if (condition()) return true;
    }
    return false;
}

TEST(ScreenSaverEndToEnd, PreviewsTakeTurnsInTheirWindowAndLeaveItToAnother) {
    DemoApp app(std::string(kPainter) + R"(
  method scrsvIsCreate ()Z
    return false
)");
    ASSERT_TRUE(installLauncher(app.dir / u"Demo.scr", u"Tavrelo.scr"));
    app.launcher = app.dir / u"Demo.scr";
    const HWND parent = CreateWindowExW(0, L"STATIC", L"preview", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                        nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(parent);
    const std::string handle = std::to_string(reinterpret_cast<std::uintptr_t>(parent));
    app.start(u"/p " + fromUtf8(handle));
    EXPECT_TRUE(pumpUntil([&] { return FindWindowExW(parent, nullptr, L"Tavrelo WinSCR", nullptr) != nullptr; }, 20000));
    EXPECT_TRUE(pumpUntil([&] { return app.log().has("call", ", 1280, 1024)"); }, 20000)) << app.log().text();

    ProcessResult second;
    std::thread next([&] { second = runProcess(app.launcher, u"/p:" + fromUtf8(handle), app.dir.path(), 60000); });
    EXPECT_TRUE(pumpUntil([&] { return app.calls("scrsvFinish") == 1; }, 20000)) << app.log().text();
    EXPECT_EQ(app.finish().exitCode, 0u);
    const unsigned long first = app.log().find("call", "scrsvFinish").at(0).pid;
    // The second preview paints only once the first has gone.
    EXPECT_TRUE(pumpUntil([&] { return app.log().find("call", "scrsvPaint").back().pid != first; }, 20000));
    const std::vector<LogLine> lines = app.log().lines();
    std::size_t firstExit = lines.size(), secondPaint = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == "exit" && lines[i].pid == first) firstExit = std::min(firstExit, i);
        if (lines[i].pid != first && lines[i].details.find("scrsvPaint") != std::string::npos)
            secondPaint = std::min(secondPaint, i);
    }
    EXPECT_LT(firstExit, secondPaint) << app.log().text();

    // A window of the dialog's own ends the preview as well.
    const ULONGLONG added = GetTickCount64();
    CreateWindowExW(0, L"STATIC", L"other", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
    EXPECT_TRUE(pumpUntil([&] { return app.calls("scrsvFinish") == 2; }, 20000));
    EXPECT_LT(GetTickCount64() - added, 2500u);
    next.join();
    EXPECT_EQ(second.exitCode, 0u);
    DestroyWindow(parent);
}

TEST(ScreenSaverEndToEnd, WithoutAPainterItSaysSoAndEnds) {
    tavrelo::test::ScopedLanguage english(false);
    DemoApp app(R"(
class demo.App
  method main ([Ljava/lang/String;)V
  method scrsvFinish ()V
)");
    ASSERT_TRUE(installLauncher(app.dir / u"Demo.scr", u"Tavrelo.scr"));
    BoxDriver driver({kIdOk});
    const ProcessResult r = runProcess(app.dir / u"Demo.scr", u"/S", app.dir.path(), 60000, &driver);
    EXPECT_EQ(r.exitCode, 0u);
    const auto boxes = driver.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"ScreenSaver");
    EXPECT_EQ(boxes[0].text, buildMessage(30)->text);
    EXPECT_EQ(boxes[0].style(), kBoxWarning);
    EXPECT_EQ(app.calls("scrsvFinish"), 1u);
}

} // namespace
} // namespace tavrelo::standin::test
