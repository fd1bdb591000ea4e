// The bridge's object and image conversions in a Windows build, against the stand-in runtime
// loaded into this process: every call they make is one a JDK answers, in the way JNI allows
// (the stand-in logs anything else as an error).
#include "bridge/object_conversion.h"
#include "launcher/java_runtime.h"
#include "runtime_support.h"

namespace tavrelo::standin::test {
namespace {

constexpr char kScenario[] = R"(
class demo.App
  method give ()Ljava/lang/Object;
    return object parcel-1
  method take (ILjava/lang/Object;)V
  method sphPaint (Ljava/awt/Graphics2D;II)V
    fill 0 0 20 10 FF00FF00
)";

// Points the bridge at the loaded runtime for the test's duration.
class BridgeOnStandin {
  public:
    explicit BridgeOnStandin(LoadedRuntime& runtime) { javaRuntime().vm.store(runtime.vm); }
    ~BridgeOnStandin() { javaRuntime().vm.store(nullptr); }
    BridgeOnStandin(const BridgeOnStandin&) = delete;
    BridgeOnStandin& operator=(const BridgeOnStandin&) = delete;
};

TEST(BridgeObjectsOnStandin, ObjectsTravelAsBytesAndImagesAsPixels) {
    LoadedRuntime rt(kScenario);
    ASSERT_EQ(rt.start(), JNI_OK);
    BridgeOnStandin bridge(rt);
    FeatureInterface record{3, nullptr};
    ASSERT_EQ(bindMethod(record, "demo.App", 0, "give", "()Ljava/lang/Object;"), 1);
    ASSERT_EQ(bindMethod(record, "demo.App", 1, "take", "(ILjava/lang/Object;)V"), 1);
    ASSERT_EQ(bindMethod(record, "demo.App", 2, "sphPaint", "(Ljava/awt/Graphics2D;II)V"), 1);

    const std::string bytes = callObjectAsBytes(record, 0);
    EXPECT_EQ(bytes, std::string("\xAC\xED\x00\x05\x77\x08parcel-1", 14));
    callWithObjectFromBytes(record, 1, 3, bytes.data(), bytes.size());
    callWithObjectFromBytes(record, 1, 0, bytes.data(), 0);
    const CallLog log = rt.log();
    EXPECT_TRUE(log.has("call", "demo.App.take(ILjava/lang/Object;)V (3, object parcel-1)")) << log.text();
    EXPECT_TRUE(log.has("call", "demo.App.take(ILjava/lang/Object;)V (0, null)")) << log.text();

    LocalRef<jobject> plain(newObject("java.lang.Object", nullptr));
    EXPECT_EQ(serializeObject(plain.get()), std::string("\xAC\xED\x00\x05", 4));
    const std::string garbage = "no stream";
    EXPECT_EQ(deserializeObject(garbage.data(), garbage.size()), nullptr);

    ImagePixels frame;
    ASSERT_TRUE(renderFrame(record, 2, 40, 20, frame));
    EXPECT_EQ(static_cast<unsigned>(frame.data()[0]), 0xFF00FF00u);
    EXPECT_EQ(static_cast<unsigned>(frame.data()[15 * 40 + 30]), 0u);
    ASSERT_TRUE(renderFrame(record, 2, 8, 8, frame));
    EXPECT_EQ(frame.width(), 8);
    frame.release();

    jint pixels[kIconPixels] = {};
    pixels[17] = static_cast<jint>(0xFF123456u);
    LocalRef<jobject> icon(imageIconFromPixels(pixels, kIconPixels));
    ASSERT_TRUE(icon);
    LocalRef<jobject> label(newObject("javax.swing.JLabel", nullptr));
    setComponentIcon(label.get(), icon.get());
    EXPECT_TRUE(rt.log().has("call", "setIcon")) << rt.log().text();
    LocalRef<jobject> red(colorByName("red"));
    EXPECT_TRUE(red);
    const Text notes = rt.dir / u"notes.txt";
    ASSERT_TRUE(os::writeFile(notes, "just text"));
    EXPECT_EQ(readImageFile(notes), nullptr);
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << rt.log().text();
}

} // namespace
} // namespace tavrelo::standin::test
