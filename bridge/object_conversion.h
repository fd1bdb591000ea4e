// Java objects as serialized bytes, and images for the painting callbacks. Everything goes
// through the call bridge: Java exceptions are cleared, a failing step gives none (null, empty,
// no call), and every reference made on the way is deleted except the one handed back.
#pragma once

#include <jni.h>

#include <cstddef>
#include <string>

#include "bridge/bridge.h"
#include "platform/text.h"

namespace tavrelo {

// ---- Serialized objects -----------------------------------------------------------------------
// The bytes are exactly what one java.io.ObjectOutputStream writes for one object, stream
// header included; they are not framed otherwise.

// The one object the bytes hold; null for no bytes or
// bytes that hold no readable object. Classes resolve through the system class loader (the
// application's own classes included) on any thread. The stream reads through the object filter
// (bridge/object_filter.h): a refused class gives null before any of its code runs.
[[nodiscard]] LocalRef<jobject> deserializeObject(const void* bytes, std::size_t length) noexcept;
// The object's serialized bytes (the caller owns them); empty for null. An object that cannot be
// serialized gives what the stream held before writing it: the stream header alone.
[[nodiscard]] std::string serializeObject(jobject object) noexcept;

// callObject on the slot, then serializeObject of its result (the result's reference deleted).
// Empty when the slot is not defined or returned null.
namespace unchecked {
[[nodiscard]] std::string callObjectAsBytes(const FeatureInterface& record, int slot, ...) noexcept;
} // namespace unchecked
template <JniArgument... Arguments>
[[nodiscard]] std::string callObjectAsBytes(const FeatureInterface& record, int slot, Arguments... arguments) noexcept {
    return unchecked::callObjectAsBytes(record, slot, arguments...);
}

// No leading integer for callWithObjectFromBytes.
inline constexpr int kNoLeadingInteger = -1;
// When the slot is defined: deserializes the bytes and calls the slot with the object, preceded
// by `integer` when it is 0 or more; no bytes call it with null. Nothing when it is not defined,
// nor when the bytes hold no object the filter lets through.
void callWithObjectFromBytes(const FeatureInterface& record, int slot, int integer, const void* bytes,
                             std::size_t length) noexcept;

// ---- Images -----------------------------------------------------------------------------------
// Every object returned is a local reference the caller owns; null on failure.

// A java.awt.image.BufferedImage of TYPE_INT_ARGB.
[[nodiscard]] LocalRef<jobject> newArgbImage(int width, int height) noexcept;
// The image's java.awt.Graphics2D.
[[nodiscard]] LocalRef<jobject> createGraphics(jobject image) noexcept;

inline constexpr int kIconSide = 16;
inline constexpr std::size_t kIconPixels = kIconSide * kIconSide;
// A 16 x 16 ARGB image from pixels in rows from the top; pixels beyond `count` are transparent,
// more than 256 are ignored.
[[nodiscard]] LocalRef<jobject> iconImageFromPixels(const jint* pixels, std::size_t count) noexcept;
// The same image as a javax.swing.ImageIcon.
[[nodiscard]] LocalRef<jobject> imageIconFromPixels(const jint* pixels, std::size_t count) noexcept;
// javax.imageio.ImageIO.read of the file; null when it is missing or not an image.
[[nodiscard]] LocalRef<jobject> readImageFile(TextView path) noexcept;
// Calls the component's own setIcon(javax.swing.Icon). Nothing for a null component or icon.
void setComponentIcon(jobject component, jobject icon) noexcept;
// The java.awt.Color of that static field of java.awt.Color ("red", "WHITE"...); null for other
// names.
[[nodiscard]] LocalRef<jobject> colorByName(const char* name) noexcept;

// The ARGB pixels of an image, rows from the top, held until released: the int[] is a global
// reference and its elements stay readable from any thread until then. Release it on a thread
// that may use Java (releasing attaches the thread like any bridge call).
class ImagePixels {
  public:
    ImagePixels() noexcept = default;
    ImagePixels(jintArray array, jint* elements, int width, int height) noexcept;
    ImagePixels(ImagePixels&& other) noexcept;
    ImagePixels& operator=(ImagePixels&& other) noexcept;
    ImagePixels(const ImagePixels&) = delete;
    ImagePixels& operator=(const ImagePixels&) = delete;
    ~ImagePixels() { release(); }

    [[nodiscard]] const jint* data() const noexcept { return elements_; }
    [[nodiscard]] int width() const noexcept { return width_; }
    [[nodiscard]] int height() const noexcept { return height_; }
    explicit operator bool() const noexcept { return elements_ != nullptr; }
    // Releases the elements (no copy back) and deletes the global reference.
    void release() noexcept;

  private:
    jintArray array_ = nullptr;
    jint* elements_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// The pixels of the image's top-left width x height area (getRGB); empty on failure.
[[nodiscard]] ImagePixels imagePixels(jobject image, int width, int height) noexcept;

// What a frame holds beneath and above the application's painting.
struct FrameLayers {
    jobject background = nullptr; // a java.awt.Color that fills the frame first
    jobject image = nullptr;      // a java.awt.Image drawn at (0, 0) over it
    // Called with the frame's java.awt.Graphics2D after the slot's method (a progress bar's own
    // painting); it must not keep the reference.
    void (*afterPaint)(jobject graphics, void* context) noexcept = nullptr;
    void* afterPaintContext = nullptr;
};

// One frame: a width x height ARGB image filled with the background, the image drawn on it,
// then the slot's method (when defined) called with its graphics and the size (signature
// "(Ljava/awt/Graphics2D;II)V"), then the after-paint step; then its pixels. On success the
// previous frame is released and replaced; when there is nothing to draw (no method and no
// layer) or the pixels cannot be had, `frame` keeps the previous one and the result is false.
bool renderFrame(const FeatureInterface& record, int slot, int width, int height, ImagePixels& frame,
                 const FrameLayers& layers = {}) noexcept;

} // namespace tavrelo
