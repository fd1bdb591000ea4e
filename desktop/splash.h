// The splash screen: the launcher's splash image shown centred from the VM's start until the
// application says it is ready (or a default rule closes it), with the application's painting
// and an optional progress bar over it. Three threads: the window's (Windows only), the
// controller and the repaint thread. The controller, its rules and the frames are portable;
// the controller reaches the window through SplashWindow, so tests drive it with their own.
// The frame renderer and painter are shared with the screen saver.
#pragma once

#include <jni.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/bridge.h"
#include "bridge/object_conversion.h"
#include "platform/text.h"
#include "platform/threads.h"

struct HWND__;

namespace tavrelo {

// The slots of the application's `SplashScreenManagement` methods.
enum SplashSlot : int {
    kIsCloseSplash = 0,
    kSphIsClose = 1,
    kSphPaint = 2,
    kSphGetTickCount = 3,
    kSphInit = 4,
    kSphFinish = 5,
    kSphGetProgressBarInfo = 6,
    kSphGetProgressBarValue = 7,
};
inline constexpr int kSplashSlotCount = 8;

// ---- Rules ----------------------------------------------------------------------------------

struct ProgressBarGeometry {
    int x = 0;
    int y = -1;
    int width = -1;
    int height = 20;
    int maximum = 10;
};
// The bar from up to five texts (x, y, width, height, maximum, base-10; an absent one keeps its
// default), relative to an image of that size: negative x becomes 0, a negative y counts from
// the bottom (y + image height - bar height), a negative width reaches to the right (width +
// image width - x), a negative height becomes 20, a negative maximum 0.
[[nodiscard]] ProgressBarGeometry progressBarGeometry(const std::vector<std::optional<Text>>& fields, int imageWidth,
                                                      int imageHeight) noexcept;

// The tick period: the application's value, at least 100 ms; 1,000 ms without the method.
[[nodiscard]] unsigned splashTickMs(std::optional<int> asked) noexcept;

// ---- Frames shared by a renderer and a painter (splash and screen saver) ---------------------

// The frame a window shows: rendered on one thread, blitted on the window's. Every swap of the
// pixels and every read of them (the blit, a render on paint) happens under `lock`, so pixels
// are never released under a reader.
struct SharedFrame {
    SlimLock lock;
    ImagePixels pixels; // guarded by lock
};

// What a frame is rendered from: the paint method of a feature record (none when `methods` is
// null) and the layers beneath and above it.
struct FrameScene {
    const FeatureInterface* methods = nullptr;
    int paintSlot = -1;
    FrameLayers layers;
};

// Renders a width x height frame (Java is called without the lock held) and swaps it in under
// the lock; the previous frame is released after. False: nothing rendered, the old frame stays.
// Any thread that may call Java.
bool renderSharedFrame(const FrameScene& scene, int width, int height, SharedFrame& frame) noexcept;

struct FrameSize {
    int width = 0;
    int height = 0;
};

// Windows: the frame size for `window`: its client area; without a window the desktop window's
// client area, or with `virtualScreen` the virtual screen's size.
[[nodiscard]] FrameSize frameSizeFor(HWND__* window, bool virtualScreen) noexcept;
// Windows: renderSharedFrame at frameSizeFor(window, virtualScreen).
bool renderFrame(HWND__* window, bool virtualScreen, const FrameScene& scene, SharedFrame& frame) noexcept;
// Windows, the WM_PAINT handler of `target`: inside BeginPaint/EndPaint and under the frame's
// lock, renders a frame first when there is none yet (sized by frameSizeFor(sizeWindow,
// virtualScreen)), then stretches it to the target's client area. With `transparentColour` (a
// COLORREF, 0 or more) the target keeps its own pixels where the frame has that colour; -1
// copies the whole frame. On the target window's own thread.
void paintFrame(HWND__* target, HWND__* sizeWindow, bool virtualScreen, const FrameScene& scene, SharedFrame& frame,
                long transparentColour) noexcept;

// ---- The controller -------------------------------------------------------------------------

// What the window thread hands to the controller once its window shows: the image and the
// background colour as global references, and the image's size. The controller releases them
// after the window thread has ended.
struct SplashPicture {
    jobject image = nullptr;
    jobject background = nullptr;
    int width = 0;
    int height = 0;
};

// The temporary file the splash image is read through: "%s%s__%d.data" from the temporary
// directory, the application's base name and the process id.
[[nodiscard]] Text splashImageFileName();
// Reads the image bytes through that file (deleted again on every path) with ImageIO, and takes
// the image, its size and the white background as global references. False when the file
// cannot be written or the bytes hold no image the runtime reads; `picture` is then untouched.
// Any thread that may call Java.
[[nodiscard]] bool loadSplashPicture(std::string_view imageBytes, SplashPicture& picture) noexcept;

enum class SplashWindowState { Pending, Shown, Gone };

// What the controller needs of the window and of time; every function is called on the
// controller or the repaint thread. The launcher's is the real splash window.
struct SplashWindow {
    SplashWindowState (*state)() noexcept; // Gone once the window thread has ended (or never showed)
    void (*startWakeTimer)() noexcept;     // a 1 s timer that keeps the window's loop turning
    FrameSize (*frameSize)() noexcept;     // the window's client size
    void (*repaint)() noexcept;            // invalidate (no erase) and update, only while the window lives
    // Wakes the window thread, which destroys its window itself and ends; returns once it has.
    void (*close)() noexcept;
    void (*sleepMs)(unsigned milliseconds) noexcept;
    long long (*nowSeconds)() noexcept;
    bool (*launcherEnding)() noexcept;
};

// The controller's whole run on the calling thread, after the launcher's pause: waits for the
// window, binds the application's methods, calls sphInit, sets up the progress bar, ticks until
// the close rule holds, the window thread ends or the launcher ends; then stops and joins the
// repaint thread, closes the window, releases the bar, the picture and `frame`, and calls
// sphFinish. Lets go of Java before it returns.
void runSplashController(const std::string& mainClass, const SplashWindow& window, SplashPicture& picture,
                         SharedFrame& frame) noexcept;

} // namespace tavrelo
