// The splash screen of the real launchers against the stand-in runtime: the image written into
// a launcher copy as a user's resource tool would, the window read back from the screen, its
// close by each rule, and the starts that show none.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "demo_app.h"
#include "harness/box_driver.h"
#include "platform/os.h"
#include "resources/resource_writer.h"
#include "resources/resources.h"
#include "test_process.h"
#include "test_support.h"

namespace tavrelo::standin::test {
namespace {

using tavrelo::test::waitUntil;

constexpr int kWidth = 120;
constexpr int kHeight = 80;
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kImage = RGB(0xC0, 0x80, 0x40);
constexpr COLORREF kDone = RGB(0x30, 0x60, 0xC0); // the stand-in bar's done part
constexpr COLORREF kGreen = RGB(0, 255, 0);

// A 24-bit BMP of the image's size, rows from the top: red at (0, 0), one colour elsewhere.
std::string splashBmp() {
    const std::uint32_t header[] = {0, 0, 54, 40, kWidth, static_cast<std::uint32_t>(-kHeight), 1 | 24 << 16, 0, 0,
                                    0, 0, 0, 0};
    std::string b = "BM" + std::string(reinterpret_cast<const char*>(header), 52);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const COLORREF c = x == 0 && y == 0 ? kRed : kImage;
            b += {static_cast<char>(GetBValue(c)), static_cast<char>(GetGValue(c)), static_cast<char>(GetRValue(c))};
        }
    return b;
}

// Started at once, with the image written into the launcher's resources unless there is none.
struct SplashApp : DemoApp {
    SplashApp(std::string_view scenario, TextView deliverable = u"Tavrelo_console.exe",
              std::optional<std::string> image = splashBmp())
        : DemoApp(scenario, deliverable) {
        if (image) {
            ResourceUpdate update(launcher);
            EXPECT_TRUE(update.put(kBinResource, kBinSplashImage, *image) && update.commit());
        }
        start();
    }
    // The process's splash window, once it shows (null after the time limit).
    HWND window(unsigned timeoutMs = 20000) const { return DemoApp::window(L"Tavrelo WinSPH", timeoutMs); }
};

// The log line of the first (or last) event of a kind about a method.
std::size_t lineOf(const CallLog& log, std::string_view kind, std::string_view method, bool last = false) {
    std::size_t found = SIZE_MAX;
    for (std::size_t i = 0; i < log.lines().size(); ++i)
        if (log.lines()[i].kind == kind && log.lines()[i].details.find(method) != std::string::npos) {
            found = i;
            if (!last) break;
        }
    return found;
}

TEST(SplashEndToEnd, CentredImageWithPaintingAndBarClosesAtTheBarsMaximum) {
    SplashApp app(R"(
class demo.App
  method main ([Ljava/lang/String;)V
    await sphFinish 30000
  method sphInit ()V
  method sphGetProgressBarInfo ()[Ljava/lang/String;
    return ["10" "-1" "-1" "-1" "5"]
  method sphPaint (Ljava/awt/Graphics2D;II)V
    fill 20 4 8 8 FF00FF00
  method sphFinish ()V
)");
    const HWND window = app.window();
    ASSERT_NE(window, nullptr) << app.log().text();
    const DWORD shown = GetTickCount();
    RECT desktop{}, frame{};
    GetClientRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &frame);
    EXPECT_EQ(frame.left, (desktop.right - kWidth) / 2);
    EXPECT_EQ(frame.top, (desktop.bottom - kHeight) / 2);
    EXPECT_EQ(frame.right - frame.left, kWidth);
    EXPECT_EQ(frame.bottom - frame.top, kHeight);

    // A few ticks: the bar has advanced, the frame holds the image, the painting and the bar.
    ASSERT_TRUE(waitUntil([&] { return app.calls("sphPaint(") >= 2; }, 10000)) << app.log().text();
    Sleep(300);
    const std::vector<unsigned long> screen = screenPixels(frame.left, frame.top, kWidth, kHeight);
    // At client (x, y), inside the one-pixel border.
    const auto at = [&](int x, int y) { return screen.at(static_cast<std::size_t>((y + 1) * kWidth + x + 1)); };
    EXPECT_EQ(at(-1, 10), GetSysColor(COLOR_WINDOWFRAME));
    EXPECT_EQ(at(0, 0), kRed);
    EXPECT_EQ(at(1, 0), kImage);
    EXPECT_EQ(at(22, 6), kGreen);
    // The bar from x 10, its top 21 rows above the image's bottom; done at its left. Its last row
    // lies under the border: the frame is the image less the border.
    EXPECT_EQ(at(9, kHeight - 10), kImage);
    EXPECT_EQ(at(10, kHeight - 10), kDone);
    EXPECT_EQ(at(11, kHeight - 21), kDone);
    EXPECT_EQ(at(11, kHeight - 22), kImage);
    EXPECT_EQ(at(11, kHeight - 3), kDone);
    EXPECT_EQ(at(11, kHeight - 2), GetSysColor(COLOR_WINDOWFRAME));

    // Five frames reach the maximum: the window goes, then sphFinish lets main end.
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(window); }, 10000));
    EXPECT_LT(GetTickCount() - shown, 9000u);
    const ProcessResult result = app.finish();
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    const CallLog log = app.log();
    EXPECT_EQ(log.find("call", "demo.App.sphPaint(").size(), 5u) << log.text();
    EXPECT_LT(lineOf(log, "call", "App.sphInit("), lineOf(log, "call", "App.sphPaint("));
    EXPECT_LT(lineOf(log, "return", "App.sphPaint(", true), lineOf(log, "call", "App.sphFinish("));
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
}


TEST(SplashEndToEnd, ClosesAfterTheLastSlowPaintAndByTheThreeSecondRule) {
    // A painter slower than the tick while the window is invalidated as fast as the test can.
    SplashApp stressed(R"(
class demo.App
  method main ([Ljava/lang/String;)V
    await sphFinish 30000
  method isCloseSplash ()Z
    return sequence false false false true
  method sphGetTickCount ()I
    return 300
  method sphPaint (Ljava/awt/Graphics2D;II)V
    sleep 700
  method sphFinish ()V
)");
    // No methods at all, in the window build.
    SplashApp bare(R"(
class demo.App
  method main ([Ljava/lang/String;)V
    sleep 10000
)", u"Tavrelo.exe");
    const HWND window = stressed.window();
    const HWND plain = bare.window();
    ASSERT_NE(window, nullptr) << stressed.log().text();
    ASSERT_NE(plain, nullptr) << bare.log().text();
    const DWORD shown = GetTickCount();
    DWORD plainGone = 0, stressedFor = 0;
    // Pointer moves over the splash are messages too: liveness is not tested for each of them.
    while (IsWindow(window) || (IsWindow(plain) && GetTickCount() - shown < 15000)) {
        InvalidateRect(window, nullptr, FALSE);
        PostMessageW(window, WM_MOUSEMOVE, 0, 0);
        if (IsWindow(window)) stressedFor = GetTickCount() - shown;
        if (!plainGone && !IsWindow(plain)) plainGone = GetTickCount();
        Sleep(1);
    }
    if (!plainGone) plainGone = GetTickCount();
    EXPECT_GE(plainGone - shown, 3000u);
    EXPECT_LE(plainGone - shown, 8000u);

    const ProcessResult result = stressed.finish();
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    const CallLog log = stressed.log();
    EXPECT_GE(log.find("call", "demo.App.sphPaint(").size(), 1u) << log.text();
    EXPECT_LT(lineOf(log, "return", "App.sphPaint(", true), lineOf(log, "call", "App.sphFinish(")) << log.text();
    EXPECT_EQ(log.find("call", "demo.App.sphPaint(").size(), log.find("return", "sphPaint").size()) << log.text();
    EXPECT_LE(log.find("call", "java.lang.Thread.enumerate(").size(), stressedFor / 1000 + 2);
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
    const ProcessResult bareResult = bare.finish();
    EXPECT_EQ(bareResult.exitCode, 1u);
    EXPECT_EQ(bare.log().errors(), std::vector<std::string>{}) << bare.log().text();
}

TEST(SplashEndToEnd, NoSplashWithoutAReadableImageAndNoneBeyondTheApplication) {
    constexpr char kWatched[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    sleep 3000
  method sphInit ()V
  method isCloseSplash ()Z
    return false
  method isOneInstance ([Ljava/lang/String;)Z
    return true
)";
    SplashApp none(kWatched, u"Tavrelo_console.exe", std::nullopt);
    SplashApp corrupt(kWatched, u"Tavrelo.exe", std::string("BM not an image at all"));
    // The application ends while its splash is up: the window goes with it.
    SplashApp early(kWatched);
    const HWND window = early.window();
    ASSERT_NE(window, nullptr) << early.log().text();
    for (SplashApp* app : {&none, &corrupt}) {
        EXPECT_TRUE(waitUntil([&] { return app->calls("demo.App.main(") == 1; }, 20000)) << app->log().text();
        EXPECT_EQ(app->window(300), nullptr);
    }
    // A start handed over to the running instance shows no splash of its own.
    EXPECT_TRUE(waitUntil([&] { return early.calls("demo.App.main(") == 1; }, 20000));
    EXPECT_EQ(runProcess(early.launcher, u"", early.dir.path(), 30000).exitCode, 0u);
    EXPECT_EQ(early.calls("demo.App.isOneInstance("), 1u) << early.log().text();
    EXPECT_EQ(early.calls("javax.imageio.ImageIO.read"), 1u) << early.log().text();
    const ProcessResult earlyResult = early.finish();
    EXPECT_EQ(earlyResult.exitCode, 1u);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(early.log().has("destroy-wait")) << early.log().text();
    // The splash closed before the VM's end: none of the launcher's threads is still attached.
    const CallLog earlyLog = early.log();
    int attached = 0;
    for (const LogLine& line : earlyLog.lines()) {
        if (line.kind == "destroy") break;
        if (line.pid == earlyLog.lines().front().pid && line.thread == "Tavrelo native thread")
            attached += line.kind == "attach" ? 1 : line.kind == "detach" ? -1 : 0;
    }
    EXPECT_EQ(attached, 0) << earlyLog.text();
    EXPECT_EQ(early.log().errors(), std::vector<std::string>{}) << early.log().text();

    for (SplashApp* app : {&none, &corrupt}) {
        const ProcessResult result = app->finish();
        EXPECT_EQ(result.exitCode, 1u);
        const CallLog log = app->log();
        EXPECT_FALSE(log.has("call", "demo.App.sph")) << log.text();
        EXPECT_FALSE(log.has("call", "demo.App.isCloseSplash")) << log.text();
        EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
    }
    // The image went through a temporary file, which is gone.
    EXPECT_TRUE(corrupt.log().has("call", "javax.imageio.ImageIO.read")) << corrupt.log().text();
    const Text data = os::tempDirectory() + u"Demo__" + fromInt(corrupt.log().lines().front().pid) + u".data";
    EXPECT_FALSE(os::pathExists(data)) << toUtf8(data);
}

} // namespace
} // namespace tavrelo::standin::test
