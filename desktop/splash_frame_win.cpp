// Frames on Windows: their size, and their blit to a window's client area.
#include <windows.h>

#include "desktop/splash.h"
#include "platform/handles.h"
#include "platform/system.h"

namespace tavrelo {

namespace {

const FeatureInterface kNoMethods{};

using TransparentBltFunction = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, UINT);

// msimg32.dll is not one of the libraries the system always takes from its own directory, so
// it is loaded from there on first use rather than imported.
TransparentBltFunction transparentBlt() noexcept {
    static const auto function = reinterpret_cast<TransparentBltFunction>(
        reinterpret_cast<void (*)()>(loadFunction(u"msimg32.dll", "TransparentBlt")));
    return function;
}

void stretch(HDC dc, int width, int height, const ImagePixels& pixels) noexcept {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = pixels.width();
    info.bmiHeader.biHeight = -pixels.height(); // rows from the top, as Java gives them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, 0, 0, width, height, 0, 0, pixels.width(), pixels.height(), pixels.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
}

void blit(HDC dc, int width, int height, const ImagePixels& pixels, long transparentColour) noexcept {
    if (transparentColour < 0) return stretch(dc, width, height, pixels);
    const TransparentBltFunction transparent = transparentBlt();
    MemoryDc memory(CreateCompatibleDC(dc));
    GdiObject bitmap(CreateCompatibleBitmap(dc, width, height));
    if (!transparent || !memory || !bitmap) return;
    const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
    stretch(memory.get(), width, height, pixels);
    transparent(dc, 0, 0, width, height, memory.get(), 0, 0, width, height, static_cast<UINT>(transparentColour));
    SelectObject(memory.get(), previous); // the bitmap is deleted once no DC holds it
}

} // namespace

FrameSize frameSizeFor(HWND window, bool virtualScreen) noexcept {
    if (!window && virtualScreen) return {GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    RECT client{};
    if (!GetClientRect(window ? window : GetDesktopWindow(), &client)) return {};
    return {client.right - client.left, client.bottom - client.top};
}

bool renderFrame(HWND window, bool virtualScreen, const FrameScene& scene, SharedFrame& frame) noexcept {
    const FrameSize size = frameSizeFor(window, virtualScreen);
    return renderSharedFrame(scene, size.width, size.height, frame);
}

void paintFrame(HWND target, HWND sizeWindow, bool virtualScreen, const FrameScene& scene, SharedFrame& frame,
                long transparentColour) noexcept {
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(target, &paint);
    if (!dc) return;
    RECT client{};
    GetClientRect(target, &client);
    {
        const std::lock_guard<SlimLock> guard(frame.lock);
        if (!frame.pixels) {
            const FrameSize size = frameSizeFor(sizeWindow, virtualScreen);
            (void)renderFrame(scene.methods ? *scene.methods : kNoMethods, scene.paintSlot, size.width, size.height,
                              frame.pixels, scene.layers);
        }
        if (frame.pixels) blit(dc, client.right - client.left, client.bottom - client.top, frame.pixels, transparentColour);
    }
    EndPaint(target, &paint);
}

} // namespace tavrelo
