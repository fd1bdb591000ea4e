// The splash controller against the real JVM (headless), with a window of the test's own and a
// clock whose seconds pass as fast as the test wants; fixture.Splash holds the applications.
// The same cases run again in a VM of their own under -Xcheck:jni.
#include <gtest/gtest.h>

#include <unistd.h>

#include <thread>

#include "desktop/splash.h"
#include "jvm_support.h"
#include "launcher/launcher.h"
#include "platform/os.h"

namespace tavrelo::test {
namespace {

constexpr char kSplash[] = "fixture.Splash";

// The window: its frame is the image less a one-pixel border; a blit copies the frame under its
// lock, as the window's paint does. Ticks take 50 ms of real time and their full length on the
// clock.
struct FakeWindow {
    std::atomic<SplashWindowState> state{SplashWindowState::Shown};
    FrameSize size;
    SharedFrame* frame = nullptr;
    std::atomic<long long> clockMs{0};
    std::atomic<int> ticks{0}, repaints{0}, timers{0};
    std::atomic<unsigned> lastSleep{0};
    std::atomic<bool> ending{false}, closed{false};
    std::vector<jint> lastFrame; // guarded by the frame's lock
    std::thread painter;         // a window thread blitting as fast as it can, until closed

    void blit() {
        const std::lock_guard<SlimLock> guard(frame->lock);
        if (frame->pixels)
            lastFrame.assign(frame->pixels.data(),
                             frame->pixels.data() + frame->pixels.width() * frame->pixels.height());
    }
} fake;

const SplashWindow kFakeWindow{
    []() noexcept { return fake.state.load(); },
    []() noexcept { ++fake.timers; },
    []() noexcept { return fake.size; },
    []() noexcept {
        EXPECT_EQ(fake.state.load(), SplashWindowState::Shown); // never without a live window
        ++fake.repaints;
        fake.blit();
    },
    []() noexcept {
        fake.closed = true;
        if (fake.painter.joinable()) fake.painter.join();
        fake.state = SplashWindowState::Gone;
    },
    [](unsigned ms) noexcept {
        ++fake.ticks;
        fake.lastSleep = ms;
        fake.clockMs += ms;
        os::sleepMs(50);
    },
    []() noexcept { return fake.clockMs.load() / 1000; },
    []() noexcept { return fake.ending.load(); },
};

int field(const char* name) {
    LocalRef<jstring> text(toJavaStringUtf(name));
    return callMethodInt(kSplash, nullptr, "get", "Ljava/lang/String;", text.get());
}
void setField(const char* name, int value) {
    LocalRef<jstring> text(toJavaStringUtf(name));
    callMethodVoid(kSplash, nullptr, "set", "Ljava/lang/String;I", text.get(), jint{value});
}
std::string calls() {
    return toUtf8(fromJavaString(callMethodObject(kSplash, nullptr, "calls", "java.lang.String", nullptr)));
}
unsigned at(int x, int y) {
    return static_cast<unsigned>(fake.lastFrame.at(static_cast<std::size_t>(y * fake.size.width + x)));
}

class SplashController : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureJavaVm();
        useHeadlessAwt();
        callMethodVoid(kSplash, nullptr, "forget", nullptr);
        launchContext().baseName = u"SplashTest";
        fake.frame = &frame;
        fake.ticks = 0;
    }

    // Loads the fixture image through the temporary file, then runs the controller on a thread of
    // its own, as the launcher does.
    void run(const char* app, const char* format = "png", int width = 60, int height = 50) {
        LocalRef<jstring> type(toJavaStringUtf(format));
        const LocalRef<jbyteArray> bytes = localAs<jbyteArray>(callMethodObject(
            kSplash, nullptr, "imageBytes", "[B", "Ljava/lang/String;II", type.get(), jint{width}, jint{height}));
        const JavaByteElements data = readJavaByteArray(bytes.get());
        ASSERT_TRUE(
            loadSplashPicture(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), picture));
        EXPECT_FALSE(os::pathExists(splashImageFileName()));
        EXPECT_EQ(picture.width, width);
        fake.state = SplashWindowState::Shown;
        fake.size = {width - 2, height - 2};
        fake.clockMs = 1000 * 1000 + 999; // a second begins just after the start
        fake.repaints = fake.timers = 0;
        fake.ending = false;
        fake.lastFrame.clear();
        std::thread([&] { runSplashController(app, kFakeWindow, picture, frame); }).join();
        EXPECT_EQ(fake.state.load(), SplashWindowState::Gone);
        EXPECT_EQ(picture.image, nullptr);
        EXPECT_FALSE(frame.pixels);
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
    EXPECT_GE(field("paints"), 5);
    EXPECT_LE(field("paints"), 6);
    ASSERT_EQ(fake.lastFrame.size(), 58u * 48u);
    // The image at (0, 0) on white where it is transparent; the application's green square.
    EXPECT_EQ(at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(at(1, 0), 0xFF0000FFu);
    EXPECT_EQ(at(40, 20), 0xFFFFFFFFu);
    EXPECT_EQ(at(50, 6), 0xFF00FF00u);
    // The bar from x 10 to 1 pixel short of the image's right edge, 20 high with its lower edge
    // one pixel above the image's bottom: the frame (the image less its border) cuts its last
    // row and column. Done throughout at its maximum.
    EXPECT_EQ(at(9, 40), 0xFF0000FFu);
    EXPECT_NE(at(10, 40), 0xFF0000FFu);
    EXPECT_EQ(at(40, 28), 0xFFFFFFFFu);
    EXPECT_NE(at(40, 29), 0xFFFFFFFFu);
    EXPECT_NE(at(40, 47), 0xFFFFFFFFu);
    EXPECT_NE(at(57, 40), 0xFFFFFFFFu);
    EXPECT_EQ(at(55, 40), at(30, 40));

    // A BMP; the application's values, negative ones first, close it; its tick raised to 100 ms.
    callMethodVoid(kSplash, nullptr, "forget", nullptr);
    run("fixture.Splash$Valued", "bmp", 80, 40);
    EXPECT_EQ(calls(), "sphInit sphFinish");
    EXPECT_EQ(fake.lastSleep.load(), 100u);
    EXPECT_EQ(at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(at(60, 5), 0xFF000000u);
    EXPECT_GE(field("paints"), 5);
}

TEST_F(SplashController, CloseRulesTheApplicationsMethodsThreeSecondsAndTheLaunchersEnd) {
    // isCloseSplash first, then sphIsClose, every tick of 250 ms; no painting, no repaint thread.
    setField("closeAfter", 3);
    run("fixture.Splash$Closing");
    EXPECT_EQ(calls(), "isCloseSplash sphIsClose isCloseSplash sphIsClose isCloseSplash sphIsClose");
    EXPECT_EQ(fake.ticks.load(), 2);
    EXPECT_EQ(fake.lastSleep.load(), 250u);
    EXPECT_EQ(fake.repaints.load(), 0);

    // No methods: closed once more than 3 whole seconds have passed since the start.
    fake.ticks = 0;
    run("fixture.Splash$Bare");
    EXPECT_EQ(fake.ticks.load(), 4);
    EXPECT_EQ(fake.lastSleep.load(), 1000u);

    // The launcher's end, and a window thread that ends by itself, close it whatever the
    // application says.
    for (const bool launcherEnds : {true, false}) {
        callMethodVoid(kSplash, nullptr, "forget", nullptr);
        fake.ticks = 0;
        std::thread ender([launcherEnds] {
            while (fake.ticks.load() < 3)
                os::sleepMs(5);
            if (launcherEnds)
                fake.ending = true;
            else
                fake.state = SplashWindowState::Gone;
        });
        run("fixture.Splash$Closing");
        ender.join();
        EXPECT_GE(fake.ticks.load(), 3);
        EXPECT_LE(fake.ticks.load(), 4);
    }
}

TEST_F(SplashController, ClosingWhileASlowPaintRunsFinishesAfterItAndLeavesNothingBehind) {
    int threads = 0; // after the first round, which may start the VM's own drawing threads
    for (int round = 0; round < 50; ++round) {
        callMethodVoid(kSplash, nullptr, "forget", nullptr);
        setField("closeAfter", 3 + round % 3);
        fake.closed = false;
        fake.painter = std::thread([] {
            while (!fake.closed.load())
                fake.blit();
        });
        run("fixture.Splash$Slow");
        EXPECT_GE(field("paints"), 1) << round;
        EXPECT_EQ(field("finished"), 1) << round;
        EXPECT_EQ(field("finishWhilePainting"), 0) << round;
        EXPECT_EQ(field("paintAfterFinish"), 0) << round;
        if (round == 0) threads = callMethodInt(kSplash, nullptr, "threads", nullptr);
        EXPECT_EQ(callMethodInt(kSplash, nullptr, "threads", nullptr), threads) << round;
    }
}

// The cases above in a VM of their own under -Xcheck:jni: no fatal error, no warning.
TEST(SplashUnderJniChecks, TheSameCasesRunClean) {
    char self[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    Environment environment = launcherEnvironment();
    setVariable(environment, "TAVRELO_TEST_VM_OPTIONS", "-Xcheck:jni -Djava.awt.headless=true");
    const RunResult run = runProgram(self, {"--gtest_filter=SplashController.*"}, environment, 110);
    const std::string output = run.out + run.err;
    EXPECT_EQ(run.status, 0) << output;
    EXPECT_NE(run.out.find("[  PASSED  ] 3 tests"), std::string::npos) << output;
    EXPECT_EQ(output.find("WARNING"), std::string::npos) << output;
    EXPECT_EQ(output.find("FATAL"), std::string::npos) << output;
}

} // namespace
} // namespace tavrelo::test
