// The splash controller against the real JVM (headless), with a window of the test's own and a
// clock whose seconds pass as fast as the test wants; fixture.Splash holds the applications.
// The same cases run again in a VM of its own under -Xcheck:jni.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "desktop/splash.h"
#include "jvm_support.h"
#include "launcher/launcher.h"
#include "platform/os.h"

namespace tavrelo::test {
namespace {

constexpr char kSplash[] = "fixture.Splash";

// The window: shown at once, its frame the image less a one-pixel border. The blit copies the
// frame under its lock, as the window's paint does; a "window thread" of its own blits in a
// tight loop until it is closed.
struct FakeWindow {
    std::atomic<SplashWindowState> state{SplashWindowState::Shown};
    FrameSize size;
    SharedFrame* frame = nullptr;
    std::atomic<long long> clockMs{0};
    std::atomic<int> ticks{0}, repaints{0}, timers{0};
    std::atomic<unsigned> lastSleep{0};
    std::atomic<bool> ending{false}, closed{false};
    std::mutex copyLock;
    std::vector<jint> lastFrame; // the last frame blitted
    std::thread painter;

    void blit() {
        const std::lock_guard<SlimLock> guard(frame->lock);
        if (!frame->pixels) return;
        const std::lock_guard<std::mutex> copy(copyLock);
        lastFrame.assign(frame->pixels.data(), frame->pixels.data() + frame->pixels.width() * frame->pixels.height());
    }
} fake;

const SplashWindow kFakeWindow{
    [] () noexcept { return fake.state.load(); },
    [] () noexcept { ++fake.timers; },
    [] () noexcept { return fake.size; },
    [] () noexcept {
        EXPECT_EQ(fake.state.load(), SplashWindowState::Shown); // never without a live window
        ++fake.repaints;
        fake.blit();
    },
    [] () noexcept {
        fake.closed = true;
        if (fake.painter.joinable()) fake.painter.join();
        fake.state = SplashWindowState::Gone;
    },
    [] (unsigned ms) noexcept {
        // Ticks take 50 ms of real time and count their full length on the clock.
        ++fake.ticks;
        fake.lastSleep = ms;
        fake.clockMs += ms;
        os::sleepMs(50);
    },
    [] () noexcept { return fake.clockMs.load() / 1000; },
    [] () noexcept { return fake.ending.load(); },
};

class SplashController : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureJavaVm();
        useHeadlessAwt();
        callMethodVoid(kSplash, nullptr, "forget", nullptr);
        launchContext().baseName = u"SplashTest";
    }

    // Loads the fixture image through the temporary file, then runs the controller on a thread of
    // its own, as the launcher does.
    void run(const char* app, const char* format = "png", int width = 60, int height = 50) {
        LocalRef<jstring> type(toJavaStringUtf(format));
        LocalRef<jbyteArray> bytes(static_cast<jbyteArray>(callMethodObject(
            kSplash, nullptr, "imageBytes", "[B", "Ljava/lang/String;II", type.get(), jint{width}, jint{height})));
        const JavaByteElements data = readJavaByteArray(bytes.get());
        ASSERT_TRUE(data);
        ASSERT_TRUE(loadSplashPicture(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), picture));
        EXPECT_FALSE(os::pathExists(splashImageFileName()));
        EXPECT_EQ(picture.width, width);
        fake.state = SplashWindowState::Shown;
        fake.size = {width - 2, height - 2};
        fake.frame = &frame;
        fake.clockMs = 1000 * 1000 + 999; // a second begins just after the start
        fake.ticks = fake.repaints = fake.timers = 0;
        fake.ending = false;
        fake.lastFrame.clear();
        std::thread([&] { runSplashController(app, kFakeWindow, picture, frame); }).join();
        EXPECT_EQ(fake.state.load(), SplashWindowState::Gone);
        EXPECT_EQ(picture.image, nullptr);
        EXPECT_FALSE(frame.pixels);
    }
    static std::string calls() {
        return toUtf8(fromJavaString(static_cast<jstring>(callMethodObject(kSplash, nullptr, "calls", "java.lang.String", nullptr))));
    }
    static bool flag(const char* name) {
        JNIEnv* env = javaEnv();
        LocalRef<jclass> splash(findJavaClass(kSplash));
        return env->GetStaticBooleanField(splash.get(), env->GetStaticFieldID(splash.get(), name, "Z"));
    }
    static int number(const char* className, const char* name) {
        JNIEnv* env = javaEnv();
        LocalRef<jclass> owner(findJavaClass(className));
        return env->GetStaticIntField(owner.get(), env->GetStaticFieldID(owner.get(), name, "I"));
    }
    static void setNumber(const char* name, int value) {
        JNIEnv* env = javaEnv();
        LocalRef<jclass> splash(findJavaClass(kSplash));
        env->SetStaticIntField(splash.get(), env->GetStaticFieldID(splash.get(), name, "I"), value);
    }
    static unsigned at(int x, int y) {
        return static_cast<unsigned>(fake.lastFrame.at(static_cast<std::size_t>(y * fake.size.width + x)));
    }

    SplashPicture picture;
    SharedFrame frame;
};

TEST_F(SplashController, FramesHoldTheImageThePaintingAndTheBarWhereItsTextsPutIt) {
    // Without the value method the bar advances one per frame and closes at its maximum, 5.
    run("fixture.Splash$Painted");
    EXPECT_EQ(calls(), "sphInit sphFinish");
    EXPECT_EQ(fake.timers.load(), 1);
    EXPECT_EQ(fake.lastSleep.load(), 1000u);
    EXPECT_GE(fake.ticks.load(), 5);
    EXPECT_GE(number(kSplash, "paints"), 5); // the value is the count of frames: closed at 5
    EXPECT_LE(number(kSplash, "paints"), 6);
    ASSERT_EQ(fake.lastFrame.size(), 58u * 48u);
    // The image at (0, 0) on white where it is transparent; the application's green square.
    EXPECT_EQ(at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(at(1, 0), 0xFF0000FFu);
    EXPECT_EQ(at(40, 20), 0xFFFFFFFFu);
    EXPECT_EQ(at(50, 6), 0xFF00FF00u);
    // The bar: from x 10 to 1 pixel short of the image's right edge, 20 high with its lower edge
    // one pixel above the image's bottom, so the frame (the image less its border) cuts its last
    // row. Done at its maximum: the same colour inside throughout.
    const unsigned done = at(30, 40);
    EXPECT_NE(done, 0xFFFFFFFFu);
    EXPECT_NE(at(10, 40), 0xFF0000FFu);
    EXPECT_EQ(at(9, 40), 0xFF0000FFu);
    EXPECT_NE(at(40, 29), 0xFFFFFFFFu);  // image height 50 - 21: its top row
    EXPECT_EQ(at(40, 28), 0xFFFFFFFFu);
    EXPECT_NE(at(40, 47), 0xFFFFFFFFu);  // the frame's last row is still the bar
    EXPECT_NE(at(57, 40), 0xFFFFFFFFu);  // the bar's last column is the frame's last one
    EXPECT_EQ(at(55, 40), done);

    // A BMP; values from the application: a negative one counts as 0, the tick is at least 100 ms.
    callMethodVoid(kSplash, nullptr, "forget", nullptr);
    JNIEnv* env = javaEnv();
    LocalRef<jclass> painted(findJavaClass("fixture.Splash$Painted"));
    const jint values[] = {-7, -7, 2, 2, 6};
    LocalRef<jintArray> array(toJavaIntArray(values, 5));
    env->SetStaticObjectField(painted.get(), env->GetStaticFieldID(painted.get(), "values", "[I"), array.get());
    run("fixture.Splash$Valued", "bmp", 80, 40);
    EXPECT_EQ(calls(), "sphInit sphFinish");
    EXPECT_EQ(fake.lastSleep.load(), 100u);
    EXPECT_EQ(at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(at(60, 5), 0xFF000000u); // no alpha in a BMP
    EXPECT_NE(at(70, 30), at(60, 5));
    EXPECT_GE(number(kSplash, "paints"), 5);
}

TEST_F(SplashController, CloseRulesTheApplicationsMethodsThreeSecondsAndTheLaunchersEnd) {
    // isCloseSplash first, then sphIsClose, every tick of 250 ms; no painting, no repaint thread.
    setNumber("closeAfter", 3);
    run("fixture.Splash$Closing");
    EXPECT_EQ(calls(), "isCloseSplash sphIsClose isCloseSplash sphIsClose isCloseSplash sphIsClose");
    EXPECT_EQ(fake.ticks.load(), 2);
    EXPECT_EQ(fake.lastSleep.load(), 250u);
    EXPECT_EQ(fake.repaints.load(), 0);

    // No methods: closed once more than 3 whole seconds have passed since the start.
    run("fixture.Splash$Bare");
    EXPECT_EQ(fake.ticks.load(), 4);
    EXPECT_EQ(fake.lastSleep.load(), 1000u);
    EXPECT_EQ(fake.repaints.load(), 0);

    // The launcher's end closes it whatever the application says.
    callMethodVoid(kSplash, nullptr, "forget", nullptr);
    fake.ticks = 0;
    std::thread ender([] {
        while (fake.ticks.load() < 3) os::sleepMs(5);
        fake.ending = true;
    });
    run("fixture.Splash$Closing");
    ender.join();
    EXPECT_GE(fake.ticks.load(), 3);
    EXPECT_LE(fake.ticks.load(), 4);

    // A window thread that ends on its own takes the splash with it.
    callMethodVoid(kSplash, nullptr, "forget", nullptr);
    fake.ticks = 0;
    std::thread gone([] {
        while (fake.ticks.load() < 2) os::sleepMs(5);
        fake.state = SplashWindowState::Gone;
    });
    run("fixture.Splash$Closing");
    gone.join();
    EXPECT_LE(fake.ticks.load(), 3);
}

TEST_F(SplashController, ClosingWhileASlowPaintRunsFinishesAfterItAndLeavesNothingBehind) {
    int threadsBefore = 0; // after the first round, which may start the VM's own drawing threads
    for (int round = 0; round < 50; ++round) {
        callMethodVoid(kSplash, nullptr, "forget", nullptr);
        setNumber("closeAfter", 3 + round % 3);
        fake.closed = false;
        fake.frame = &frame;
        fake.painter = std::thread([] {
            while (!fake.closed.load()) fake.blit();
        });
        run("fixture.Splash$Slow");
        EXPECT_GE(number(kSplash, "paints"), 1) << round;
        EXPECT_TRUE(flag("finished")) << round;
        EXPECT_FALSE(flag("finishWhilePainting")) << round;
        EXPECT_FALSE(flag("paintAfterFinish")) << round;
        if (round == 0) threadsBefore = callMethodInt(kSplash, nullptr, "threads", nullptr);
        EXPECT_EQ(callMethodInt(kSplash, nullptr, "threads", nullptr), threadsBefore) << round;
    }
}

// The cases above in a VM of their own under -Xcheck:jni: no fatal error, no warning.
TEST(SplashUnderJniChecks, TheSameCasesRunClean) {
    char self[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    Environment environment = launcherEnvironment();
    setVariable(environment, "TAVRELO_TEST_VM_OPTIONS", "-Xcheck:jni -Djava.awt.headless=true");
    const RunResult run = runProgram(self, {"--gtest_filter=SplashController.*"}, environment, 110);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("[  PASSED  ] 3 tests"), std::string::npos) << run.out;
    EXPECT_EQ((run.out + run.err).find("WARNING"), std::string::npos) << run.out << run.err;
    EXPECT_EQ((run.out + run.err).find("FATAL"), std::string::npos) << run.out << run.err;
}

} // namespace
} // namespace tavrelo::test
