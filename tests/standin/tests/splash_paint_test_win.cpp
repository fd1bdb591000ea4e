// The frame painter the splash shares with the screen saver, in this process against the
// stand-in runtime: a frame rendered on the first paint, copied whole, or with a transparent
// colour through which the window's own pixels stay.
#include "desktop/splash.h"
#include "launcher/java_runtime.h"
#include "runtime_support.h"

namespace tavrelo::standin::test {
namespace {

constexpr COLORREF kWindowColour = RGB(200, 0, 200);

struct Painting {
    FrameScene scene;
    SharedFrame frame;
    long transparent = -1;
} painting;

LRESULT CALLBACK paintProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    paintFrame(window, window, false, painting.scene, painting.frame, painting.transparent);
    return 0;
}

// The window's pixel once it has painted itself with a fresh frame.
COLORREF paintedPixel(HWND window, long transparent, int x, int y) {
    painting.transparent = transparent;
    {
        const std::lock_guard<SlimLock> guard(painting.frame.lock);
        painting.frame.pixels.release();
    }
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    HDC dc = GetDC(window);
    const COLORREF pixel = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return pixel;
}

TEST(SplashPaintOnStandin, FrameRenderedOnPaintKeepsTheWindowWhereItHasTheTransparentColour) {
    LoadedRuntime rt(R"(
class demo.App
  method sphPaint (Ljava/awt/Graphics2D;II)V
    fill 0 0 20 10 FF00FF00
)");
    ASSERT_EQ(rt.start(), JNI_OK);
    javaRuntime().vm.store(rt.vm);
    FeatureInterface record{3, nullptr};
    ASSERT_EQ(bindMethod(record, "demo.App", kSphPaint, "sphPaint", "(Ljava/awt/Graphics2D;II)V"), 1);
    painting.scene.methods = &record;
    painting.scene.paintSlot = kSphPaint;

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = paintProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = CreateSolidBrush(kWindowColour);
    windowClass.lpszClassName = L"Tavrelo test frames";
    ASSERT_NE(RegisterClassW(&windowClass), 0);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 10, 10, 60,
                                  40, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);

    // The frame's unpainted part is transparent black: copied whole it is black, with black as
    // the transparent colour the window's own colour stays there. The painting shows in both.
    EXPECT_EQ(paintedPixel(window, -1, 5, 5), RGB(0, 255, 0));
    EXPECT_EQ(paintedPixel(window, -1, 40, 30), RGB(0, 0, 0));
    EXPECT_EQ(paintedPixel(window, 0, 5, 5), RGB(0, 255, 0));
    EXPECT_EQ(paintedPixel(window, 0, 40, 30), kWindowColour);
    EXPECT_EQ(painting.frame.pixels.width(), 60); // rendered on the paint, at the client's size
    painting.frame.pixels.release();
    DestroyWindow(window);
    painting.scene.methods = nullptr;
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << rt.log().text();
    javaRuntime().vm.store(nullptr);
}

} // namespace
} // namespace tavrelo::standin::test
