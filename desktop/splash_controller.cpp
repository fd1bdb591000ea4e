// The splash controller and its repaint thread; the window is reached through SplashWindow.
#include <algorithm>

#include "desktop/splash.h"
#include "launcher/launcher.h"
#include "platform/format.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

constexpr char kProgressBar[] = "javax.swing.JProgressBar";
constexpr unsigned kRepaintPollMs = 20;
constexpr unsigned kWindowPollMs = 100;
constexpr int kDefaultBarHeight = 20;

// The progress bar, read by the repaint thread's after-paint step while the controller ticks.
struct ProgressBar {
    jobject bar = nullptr; // global reference; null: no bar
    ProgressBarGeometry geometry;
    std::atomic<int> value{0};
};

struct Controller {
    FeatureInterface methods{kSplashSlotCount, "SplashScreenManagement"};
    const SplashWindow* window = nullptr;
    SplashPicture* picture = nullptr;
    SharedFrame* frame = nullptr;
    ProgressBar bar;
    // A request counter the controller raises each tick and the repaint thread takes; stopping
    // is a flag of its own, so no reset of the counter can ever undo it.
    std::atomic<int> requests{0};
    std::atomic<bool> stop{false};
};

std::vector<std::optional<Text>> stringFields(jobjectArray array) {
    std::vector<std::optional<Text>> fields;
    const jsize count = std::min<jsize>(arrayLength(array), 5);
    for (jsize i = 0; i < count; ++i) {
        LocalRef<jobject> element(arrayElement(array, i));
        if (element)
            fields.emplace_back(fromJavaString(element));
        else
            fields.emplace_back(std::nullopt);
    }
    return fields;
}

// The bar the application asked for, made and sized; no bar when Swing cannot give one.
void setUpProgressBar(Controller& c) {
    const bool info = isDefined(c.methods, kSphGetProgressBarInfo);
    if (!info && !isDefined(c.methods, kSphGetProgressBarValue)) return;
    std::vector<std::optional<Text>> fields;
    if (info) {
        const LocalRef<jobjectArray> array = localAs<jobjectArray>(callObject(c.methods, kSphGetProgressBarInfo));
        fields = stringFields(array.get());
    }
    const ProgressBarGeometry g = progressBarGeometry(fields, c.picture->width, c.picture->height);
    c.bar.geometry = g;
    c.bar.value.store(0);
    LocalRef<jobject> bar(newObject(kProgressBar, nullptr));
    JNIEnv* env = javaEnv();
    if (!bar || !env) return;
    callMethodVoid(kProgressBar, bar.get(), "setMinimum", "I", jint{0});
    callMethodVoid(kProgressBar, bar.get(), "setMaximum", "I", jint{g.maximum});
    callMethodVoid(kProgressBar, bar.get(), "setValue", "I", jint{0});
    callMethodVoid(kProgressBar, bar.get(), "setSize", "II", jint{g.width}, jint{g.height});
    c.bar.bar = env->NewGlobalRef(bar.get());
}

// After the application's painting: the bar at its place, advanced to the next value.
void paintProgressBar(jobject graphics, void* context) noexcept {
    auto& c = *static_cast<Controller*>(context);
    callMethodVoid("java.awt.Graphics", graphics, "translate", "II", jint{c.bar.geometry.x}, jint{c.bar.geometry.y});
    int next = c.bar.value.load() + 1;
    if (isDefined(c.methods, kSphGetProgressBarValue)) next = callInt(c.methods, kSphGetProgressBarValue);
    next = std::max(next, 0);
    c.bar.value.store(next);
    callMethodVoid(kProgressBar, c.bar.bar, "setValue", "I", jint{next});
    callMethodVoid(kProgressBar, c.bar.bar, "update", "Ljava/awt/Graphics;", graphics);
}

FrameScene sceneOf(Controller& c) {
    FrameScene scene;
    scene.methods = &c.methods;
    scene.paintSlot = kSphPaint;
    scene.layers.background = c.picture->background;
    scene.layers.image = c.picture->image;
    if (c.bar.bar) {
        scene.layers.afterPaint = &paintProgressBar;
        scene.layers.afterPaintContext = &c;
    }
    return scene;
}

void repaintLoop(void* controller) noexcept {
    Controller& c = *static_cast<Controller*>(controller);
    const FrameScene scene = sceneOf(c);
    while (!c.stop.load()) {
        if (c.requests.exchange(0) > 0) {
            const FrameSize size = c.window->frameSize();
            renderSharedFrame(scene, size.width, size.height, *c.frame);
            c.window->repaint();
        }
        os::sleepMs(kRepaintPollMs);
    }
    releaseJavaThread();
}

bool closeRuleHolds(Controller& c, long long startSeconds) noexcept {
    if (isDefined(c.methods, kIsCloseSplash) || isDefined(c.methods, kSphIsClose))
        return callBoolean(c.methods, kIsCloseSplash) || callBoolean(c.methods, kSphIsClose);
    if (!c.bar.bar) return c.window->nowSeconds() - startSeconds > 3;
    return c.bar.value.load() >= c.bar.geometry.maximum;
}

void releaseGlobal(jobject& reference) noexcept {
    const jobject old = std::exchange(reference, nullptr);
    if (!old) return;
    if (JNIEnv* env = javaEnv()) env->DeleteGlobalRef(old);
}

} // namespace

ProgressBarGeometry progressBarGeometry(const std::vector<std::optional<Text>>& fields, int imageWidth,
                                        int imageHeight) noexcept {
    ProgressBarGeometry g;
    int* const slots[] = {&g.x, &g.y, &g.width, &g.height, &g.maximum};
    for (std::size_t i = 0; i < fields.size() && i < 5; ++i)
        if (fields[i]) *slots[i] = toInt(*fields[i]);
    if (g.x < 0) g.x = 0;
    if (g.height < 0) g.height = kDefaultBarHeight;
    if (g.y < 0) g.y += imageHeight - g.height;
    if (g.width < 0) g.width += imageWidth - g.x;
    if (g.maximum < 0) g.maximum = 0;
    return g;
}

unsigned splashTickMs(std::optional<int> asked) noexcept {
    if (!asked) return 1000;
    return static_cast<unsigned>(std::max(*asked, 100));
}

bool renderSharedFrame(const FrameScene& scene, int width, int height, SharedFrame& frame) noexcept {
    static const FeatureInterface kNoMethods{};
    ImagePixels rendered;
    if (!renderFrame(scene.methods ? *scene.methods : kNoMethods, scene.paintSlot, width, height, rendered,
                     scene.layers))
        return false;
    {
        const std::lock_guard<SlimLock> guard(frame.lock);
        std::swap(frame.pixels, rendered);
    }
    return true; // the previous frame goes with `rendered`, outside the lock
}

Text splashImageFileName() {
    return formatText(u"%s%s__%d.data", {os::tempDirectory(), launchContext().baseName, os::processId()});
}

bool loadSplashPicture(std::string_view imageBytes, SplashPicture& picture) noexcept {
    JNIEnv* env = javaEnv();
    if (!env) return false;
    try {
        const Text file = splashImageFileName();
        LocalRef<jobject> image;
        if (os::writeFile(file, imageBytes))
            image = readImageFile(file);
        else
            traceFailure("splash: the picture is not shown: ");
        (void)os::deleteFile(file); // also when nothing or only part of it was written
        if (!image) return false;
        const int width = callMethodInt("java.awt.Image", image.get(), "getWidth", "Ljava/awt/image/ImageObserver;",
                                        static_cast<jobject>(nullptr));
        const int height = callMethodInt("java.awt.Image", image.get(), "getHeight", "Ljava/awt/image/ImageObserver;",
                                         static_cast<jobject>(nullptr));
        LocalRef<jobject> white(colorByName("WHITE"));
        if (width <= 0 || height <= 0 || !white) return false;
        SplashPicture loaded{env->NewGlobalRef(image.get()), env->NewGlobalRef(white.get()), width, height};
        if (!loaded.image || !loaded.background) {
            releaseGlobal(loaded.image);
            releaseGlobal(loaded.background);
            return false;
        }
        picture = loaded;
        return true;
    } catch (...) {
        return false;
    }
}

void runSplashController(const std::string& mainClass, const SplashWindow& window, SplashPicture& picture,
                         SharedFrame& frame) noexcept {
    Controller c;
    c.window = &window;
    c.picture = &picture;
    c.frame = &frame;
    while (window.state() == SplashWindowState::Pending)
        window.sleepMs(kWindowPollMs);

    static const char* const kMethods[kSplashSlotCount][2] = {
        {"isCloseSplash", "()Z"},
        {"sphIsClose", "()Z"},
        {"sphPaint", "(Ljava/awt/Graphics2D;II)V"},
        {"sphGetTickCount", "()I"},
        {"sphInit", "()V"},
        {"sphFinish", "()V"},
        {"sphGetProgressBarInfo", "()[Ljava/lang/String;"},
        {"sphGetProgressBarValue", "()I"},
    };
    for (int slot = 0; slot < kSplashSlotCount; ++slot)
        (void)bindMethod(c.methods, mainClass.c_str(), slot, kMethods[slot][0], kMethods[slot][1]);
    callVoid(c.methods, kSphInit);

    JoinableThread repaint;
    if (window.state() == SplashWindowState::Shown) {
        try {
            setUpProgressBar(c);
        } catch (...) {
            // No memory for the bar's texts: the splash goes on without a bar.
        }
        window.startWakeTimer();
        std::optional<int> asked;
        if (isDefined(c.methods, kSphGetTickCount)) asked = callInt(c.methods, kSphGetTickCount);
        const unsigned tick = splashTickMs(asked);
        const long long start = window.nowSeconds();
        // Without a repaint thread the splash shows its first frame until it closes.
        if (isDefined(c.methods, kSphPaint) || c.bar.bar) (void)repaint.start(&repaintLoop, &c);
        while (window.state() == SplashWindowState::Shown) {
            if (closeRuleHolds(c, start) || window.launcherEnding()) break;
            if (repaint.joinable()) c.requests.fetch_add(1);
            window.sleepMs(tick);
        }
    }

    // Nothing may render or paint with what is released below: the repaint thread goes first,
    // then the window thread, which destroys its own window.
    c.stop.store(true);
    repaint.join();
    window.close();
    releaseGlobal(c.bar.bar);
    releaseGlobal(picture.image);
    releaseGlobal(picture.background);
    {
        const std::lock_guard<SlimLock> guard(frame.lock);
        frame.pixels.release();
    }
    callVoid(c.methods, kSphFinish);
    releaseJavaThread();
}

} // namespace tavrelo
