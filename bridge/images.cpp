#include <climits>

#include "bridge/object_conversion.h"

namespace tavrelo {

namespace {

constexpr char kBufferedImage[] = "java.awt.image.BufferedImage";
constexpr jint kTypeIntArgb = 2;

bool validSize(int width, int height) noexcept { return width > 0 && height > 0 && width <= INT_MAX / height; }

} // namespace

LocalRef<jobject> newArgbImage(int width, int height) noexcept {
    if (!validSize(width, height)) return {};
    return newObject(kBufferedImage, "III", jint{width}, jint{height}, kTypeIntArgb);
}

LocalRef<jobject> createGraphics(jobject image) noexcept {
    if (!image) return {};
    return callMethodObject(kBufferedImage, image, "createGraphics", "java.awt.Graphics2D", nullptr);
}

LocalRef<jobject> iconImageFromPixels(const jint* pixels, std::size_t count) noexcept {
    if (!pixels && count) return {};
    // Always a whole icon: a short pixel array would have Java read beyond it.
    jint icon[kIconPixels] = {};
    for (std::size_t i = 0; i < kIconPixels && i < count; ++i)
        icon[i] = pixels[i];
    LocalRef<jobject> image = newArgbImage(kIconSide, kIconSide);
    const LocalRef<jintArray> array = toJavaIntArray(icon, kIconPixels);
    if (!image || !array) return {};
    callMethodVoid(kBufferedImage, image.get(), "setRGB", "IIII[III", jint{0}, jint{0}, jint{kIconSide},
                   jint{kIconSide}, array.get(), jint{0}, jint{kIconSide});
    return image;
}

LocalRef<jobject> imageIconFromPixels(const jint* pixels, std::size_t count) noexcept {
    const LocalRef<jobject> image = iconImageFromPixels(pixels, count);
    if (!image) return {};
    return newObject("javax.swing.ImageIcon", "Ljava/awt/Image;", image.get());
}

LocalRef<jobject> readImageFile(TextView path) noexcept {
    const LocalRef<jstring> name = toJavaString(path);
    if (!name) return {};
    const LocalRef<jobject> file = newObject("java.io.File", "Ljava/lang/String;", name.get());
    if (!file) return {};
    return callMethodObject("javax.imageio.ImageIO", nullptr, "read", kBufferedImage, "Ljava/io/File;", file.get());
}

void setComponentIcon(jobject component, jobject icon) noexcept {
    if (!component || !icon) return;
    JNIEnv* env = javaEnv();
    if (!env) return;
    // The method is looked up in the component's own class object rather than by its name: a
    // name only finds classes that the system class loader can see.
    const LocalRef<jclass> owner =
        localAs<jclass>(callMethodObject("java.lang.Object", component, "getClass", "java.lang.Class", nullptr));
    if (!owner) return;
    const jmethodID setIcon = env->GetMethodID(owner.get(), "setIcon", "(Ljavax/swing/Icon;)V");
    if (setIcon) env->CallVoidMethod(component, setIcon, icon);
    clearJavaException(env);
}

LocalRef<jobject> colorByName(const char* name) noexcept {
    JNIEnv* env = javaEnv();
    if (!env || !name) return {};
    const LocalRef<jclass> color = findJavaClass("java.awt.Color");
    if (!color) return {};
    const jfieldID field = env->GetStaticFieldID(color.get(), name, "Ljava/awt/Color;");
    if (!field) {
        clearJavaException(env);
        return {};
    }
    LocalRef<jobject> value(env->GetStaticObjectField(color.get(), field));
    if (clearJavaException(env)) value.reset();
    return value;
}

ImagePixels::ImagePixels(jintArray array, jint* elements, int width, int height) noexcept
    : array_(array), elements_(elements), width_(width), height_(height) {}

ImagePixels::ImagePixels(ImagePixels&& other) noexcept
    : array_(std::exchange(other.array_, nullptr)), elements_(std::exchange(other.elements_, nullptr)),
      width_(std::exchange(other.width_, 0)), height_(std::exchange(other.height_, 0)) {}

ImagePixels& ImagePixels::operator=(ImagePixels&& other) noexcept {
    if (this != &other) {
        release();
        array_ = std::exchange(other.array_, nullptr);
        elements_ = std::exchange(other.elements_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

void ImagePixels::release() noexcept {
    const jintArray array = std::exchange(array_, nullptr);
    jint* const elements = std::exchange(elements_, nullptr);
    width_ = height_ = 0;
    if (!array) return;
    JNIEnv* env = javaEnv();
    if (!env) return; // the VM has ended: nothing is left to release
    if (elements) env->ReleaseIntArrayElements(array, elements, JNI_ABORT);
    env->DeleteGlobalRef(array);
}

ImagePixels imagePixels(jobject image, int width, int height) noexcept {
    JNIEnv* env = javaEnv();
    if (!env || !image || !validSize(width, height)) return {};
    const LocalRef<jintArray> local = localAs<jintArray>(
        callMethodObject(kBufferedImage, image, "getRGB", "[I", "IIII[III", jint{0}, jint{0}, jint{width}, jint{height},
                         static_cast<jintArray>(nullptr), jint{0}, jint{width}));
    if (!local || arrayLength(local.get()) < width * height) return {};
    // Painting threads keep a frame's pixels until they take the next one.
    const auto array = static_cast<jintArray>(env->NewGlobalRef(local.get()));
    if (!array) return {};
    jint* elements = env->GetIntArrayElements(array, nullptr);
    if (clearJavaException(env) || !elements) {
        if (elements) env->ReleaseIntArrayElements(array, elements, JNI_ABORT);
        env->DeleteGlobalRef(array);
        return {};
    }
    return ImagePixels(array, elements, width, height);
}

bool renderFrame(const FeatureInterface& record, int slot, int width, int height, ImagePixels& frame,
                 const FrameLayers& layers) noexcept {
    const bool painter = isDefined(record, slot);
    if (!painter && !layers.background && !layers.image && !layers.afterPaint) return false;
    ImagePixels pixels;
    {
        const LocalRef<jobject> image = newArgbImage(width, height);
        const LocalRef<jobject> graphics = createGraphics(image.get());
        if (!graphics) return false;
        if (layers.background) {
            callMethodVoid("java.awt.Graphics", graphics.get(), "setColor", "Ljava/awt/Color;", layers.background);
            callMethodVoid("java.awt.Graphics", graphics.get(), "fillRect", "IIII", jint{0}, jint{0}, jint{width},
                           jint{height});
        }
        if (layers.image)
            (void)callMethodBoolean("java.awt.Graphics", graphics.get(), "drawImage",
                                    "Ljava/awt/Image;IILjava/awt/image/ImageObserver;", layers.image, jint{0}, jint{0},
                                    static_cast<jobject>(nullptr));
        if (painter) callVoid(record, slot, graphics.get(), jint{width}, jint{height});
        if (layers.afterPaint) layers.afterPaint(graphics.get(), layers.afterPaintContext);
        // Java2D keeps native resources per graphics until it is disposed or collected.
        callMethodVoid("java.awt.Graphics", graphics.get(), "dispose", nullptr);
        pixels = imagePixels(image.get(), width, height);
    }
    if (!pixels) return false;
    frame = std::move(pixels); // releases the previous frame first
    return true;
}

} // namespace tavrelo
