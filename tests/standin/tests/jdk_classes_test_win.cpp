// The stand-in's JDK classes answer the launcher's calls as a JDK would.
#include "runtime_support.h"

namespace tavrelo::standin::test {
namespace {

// A jar written by an archiver that deflates every entry (Main-Class: com.example.Packed).
constexpr char kDeflatedJarHex[] =
    "504b0304140000000800a720885df31c56c7740000008b000000140000004d4554412d494e462f4d414e49464553542e4d46"
    "358b310ac33010047b81fe701f90485a95716d4895fe90d7584496ccdd91c4bf8f52a459d8d9d9995b59a1161e102dbd25ba"
    "c68b77339716a6caaa8972df233ebc1f15f1cef989c5bb49c08625dcce444ca35462c95b7941c836b6dfe910a84209039e84"
    "6623fb3a66fc5d2a466f2906f5cebb2f504b0304140000000800a720885d6641e5c1090000002c00000018000000636f6d2f"
    "6578616d706c652f5061636b65642e636c6173733bf56fd7be0a220100504b01021403140000000800a720885df31c56c774"
    "0000008b0000001400000000000000000000008001000000004d4554412d494e462f4d414e49464553542e4d46504b010214"
    "03140000000800a720885d6641e5c1090000002c0000001800000000000000000000008001a6000000636f6d2f6578616d70"
    "6c652f5061636b65642e636c617373504b0506000000000200020088000000e50000000000";

std::string fromHex(std::string_view hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
    return out;
}

// The launcher's main-class lookups: the manifest's Main-Class and the entry names.
struct JarReader {
    explicit JarReader(JNIEnv* e) : env(e) {
        jar = env->FindClass("java/util/jar/JarFile");
        enumeration = env->FindClass("java/util/Enumeration");
        entry = env->FindClass("java/util/jar/JarEntry");
    }
    jobject open(const Text& path) {
        jstring name = env->NewString(reinterpret_cast<const jchar*>(path.data()), static_cast<jsize>(path.size()));
        return env->NewObject(jar, env->GetMethodID(jar, "<init>", "(Ljava/lang/String;)V"), name);
    }
    std::string mainClass(jobject file) {
        jobject manifest = env->CallObjectMethod(file, env->GetMethodID(jar, "getManifest", "()Ljava/util/jar/Manifest;"));
        if (!manifest) return "<no manifest>";
        jclass manifestClass = env->FindClass("java/util/jar/Manifest");
        jobject attributes = env->CallObjectMethod(manifest, env->GetMethodID(manifestClass, "getMainAttributes", "()Ljava/util/jar/Attributes;"));
        jclass attributesClass = env->FindClass("java/util/jar/Attributes");
        return javaString(env, static_cast<jstring>(env->CallObjectMethod(
                                   attributes, env->GetMethodID(attributesClass, "getValue", "(Ljava/lang/String;)Ljava/lang/String;"),
                                   env->NewStringUTF("Main-Class"))));
    }
    std::vector<std::string> names(jobject file) {
        std::vector<std::string> out;
        jobject all = env->CallObjectMethod(file, env->GetMethodID(jar, "entries", "()Ljava/util/Enumeration;"));
        jmethodID more = env->GetMethodID(enumeration, "hasMoreElements", "()Z");
        jmethodID next = env->GetMethodID(enumeration, "nextElement", "()Ljava/lang/Object;");
        jmethodID getName = env->GetMethodID(entry, "getName", "()Ljava/lang/String;");
        while (env->CallBooleanMethod(all, more))
            out.push_back(javaString(env, static_cast<jstring>(env->CallObjectMethod(env->CallObjectMethod(all, next), getName))));
        return out;
    }
    JNIEnv* env;
    jclass jar, enumeration, entry;
};

TEST(StandinJdk, JarFileReadsTheManifestMainClassAndTheEntries) {
    LoadedRuntime rt("");
    ASSERT_EQ(rt.start(), JNI_OK);
    JarReader reader(rt.env);
    const Text stored = rt.dir / u"Demo.jar";
    ASSERT_TRUE(writeJar(stored, "demo.App", {{"demo/App.class", "\xCA\xFE\xBA\xBE"}, {"com/x/DEMO.CLASS", "x"}}));
    jobject file = reader.open(stored);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(reader.mainClass(file), "demo.App");
    EXPECT_EQ(reader.names(file), (std::vector<std::string>{"META-INF/MANIFEST.MF", "demo/App.class", "com/x/DEMO.CLASS"}));

    const Text deflated = rt.dir / u"Packed.jar";
    ASSERT_TRUE(os::writeFile(deflated, fromHex(kDeflatedJarHex)));
    jobject packed = reader.open(deflated);
    ASSERT_NE(packed, nullptr);
    EXPECT_EQ(reader.mainClass(packed), "com.example.Packed");

    const Text plain = rt.dir / u"Plain.jar";
    ASSERT_TRUE(writeJar(plain, "", {{"a/B.class", "x"}}));
    EXPECT_EQ(reader.mainClass(reader.open(plain)), "<no manifest>");

    // A missing or broken archive throws, and the launcher treats that as "not found".
    EXPECT_EQ(reader.open(rt.dir / u"Missing.jar"), nullptr);
    jthrowable missing = rt.env->ExceptionOccurred();
    rt.env->ExceptionClear();
    EXPECT_TRUE(rt.env->IsInstanceOf(missing, rt.env->FindClass("java/io/IOException")));
    const Text text = rt.dir / u"Text.jar";
    ASSERT_TRUE(os::writeFile(text, "not an archive"));
    EXPECT_EQ(reader.open(text), nullptr);
    jthrowable broken = rt.env->ExceptionOccurred();
    rt.env->ExceptionClear();
    EXPECT_TRUE(rt.env->IsInstanceOf(broken, rt.env->FindClass("java/util/zip/ZipException")));
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << rt.log().text();
}

std::string bitmap(int width, int height, const std::vector<std::uint32_t>& rgb) {
    const int stride = (width * 3 + 3) & ~3;
    std::string pixels(static_cast<std::size_t>(stride * height), '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = rgb[static_cast<std::size_t>(y * width + x)];
            const std::size_t at = static_cast<std::size_t>((height - 1 - y) * stride + x * 3);
            pixels[at] = static_cast<char>(c & 0xFF);
            pixels[at + 1] = static_cast<char>((c >> 8) & 0xFF);
            pixels[at + 2] = static_cast<char>((c >> 16) & 0xFF);
        }
    std::string file = "BM";
    auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) file.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    auto put16 = [&](std::uint32_t v) {
        file.push_back(static_cast<char>(v & 0xFF));
        file.push_back(static_cast<char>(v >> 8));
    };
    put32(static_cast<std::uint32_t>(54 + pixels.size()));
    put32(0);
    put32(54);
    put32(40);
    put32(static_cast<std::uint32_t>(width));
    put32(static_cast<std::uint32_t>(height));
    put16(1);
    put16(24);
    for (int i = 0; i < 6; ++i) put32(0);
    return file + pixels;
}

TEST(StandinJdk, ImagesArePixelArraysThatGraphicsPaintAndImageIoReads) {
    LoadedRuntime rt("");
    ASSERT_EQ(rt.start(), JNI_OK);
    JNIEnv* env = rt.env;
    jclass imageClass = env->FindClass("java/awt/image/BufferedImage");
    jobject image = env->NewObject(imageClass, env->GetMethodID(imageClass, "<init>", "(III)V"), 3, 2, 2);
    jobject graphics = env->CallObjectMethod(image, env->GetMethodID(imageClass, "createGraphics", "()Ljava/awt/Graphics2D;"));
    jclass colorClass = env->FindClass("java/awt/Color");
    jobject red = env->GetStaticObjectField(colorClass, env->GetStaticFieldID(colorClass, "RED", "Ljava/awt/Color;"));
    jclass graphicsClass = env->FindClass("java/awt/Graphics2D");
    env->CallVoidMethod(graphics, env->GetMethodID(graphicsClass, "setColor", "(Ljava/awt/Color;)V"), red);
    env->CallVoidMethod(graphics, env->GetMethodID(graphicsClass, "fillRect", "(IIII)V"), 1, 0, 5, 5);
    auto pixels = static_cast<jintArray>(env->CallObjectMethod(
        image, env->GetMethodID(imageClass, "getRGB", "(IIII[III)[I"), 0, 0, 3, 2, nullptr, 0, 3));
    ASSERT_EQ(env->GetArrayLength(pixels), 6);
    jint* elements = env->GetIntArrayElements(pixels, nullptr);
    const std::vector<std::uint32_t> seen(elements, elements + 6);
    env->ReleaseIntArrayElements(pixels, elements, JNI_ABORT);
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{0, 0xFFFF0000u, 0xFFFF0000u, 0, 0xFFFF0000u, 0xFFFF0000u}));

    // ImageIO reads a bitmap's pixels, a PNG's size, and nothing from a text file.
    jclass fileClass = env->FindClass("java/io/File");
    jmethodID fileInit = env->GetMethodID(fileClass, "<init>", "(Ljava/lang/String;)V");
    jclass imageIo = env->FindClass("javax/imageio/ImageIO");
    jmethodID read = env->GetStaticMethodID(imageIo, "read", "(Ljava/io/File;)Ljava/awt/image/BufferedImage;");
    auto load = [&](const Text& path) {
        jobject file = env->NewObject(fileClass, fileInit, env->NewString(reinterpret_cast<const jchar*>(path.data()), static_cast<jsize>(path.size())));
        return env->CallStaticObjectMethod(imageIo, read, file);
    };
    const Text bmp = rt.dir / u"splash.bmp";
    ASSERT_TRUE(os::writeFile(bmp, bitmap(2, 2, {0x112233, 0x445566, 0x778899, 0xAABBCC})));
    jobject loaded = load(bmp);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(env->CallIntMethod(loaded, env->GetMethodID(imageClass, "getRGB", "(II)I"), 1, 1), static_cast<jint>(0xFFAABBCC));
    const Text png = rt.dir / u"splash.png";
    ASSERT_TRUE(os::writeFile(png, std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x01\x90\0\0\0\xc8", 24)));
    jobject sized = load(png);
    ASSERT_NE(sized, nullptr);
    EXPECT_EQ(env->CallIntMethod(sized, env->GetMethodID(imageClass, "getWidth", "()I")), 400);
    EXPECT_EQ(env->CallIntMethod(sized, env->GetMethodID(imageClass, "getHeight", "()I")), 200);
    const Text notImage = rt.dir / u"notes.txt";
    ASSERT_TRUE(os::writeFile(notImage, "just text"));
    EXPECT_EQ(load(notImage), nullptr);
    EXPECT_FALSE(env->ExceptionCheck());

    // A progress bar paints its done part where the graphics were moved to.
    jclass barClass = env->FindClass("javax/swing/JProgressBar");
    jobject bar = env->NewObject(barClass, env->GetMethodID(barClass, "<init>", "()V"));
    env->CallVoidMethod(bar, env->GetMethodID(barClass, "setMaximum", "(I)V"), 4);
    env->CallVoidMethod(bar, env->GetMethodID(barClass, "setValue", "(I)V"), 9); // kept within the maximum
    env->CallVoidMethod(bar, env->GetMethodID(barClass, "setSize", "(II)V"), 2, 1);
    env->CallVoidMethod(graphics, env->GetMethodID(graphicsClass, "translate", "(II)V"), 1, 1);
    env->CallVoidMethod(bar, env->GetMethodID(barClass, "update", "(Ljava/awt/Graphics;)V"), graphics);
    EXPECT_EQ(env->CallIntMethod(bar, env->GetMethodID(barClass, "getValue", "()I")), 4);
    EXPECT_EQ(env->CallIntMethod(image, env->GetMethodID(imageClass, "getRGB", "(II)I"), 2, 1), static_cast<jint>(0xFF3060C0));
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << rt.log().text();
}

TEST(StandinJdk, SystemPropertiesAndVectors) {
    LoadedRuntime rt("");
    ASSERT_EQ(rt.start({"-Dpath=C:\\tmp"}), JNI_OK);
    JNIEnv* env = rt.env;
    jclass system = env->FindClass("java/lang/System");
    jmethodID set = env->GetStaticMethodID(system, "setProperty", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;");
    jmethodID get = env->GetStaticMethodID(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
    EXPECT_EQ(env->CallStaticObjectMethod(system, set, env->NewStringUTF("name"), env->NewStringUTF("\xC3\xA9t\xC3\xA9")), nullptr);
    EXPECT_EQ(javaString(env, static_cast<jstring>(env->CallStaticObjectMethod(system, get, env->NewStringUTF("name")))), "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(javaString(env, static_cast<jstring>(env->CallStaticObjectMethod(system, get, env->NewStringUTF("path")))), "C:\\tmp");
    EXPECT_TRUE(rt.log().has("call", "java.lang.System.setProperty(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String; (\"name\", \"\xC3\xA9t\xC3\xA9\") -> null"));

    jclass vectorClass = env->FindClass("java/util/Vector");
    jobject vector = env->NewObject(vectorClass, env->GetMethodID(vectorClass, "<init>", "()V"));
    env->CallBooleanMethod(vector, env->GetMethodID(vectorClass, "add", "(Ljava/lang/Object;)Z"), env->NewStringUTF("row"));
    auto rows = static_cast<jobjectArray>(env->CallObjectMethod(vector, env->GetMethodID(vectorClass, "toArray", "()[Ljava/lang/Object;")));
    ASSERT_EQ(env->GetArrayLength(rows), 1);
    EXPECT_EQ(javaString(env, static_cast<jstring>(env->GetObjectArrayElement(rows, 0))), "row");
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << rt.log().text();
}

} // namespace
} // namespace tavrelo::standin::test
