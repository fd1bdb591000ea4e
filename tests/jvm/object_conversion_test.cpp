// Serialized objects and images against the real JVM, in this process (fixture.Objects and
// fixture.Parcel give the objects and record what the feature methods received).
#include <gtest/gtest.h>

#include <thread>

#include "bridge/object_conversion.h"
#include "jvm_support.h"

namespace tavrelo::test {
namespace {

constexpr char kObjects[] = "fixture.Objects";
const std::string kStreamHeader("\xAC\xED\x00\x05", 4);

LocalRef<jobject> make(const char* method, const char* resultClass) {
    return callMethodObject(kObjects, nullptr, method, resultClass, nullptr);
}
LocalRef<jobject> makeParcel(const char16_t* label, int payloadBytes) {
    LocalRef<jstring> text(toJavaString(label));
    return callMethodObject(kObjects, nullptr, "parcel", "fixture.Parcel", "Ljava/lang/String;I", text.get(),
                            jint{payloadBytes});
}
std::string javaText(const LocalRef<jobject>& string) { return toUtf8(fromJavaString(string)); }
std::string valueOf(jobject object) {
    return javaText(
        callMethodObject("java.lang.String", nullptr, "valueOf", "java.lang.String", "Ljava/lang/Object;", object));
}
std::string describeParcel(jobject parcel) {
    return parcel ? javaText(callMethodObject("fixture.Parcel", parcel, "describe", "java.lang.String", nullptr))
                  : "null";
}
std::string received() { return javaText(make("describeReceived", "java.lang.String")); }
// The text before `marker`, or all of it.
std::string before(const std::string& text, const std::string& marker) { return text.substr(0, text.find(marker)); }
int callCount() { return callMethodInt(kObjects, nullptr, "callCount", nullptr); }

class ObjectStreams : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureJavaVm();
        setMainClassName(kObjects); // the filter's own package
        callMethodVoid(kObjects, nullptr, "forget", nullptr);
    }
};

TEST_F(ObjectStreams, DateCollectionAndApplicationObjectSurviveTheRoundTrip) {
    LocalRef<jobject> date(callMethodObject(kObjects, nullptr, "date", "java.util.Date", "J", jlong{1234567890123}));
    LocalRef<jobject> map(make("collection", "java.util.Map"));
    LocalRef<jobject> parcel(makeParcel(u"caf\u00e9", 3000));
    ASSERT_TRUE(date && map && parcel);
    for (jobject original : {date.get(), map.get()}) {
        const std::string bytes = serializeObject(original);
        ASSERT_GT(bytes.size(), kStreamHeader.size());
        EXPECT_EQ(bytes.substr(0, 4), kStreamHeader);
        LocalRef<jobject> back(deserializeObject(bytes.data(), bytes.size()));
        ASSERT_TRUE(back);
        EXPECT_FALSE(javaEnv()->IsSameObject(back.get(), original));
        EXPECT_EQ(valueOf(back.get()), valueOf(original));
    }
    EXPECT_EQ(valueOf(map.get()), "{one=1, three=3, two=2}");

    // An application class resolves through the system class loader, also on a thread that has
    // no Java frames at all.
    const std::string bytes = serializeObject(parcel.get());
    const std::string expected = describeParcel(parcel.get());
    EXPECT_EQ(before(expected, "|3000|"), "caf\xC3\xA9|[caf\xC3\xA9, \xC3\xA9t\xC3\xA9, 3000]");
    LocalRef<jobject> back(deserializeObject(bytes.data(), bytes.size()));
    EXPECT_EQ(describeParcel(back.get()), expected);
    std::string onOtherThread;
    std::thread([&] {
        JavaThreadScope scope;
        LocalRef<jobject> there(deserializeObject(bytes.data(), bytes.size()));
        onOtherThread = describeParcel(there.get());
    }).join();
    EXPECT_EQ(onOtherThread, expected);
}

TEST_F(ObjectStreams, WhatCannotBeSerializedGivesTheStreamHeaderOnly) {
    LocalRef<jobject> thread(make("notSerializable", "java.lang.Object"));
    LocalRef<jobject> partly(make("partlySerializable", "java.lang.Object"));
    ASSERT_TRUE(thread && partly);
    EXPECT_EQ(serializeObject(thread.get()), kStreamHeader);
    EXPECT_EQ(serializeObject(partly.get()), kStreamHeader);
    EXPECT_EQ(javaEnv()->ExceptionCheck(), JNI_FALSE);
    // The header alone holds no object.
    EXPECT_EQ(deserializeObject(kStreamHeader.data(), kStreamHeader.size()), nullptr);
    EXPECT_EQ(serializeObject(nullptr), "");
}

TEST_F(ObjectStreams, NoBytesOrBadBytesGiveNoObject) {
    const std::string bytes = serializeObject(makeParcel(u"x", 10).get());
    ASSERT_GT(bytes.size(), 20u);
    EXPECT_EQ(deserializeObject(bytes.data(), 0), nullptr);
    EXPECT_EQ(deserializeObject(nullptr, 0), nullptr);
    EXPECT_EQ(deserializeObject(nullptr, 10), nullptr);
    EXPECT_EQ(deserializeObject(bytes.data(), bytes.size() / 2), nullptr); // cut short
    // A class this side does not have.
    std::string unknown = bytes;
    const std::size_t name = unknown.find("fixture.Parcel");
    ASSERT_NE(name, std::string::npos);
    unknown.replace(name, 14, "fixture.Parcex");
    EXPECT_EQ(deserializeObject(unknown.data(), unknown.size()), nullptr);
    const std::string garbage = "not a Java object stream";
    EXPECT_EQ(deserializeObject(garbage.data(), garbage.size()), nullptr);
    EXPECT_EQ(javaEnv()->ExceptionCheck(), JNI_FALSE);
}

TEST_F(ObjectStreams, FeatureMethodsGiveAndTakeObjectsAsBytes) {
    FeatureInterface record{5, nullptr};
    ASSERT_EQ(bindMethod(record, kObjects, 0, "giveParcel", "(I)Ljava/lang/Object;"), 1);
    ASSERT_EQ(bindMethod(record, kObjects, 1, "giveNothing", "()Ljava/lang/Object;"), 1);
    ASSERT_EQ(bindMethod(record, kObjects, 2, "receive", "(Ljava/lang/Object;)V"), 1);
    ASSERT_EQ(bindMethod(record, kObjects, 3, "receiveNumbered", "(ILjava/lang/Object;)V"), 1);

    const std::string given = callObjectAsBytes(record, 0, jint{100});
    LocalRef<jobject> parcel(deserializeObject(given.data(), given.size()));
    EXPECT_EQ(before(describeParcel(parcel.get()), "|100|"), "given|[given, \xC3\xA9t\xC3\xA9, 100]");
    EXPECT_EQ(callObjectAsBytes(record, 1), "");
    EXPECT_EQ(callObjectAsBytes(record, 4), ""); // not bound

    // The object travels on to the receiving method.
    callWithObjectFromBytes(record, 2, kNoLeadingInteger, given.data(), given.size());
    EXPECT_EQ(received().substr(0, 13), "Parcel given|");
    EXPECT_EQ(callCount(), 1);
    // No bytes: the method is still called, with null.
    callWithObjectFromBytes(record, 2, kNoLeadingInteger, given.data(), 0);
    EXPECT_EQ(received(), "null");
    EXPECT_EQ(callCount(), 2);

    // The leading integer when it is 0 or more.
    const std::string date = serializeObject(
        LocalRef<jobject>(callMethodObject(kObjects, nullptr, "date", "java.util.Date", "J", jlong{0})).get());
    for (int number : {0, 7}) {
        callWithObjectFromBytes(record, 3, number, date.data(), date.size());
        EXPECT_EQ(callMethodInt(kObjects, nullptr, "receivedNumber", nullptr), number);
        EXPECT_EQ(received().substr(0, 15), "java.util.Date ");
    }
    EXPECT_EQ(callCount(), 4);
    callWithObjectFromBytes(record, 4, kNoLeadingInteger, date.data(), date.size()); // not bound
    EXPECT_EQ(callCount(), 4);
}

TEST_F(ObjectStreams, OnlyAllowedClassesAreReadAndRefusedOnesAreNotDelivered) {
    FeatureInterface record{1, nullptr};
    ASSERT_EQ(bindMethod(record, kObjects, 0, "receive", "(Ljava/lang/Object;)V"), 1);
    const std::string gadget = serializeObject(LocalRef<jobject>(newObject("outside.Gadget", nullptr)).get());
    const std::string parcel = serializeObject(makeParcel(u"p", 4).get());
    ASSERT_GT(gadget.size(), 4u);
    const auto gadgetsRead = [] { return callMethodInt("outside.Gadget", nullptr, "readCount", nullptr); };
    const auto setFilter = [](const char* pattern) {
        LocalRef<jstring> key(toJavaStringUtf("tavrelo.serialFilter"));
        const LocalRef<jstring> value = pattern ? toJavaStringUtf(pattern) : LocalRef<jstring>();
        LocalRef<jobject> previous(
            pattern ? callMethodObject("java.lang.System", nullptr, "setProperty", "java.lang.String",
                                       "Ljava/lang/String;Ljava/lang/String;", key.get(), value.get())
                    : callMethodObject("java.lang.System", nullptr, "clearProperty", "java.lang.String",
                                       "Ljava/lang/String;", key.get()));
    };

    // By default: the application's package and the plain Java types, nothing else; a refused
    // object is never built (its readObject does not run) and the method is not called.
    callWithObjectFromBytes(record, 0, kNoLeadingInteger, gadget.data(), gadget.size());
    EXPECT_EQ(callCount(), 0);
    EXPECT_EQ(gadgetsRead(), 0);
    callWithObjectFromBytes(record, 0, kNoLeadingInteger, parcel.data(), parcel.size());
    EXPECT_EQ(received().substr(0, 9), "Parcel p|");

    // A configured pattern replaces the default one; one the JVM refuses reads nothing.
    setFilter("outside.*;!*");
    callWithObjectFromBytes(record, 0, kNoLeadingInteger, gadget.data(), gadget.size());
    EXPECT_EQ(received().substr(0, 15), "outside.Gadget ");
    EXPECT_EQ(gadgetsRead(), 1);
    EXPECT_EQ(deserializeObject(parcel.data(), parcel.size()), nullptr);
    setFilter("maxdepth=x");
    EXPECT_EQ(deserializeObject(gadget.data(), gadget.size()), nullptr);
    setFilter(nullptr);
    EXPECT_EQ(callCount(), 2);
    EXPECT_EQ(javaEnv()->ExceptionCheck(), JNI_FALSE);
}

// ---- Images -----------------------------------------------------------------------------------

class Images : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureJavaVm();
        useHeadlessAwt();
        callMethodVoid(kObjects, nullptr, "forget", nullptr);
    }
    static unsigned pixel(jobject image, int x, int y) {
        return static_cast<unsigned>(
            callMethodInt(kObjects, nullptr, "pixel", "Ljava/awt/image/BufferedImage;II", image, jint{x}, jint{y}));
    }
    static std::string size(jobject image) {
        return javaText(
            callMethodObject(kObjects, nullptr, "size", "java.lang.String", "Ljava/awt/image/BufferedImage;", image));
    }
    static unsigned at(const ImagePixels& frame, int x, int y) {
        return static_cast<unsigned>(frame.data()[y * frame.width() + x]);
    }
};

TEST_F(Images, FramePaintedByTheApplicationComesBackAsPixels) {
    FeatureInterface record{3, nullptr};
    ASSERT_EQ(bindMethod(record, kObjects, 0, "paintHalves", "(Ljava/awt/Graphics2D;II)V"), 1);
    ASSERT_EQ(bindMethod(record, kObjects, 1, "paintFails", "(Ljava/awt/Graphics2D;II)V"), 1);

    ImagePixels frame;
    ASSERT_TRUE(renderFrame(record, 0, 40, 30, frame));
    EXPECT_EQ(javaText(make("paintedSize", "java.lang.String")), "40x30");
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame.width(), 40);
    EXPECT_EQ(frame.height(), 30);
    EXPECT_EQ(at(frame, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(at(frame, 19, 29), 0xFFFF0000u);
    EXPECT_EQ(at(frame, 20, 0), 0x800000FFu);
    EXPECT_EQ(at(frame, 39, 29), 0xFFFFFFFFu);

    // The next frame replaces it.
    ASSERT_TRUE(renderFrame(record, 0, 9, 5, frame));
    EXPECT_EQ(frame.width(), 9);
    EXPECT_EQ(at(frame, 8, 4), 0xFFFFFFFFu);
    EXPECT_EQ(at(frame, 5, 0), 0x800000FFu);

    // A painter that throws leaves a blank frame; the exception goes no further.
    ASSERT_TRUE(renderFrame(record, 1, 4, 4, frame));
    EXPECT_EQ(at(frame, 0, 0), 0u);
    EXPECT_EQ(javaEnv()->ExceptionCheck(), JNI_FALSE);
    EXPECT_EQ(callCount(), 3);

    // No painter, or no possible image: the last frame stays.
    EXPECT_FALSE(renderFrame(record, 2, 4, 4, frame));
    EXPECT_FALSE(renderFrame(record, 0, 0, 4, frame));
    EXPECT_FALSE(renderFrame(record, 0, 100000, 100000, frame));
    EXPECT_EQ(frame.width(), 4);
    EXPECT_EQ(callCount(), 3);
    frame.release();
    EXPECT_FALSE(frame);
}

TEST_F(Images, ImageGraphicsAndPixelsOfTheirOwn) {
    LocalRef<jobject> image(newArgbImage(3, 2));
    ASSERT_TRUE(image);
    EXPECT_EQ(size(image.get()), "3x2");
    LocalRef<jobject> graphics(createGraphics(image.get()));
    ASSERT_TRUE(graphics);
    LocalRef<jobject> green(colorByName("green"));
    callMethodVoid("java.awt.Graphics", graphics.get(), "setColor", "Ljava/awt/Color;", green.get());
    callMethodVoid("java.awt.Graphics", graphics.get(), "fillRect", "IIII", jint{1}, jint{0}, jint{1}, jint{2});
    const ImagePixels pixels = imagePixels(image.get(), 3, 2);
    ASSERT_TRUE(pixels);
    EXPECT_EQ(at(pixels, 0, 0), 0u);
    EXPECT_EQ(at(pixels, 1, 0), 0xFF00FF00u);
    EXPECT_EQ(at(pixels, 1, 1), 0xFF00FF00u);
    EXPECT_EQ(at(pixels, 2, 1), 0u);

    EXPECT_EQ(newArgbImage(0, 5), nullptr);
    EXPECT_EQ(newArgbImage(5, -1), nullptr);
    EXPECT_EQ(createGraphics(nullptr), nullptr);
    EXPECT_FALSE(imagePixels(nullptr, 3, 2));
    EXPECT_FALSE(imagePixels(image.get(), 4, 2)); // beyond the image
}

TEST_F(Images, ImageFilesAreReadOrRefused) {
    // A 3 x 2 PNG: red, green, blue / transparent white, black, #123456 at half alpha.
    static const unsigned char png[] = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
        0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x08, 0x06, 0x00, 0x00, 0x00, 0x9D, 0x74, 0x66, 0x1A, 0x00,
        0x00, 0x00, 0x1A, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0xF8, 0xCF, 0xC0, 0xF0, 0x1F, 0x0C, 0x19,
        0xFE, 0x03, 0x49, 0x20, 0x06, 0x82, 0xFF, 0x42, 0x26, 0x61, 0x0D, 0x00, 0x99, 0x92, 0x0B, 0x13, 0x1E,
        0xE5, 0xD0, 0xE2, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    TempDir dir;
    const Text file = dir.write(u"pict\u00fcre.png", std::string(reinterpret_cast<const char*>(png), sizeof png));
    LocalRef<jobject> image(readImageFile(file));
    ASSERT_TRUE(image);
    EXPECT_EQ(size(image.get()), "3x2");
    EXPECT_EQ(pixel(image.get(), 0, 0), 0xFFFF0000u);
    EXPECT_EQ(pixel(image.get(), 1, 0), 0xFF00FF00u);
    EXPECT_EQ(pixel(image.get(), 2, 0), 0xFF0000FFu);
    EXPECT_EQ(pixel(image.get(), 0, 1), 0x00FFFFFFu);
    EXPECT_EQ(pixel(image.get(), 2, 1), 0x80123456u);

    EXPECT_EQ(readImageFile(dir.write(u"notes.png", "plain text, not an image")), nullptr);
    EXPECT_EQ(readImageFile(dir / u"missing.png"), nullptr);
    EXPECT_EQ(readImageFile(u""), nullptr);
    EXPECT_EQ(javaEnv()->ExceptionCheck(), JNI_FALSE);
}

TEST_F(Images, ColorsByFieldName) {
    const auto rgb = [](const LocalRef<jobject>& color) {
        return javaText(
            callMethodObject(kObjects, nullptr, "rgb", "java.lang.String", "Ljava/awt/Color;", color.get()));
    };
    EXPECT_EQ(rgb(colorByName("red")), "ffff0000");
    EXPECT_EQ(rgb(colorByName("BLUE")), "ff0000ff");
    EXPECT_EQ(rgb(colorByName("darkGray")), "ff404040");
    EXPECT_EQ(colorByName("Red"), nullptr); // field names keep their case
    EXPECT_EQ(colorByName("purple"), nullptr);
    EXPECT_EQ(colorByName(""), nullptr);
    EXPECT_EQ(colorByName(nullptr), nullptr);
    EXPECT_EQ(javaEnv()->ExceptionCheck(), JNI_FALSE);
}

TEST_F(Images, IconsFromPixelsOnSwingComponents) {
    jint pixels[kIconPixels];
    for (std::size_t i = 0; i < kIconPixels; ++i)
        pixels[i] = static_cast<jint>(0xFF000000u | (i * 0x010203u));
    LocalRef<jobject> image(iconImageFromPixels(pixels, kIconPixels));
    ASSERT_TRUE(image);
    EXPECT_EQ(size(image.get()), "16x16");
    EXPECT_EQ(pixel(image.get(), 0, 0), 0xFF000000u);
    EXPECT_EQ(pixel(image.get(), 5, 0), static_cast<unsigned>(pixels[5]));
    EXPECT_EQ(pixel(image.get(), 0, 1), static_cast<unsigned>(pixels[16]));
    EXPECT_EQ(pixel(image.get(), 15, 15), static_cast<unsigned>(pixels[255]));

    // Fewer pixels than an icon holds: the rest is transparent.
    LocalRef<jobject> partial(iconImageFromPixels(pixels, 20));
    ASSERT_TRUE(partial);
    EXPECT_EQ(pixel(partial.get(), 3, 1), static_cast<unsigned>(pixels[19]));
    EXPECT_EQ(pixel(partial.get(), 4, 1), 0u);
    EXPECT_EQ(pixel(partial.get(), 15, 15), 0u);
    EXPECT_EQ(iconImageFromPixels(nullptr, 5), nullptr);

    LocalRef<jobject> icon(imageIconFromPixels(pixels, kIconPixels));
    ASSERT_TRUE(icon);
    EXPECT_EQ(
        javaText(callMethodObject(kObjects, nullptr, "iconSize", "java.lang.String", "Ljavax/swing/Icon;", icon.get())),
        "16x16");
    EXPECT_EQ(static_cast<unsigned>(callMethodInt(kObjects, nullptr, "iconPixel", "Ljavax/swing/ImageIcon;II",
                                                  icon.get(), jint{2}, jint{3})),
              static_cast<unsigned>(pixels[3 * 16 + 2]));

    const std::pair<const char*, const char*> makers[] = {{"label", "javax.swing.JLabel"},
                                                          {"button", "javax.swing.JButton"}};
    for (const auto& [maker, type] : makers) {
        LocalRef<jobject> component(make(maker, type));
        ASSERT_TRUE(component) << maker;
        setComponentIcon(component.get(), icon.get());
        LocalRef<jobject> set(
            callMethodObject(kObjects, nullptr, "iconOf", "javax.swing.Icon", "Ljava/lang/Object;", component.get()));
        EXPECT_TRUE(javaEnv()->IsSameObject(set.get(), icon.get())) << maker;
    }
    // Objects without setIcon, and absent ones, are left alone.
    LocalRef<jobject> plain(make("plainObject", "java.lang.Object"));
    setComponentIcon(plain.get(), icon.get());
    setComponentIcon(nullptr, icon.get());
    EXPECT_EQ(javaEnv()->ExceptionCheck(), JNI_FALSE);
}

} // namespace
} // namespace tavrelo::test
