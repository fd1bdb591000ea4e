// The splash screen of the real launchers against the stand-in runtime: the image written into
// a launcher copy as a user's resource tool would, the window read back from the screen, its
// close by each rule, and the starts that show none.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <thread>

#include "harness/process.h"
#include "harness/standin.h"
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

// A 24-bit BMP of the image's size: red at (0, 0), one colour elsewhere.
std::string splashBmp() {
    const int stride = (kWidth * 3 + 3) & ~3;
    std::string b(54 + stride * kHeight, '\0');
    auto le = [&](std::size_t at, unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    b[0] = 'B', b[1] = 'M';
    le(2, static_cast<unsigned>(b.size()), 4), le(10, 54, 4), le(14, 40, 4), le(18, kWidth, 4);
    le(22, kHeight, 4), le(26, 1, 2), le(28, 24, 2);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const COLORREF c = x == 0 && y == 0 ? kRed : kImage;
            const std::size_t p = 54 + static_cast<std::size_t>((kHeight - 1 - y) * stride + x * 3);
            b[p] = static_cast<char>(GetBValue(c)), b[p + 1] = static_cast<char>(GetGValue(c));
            b[p + 2] = static_cast<char>(GetRValue(c));
        }
    return b;
}

// The whole screen as the user sees it.
struct Screen {
    Screen() {
        width = GetSystemMetrics(SM_CXSCREEN);
        height = GetSystemMetrics(SM_CYSCREEN);
        pixels.resize(static_cast<std::size_t>(width) * height);
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        GdiFlush();
        std::memcpy(pixels.data(), bits, pixels.size() * 4);
        SelectObject(memory, old);
        DeleteObject(dib);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
    COLORREF at(int x, int y) const {
        const DWORD p = pixels.at(static_cast<std::size_t>(y) * width + x);
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int width = 0, height = 0;
    std::vector<DWORD> pixels;
};

struct SplashApp {
    SplashApp(std::string_view scenario, TextView deliverable = u"Tavrelo_console.exe",
              std::optional<std::string> image = splashBmp()) {
        EXPECT_TRUE(installJre(dir / u"jre", "jre"));
        EXPECT_TRUE(writeScenario(dir / u"jre", scenario));
        EXPECT_TRUE(os::writeFile(dir / u"Demo.properties", "MainClass=demo.App\r\n"));
        launcher = dir / (deliverable == u"Tavrelo.exe" ? u"Demo.exe" : u"Demo_console.exe");
        EXPECT_TRUE(installLauncher(launcher, deliverable));
        if (image) {
            ResourceUpdate update(launcher);
            EXPECT_TRUE(update.put(kBinResource, kBinSplashImage, *image) && update.commit());
        }
        run = std::thread([this] { result = runProcess(launcher, u"", dir.path(), 60000); });
    }
    ~SplashApp() {
        if (run.joinable()) run.join();
    }
    ProcessResult finish() {
        run.join();
        return result;
    }
    CallLog log() const { return CallLog::read(dir / u"jre"); }
    std::size_t calls(std::string_view part) const { return log().find("call", part).size(); }

    // The process's splash window, once it shows (null after the time limit).
    HWND window(unsigned timeoutMs = 20000) const {
        HWND found = nullptr;
        waitUntil(
            [&] {
                const CallLog now = log();
                if (now.lines().empty()) return false;
                for (HWND w = FindWindowExW(nullptr, nullptr, L"Tavrelo WinSPH", nullptr); w;
                     w = FindWindowExW(nullptr, w, L"Tavrelo WinSPH", nullptr)) {
                    DWORD pid = 0;
                    GetWindowThreadProcessId(w, &pid);
                    if (pid == now.lines().front().pid) found = w;
                }
                return found != nullptr;
            },
            timeoutMs);
        return found;
    }

    tavrelo::test::TempDir dir;
    Text launcher;
    std::thread run;
    ProcessResult result;
};

// The line numbers of the first and last calls whose details hold `part`.
std::pair<std::size_t, std::size_t> span(const CallLog& log, std::string_view part) {
    std::size_t first = SIZE_MAX, last = 0;
    for (std::size_t i = 0; i < log.lines().size(); ++i)
        if (log.lines()[i].kind == "call" && log.lines()[i].details.find(part) != std::string::npos) {
            first = std::min(first, i);
            last = i;
        }
    return {first, last};
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
    const Screen screen;
    const int x = frame.left + 1, y = frame.top + 1; // the client area, inside the border
    EXPECT_EQ(screen.at(frame.left, y + 10), GetSysColor(COLOR_WINDOWFRAME));
    EXPECT_EQ(screen.at(x, y), kRed);
    EXPECT_EQ(screen.at(x + 1, y), kImage);
    EXPECT_EQ(screen.at(x + 22, y + 6), kGreen);
    // The bar from x 10, its top 21 rows above the image's bottom; done at its left.
    EXPECT_EQ(screen.at(x + 9, y + kHeight - 10), kImage);
    EXPECT_EQ(screen.at(x + 10, y + kHeight - 10), kDone);
    EXPECT_EQ(screen.at(x + 11, y + kHeight - 21), kDone);
    EXPECT_EQ(screen.at(x + 11, y + kHeight - 22), kImage);
    // Its last row lies under the border: the frame is the image less the border.
    EXPECT_EQ(screen.at(x + 11, y + kHeight - 3), kDone);
    EXPECT_EQ(screen.at(x + 11, y + kHeight - 2), GetSysColor(COLOR_WINDOWFRAME));

    // Five frames reach the maximum: the window goes, then sphFinish lets main end.
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(window); }, 10000));
    EXPECT_LT(GetTickCount() - shown, 9000u);
    const ProcessResult result = app.finish();
    EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
    const CallLog log = app.log();
    EXPECT_EQ(log.find("call", "demo.App.sphPaint(").size(), 5u) << log.text();
    EXPECT_LT(span(log, "demo.App.sphInit(").first, span(log, "demo.App.sphPaint(").first);
    EXPECT_LT(span(log, "demo.App.sphPaint(").second, span(log, "demo.App.sphFinish(").first);
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
    DWORD plainGone = 0;
    while (IsWindow(window) || (IsWindow(plain) && GetTickCount() - shown < 15000)) {
        InvalidateRect(window, nullptr, FALSE);
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
    std::size_t lastPaintReturn = 0;
    for (std::size_t i = 0; i < log.lines().size(); ++i)
        if (log.lines()[i].kind == "return" && log.lines()[i].details.find("sphPaint") != std::string::npos)
            lastPaintReturn = i;
    EXPECT_LT(lastPaintReturn, span(log, "demo.App.sphFinish(").first) << log.text();
    EXPECT_EQ(log.find("call", "demo.App.sphPaint(").size(), log.find("return", "sphPaint").size()) << log.text();
    EXPECT_EQ(log.errors(), std::vector<std::string>{}) << log.text();
    const ProcessResult bareResult = bare.finish();
    EXPECT_EQ(bareResult.exitCode, 1u);
    EXPECT_EQ(bare.log().errors(), std::vector<std::string>{}) << bare.log().text();
}

TEST(SplashEndToEnd, NoSplashWithoutAReadableImageAndNoneBeyondTheApplication) {
    constexpr char kWatched[] = R"(
class demo.App
  method main ([Ljava/lang/String;)V
    print "main ran"
    sleep 1500
  method sphInit ()V
  method isCloseSplash ()Z
    return false
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
    const ProcessResult earlyResult = early.finish();
    EXPECT_EQ(earlyResult.exitCode, 1u);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(early.log().has("destroy-wait")) << early.log().text();
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
    bool left = false;
    (void)os::listDirectory(
        os::tempDirectory(),
        [](TextView name, bool, void* found) {
            if (name.starts_with(u"Demo__") && name.ends_with(u".data")) *static_cast<bool*>(found) = true;
            return true;
        },
        &left);
    EXPECT_FALSE(left);
}

} // namespace
} // namespace tavrelo::standin::test
