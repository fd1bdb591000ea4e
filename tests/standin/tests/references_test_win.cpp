// Scenario values as Java sees them, painting through a Graphics argument, and the life of
// references and pinned memory.
#include "runtime_support.h"

namespace tavrelo::standin::test {
namespace {

TEST(StandinValues, ScenarioValuesReachTheCallerWithTheirJavaTypes) {
    LoadedRuntime rt(R"(
class demo.App
  method rows ()[[Ljava/lang/String;
    return [ ["Spooler" "Print Spooler" "4"] [] ]
  method bytes ()[B
    return [1 -1 127]
  method big ()J
    return 0x100000000
  method button ()Ljava/lang/Object;
    return new javax.swing.JButton
  method icon ()Ljava/awt/image/BufferedImage;
    return image 2 3 80FF0000
  method second (IZ)Z
    return arg 2
  method wrong ()Ljava/lang/String;
    return new javax.swing.JButton
  method paint (Ljava/awt/Graphics2D;II)V
    fill 1 0 1 1 FF00FF00
)");
    ASSERT_EQ(rt.start(), JNI_OK);
    JNIEnv* env = rt.env;
    jclass app = env->FindClass("demo/App");
    auto rows = static_cast<jobjectArray>(env->CallStaticObjectMethod(app, env->GetStaticMethodID(app, "rows", "()[[Ljava/lang/String;")));
    ASSERT_EQ(env->GetArrayLength(rows), 2);
    auto first = static_cast<jobjectArray>(env->GetObjectArrayElement(rows, 0));
    EXPECT_EQ(javaString(env, static_cast<jstring>(env->GetObjectArrayElement(first, 1))), "Print Spooler");
    EXPECT_EQ(env->GetArrayLength(static_cast<jarray>(env->GetObjectArrayElement(rows, 1))), 0);

    auto bytes = static_cast<jbyteArray>(env->CallStaticObjectMethod(app, env->GetStaticMethodID(app, "bytes", "()[B")));
    jbyte read[3] = {};
    env->GetByteArrayRegion(bytes, 0, 3, read);
    EXPECT_EQ(read[1], -1);
    EXPECT_EQ(read[2], 127);
    EXPECT_EQ(env->CallStaticLongMethod(app, env->GetStaticMethodID(app, "big", "()J")), 0x100000000LL);
    jobject button = env->CallStaticObjectMethod(app, env->GetStaticMethodID(app, "button", "()Ljava/lang/Object;"));
    EXPECT_TRUE(env->IsInstanceOf(button, env->FindClass("javax/swing/AbstractButton")));
    jobject icon = env->CallStaticObjectMethod(app, env->GetStaticMethodID(app, "icon", "()Ljava/awt/image/BufferedImage;"));
    jclass imageClass = env->FindClass("java/awt/image/BufferedImage");
    EXPECT_EQ(env->CallIntMethod(icon, env->GetMethodID(imageClass, "getHeight", "()I")), 3);
    EXPECT_EQ(env->CallIntMethod(icon, env->GetMethodID(imageClass, "getRGB", "(II)I"), 1, 2), static_cast<jint>(0x80FF0000));
    EXPECT_TRUE(env->CallStaticBooleanMethod(app, env->GetStaticMethodID(app, "second", "(IZ)Z"), 7, JNI_TRUE));

    // The scenario painting on the Graphics it receives, as a splash's sphPaint would.
    jobject canvas = env->NewObject(imageClass, env->GetMethodID(imageClass, "<init>", "(III)V"), 3, 1, 2);
    jobject graphics = env->CallObjectMethod(canvas, env->GetMethodID(imageClass, "createGraphics", "()Ljava/awt/Graphics2D;"));
    env->CallStaticVoidMethod(app, env->GetStaticMethodID(app, "paint", "(Ljava/awt/Graphics2D;II)V"), graphics, 3, 1);
    EXPECT_EQ(env->CallIntMethod(canvas, env->GetMethodID(imageClass, "getRGB", "(II)I"), 1, 0), static_cast<jint>(0xFF00FF00));
    EXPECT_EQ(env->CallIntMethod(canvas, env->GetMethodID(imageClass, "getRGB", "(II)I"), 0, 0), 0);
    EXPECT_TRUE(rt.log().has("call", "demo.App.paint(Ljava/awt/Graphics2D;II)V (<sun.java2d.SunGraphics2D#"));
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << rt.log().text();

    // A value that does not fit the declared type is the scenario's mistake.
    EXPECT_EQ(env->CallStaticObjectMethod(app, env->GetStaticMethodID(app, "wrong", "()Ljava/lang/String;")), nullptr);
    ASSERT_EQ(rt.errors().size(), 1u);
    EXPECT_NE(rt.errors()[0].find("does not fit type Ljava/lang/String;"), std::string::npos) << rt.errors()[0];
}

TEST(StandinValues, ADateSurvivesTheObjectStreams) {
    LoadedRuntime rt(R"(
class demo.App
  method sessionGetData ()Ljava/io/Serializable;
    return new java.util.Date
  method sessionSetData (Ljava/io/Serializable;)V
)");
    ASSERT_EQ(rt.start(), JNI_OK);
    JNIEnv* env = rt.env;
    jclass app = env->FindClass("demo/App");
    jobject date = env->CallStaticObjectMethod(app, env->GetStaticMethodID(app, "sessionGetData", "()Ljava/io/Serializable;"));
    jclass out = env->FindClass("java/io/ByteArrayOutputStream");
    jobject bytesOut = env->NewObject(out, env->GetMethodID(out, "<init>", "()V"));
    jclass objectOut = env->FindClass("java/io/ObjectOutputStream");
    jobject stream = env->NewObject(objectOut, env->GetMethodID(objectOut, "<init>", "(Ljava/io/OutputStream;)V"), bytesOut);
    env->CallVoidMethod(stream, env->GetMethodID(objectOut, "writeObject", "(Ljava/lang/Object;)V"), date);
    jobject bytes = env->CallObjectMethod(bytesOut, env->GetMethodID(out, "toByteArray", "()[B"));
    jclass in = env->FindClass("java/io/ByteArrayInputStream");
    jclass objectIn = env->FindClass("java/io/ObjectInputStream");
    jobject reader = env->NewObject(objectIn, env->GetMethodID(objectIn, "<init>", "(Ljava/io/InputStream;)V"),
                                    env->NewObject(in, env->GetMethodID(in, "<init>", "([B)V"), bytes));
    jobject back = env->CallObjectMethod(reader, env->GetMethodID(objectIn, "readObject", "()Ljava/lang/Object;"));
    jclass dateClass = env->FindClass("java/util/Date");
    ASSERT_TRUE(env->IsInstanceOf(back, dateClass));
    EXPECT_FALSE(env->IsSameObject(back, date));
    jmethodID equals = env->GetMethodID(dateClass, "equals", "(Ljava/lang/Object;)Z");
    EXPECT_TRUE(env->CallBooleanMethod(back, equals, date));
    env->CallStaticVoidMethod(app, env->GetStaticMethodID(app, "sessionSetData", "(Ljava/io/Serializable;)V"), back);
    EXPECT_TRUE(rt.log().has("call", "demo.App.sessionSetData(Ljava/io/Serializable;)V (<java.util.Date#"));
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << rt.log().text();
}

jobject keptByNative = nullptr;
jobject JNICALL keepLocal(JNIEnv* env, jclass) {
    keptByNative = env->NewStringUTF("short-lived");
    return env->NewStringUTF("returned");
}

TEST(StandinReferences, FramesNativesAndPinnedMemoryFollowTheJniRules) {
    LoadedRuntime rt(R"(
class demo.App
  native keep ()Ljava/lang/String;
  method main ([Ljava/lang/String;)V
    invoke keep
)");
    ASSERT_EQ(rt.start(), JNI_OK);
    JNIEnv* env = rt.env;
    std::size_t before = 0;

    // A popped frame takes its references along but hands the result to the outer one.
    ASSERT_EQ(env->PushLocalFrame(8), JNI_OK);
    jstring inner = env->NewStringUTF("inner");
    jstring kept = static_cast<jstring>(env->PopLocalFrame(env->NewStringUTF("kept")));
    EXPECT_EQ(javaString(env, kept), "kept");
    EXPECT_EQ(env->GetObjectRefType(inner), JNIInvalidRefType);
    EXPECT_EQ(env->GetObjectRefType(kept), JNILocalRefType);
    (void)env->PopLocalFrame(nullptr);
    ASSERT_EQ(rt.errors().size(), ++before);
    EXPECT_NE(rt.errors().back().find("PopLocalFrame: no frame was pushed"), std::string::npos);

    // A native's local references end with the call; the result lives on in the log.
    jclass app = env->FindClass("demo/App");
    const JNINativeMethod keep[] = {{const_cast<char*>("keep"), const_cast<char*>("()Ljava/lang/String;"),
                                     reinterpret_cast<void*>(&keepLocal)}};
    ASSERT_EQ(env->RegisterNatives(app, keep, 1), JNI_OK);
    env->CallStaticVoidMethod(app, env->GetStaticMethodID(app, "main", "([Ljava/lang/String;)V"), nullptr);
    EXPECT_TRUE(rt.log().has("native", "demo.App.keep()Ljava/lang/String; () -> \"returned\""));
    (void)env->GetStringLength(static_cast<jstring>(keptByNative));
    ASSERT_EQ(rt.errors().size(), ++before);
    EXPECT_NE(rt.errors().back().find("uses a deleted local reference"), std::string::npos);

    // Elements written back on commit and on release, dropped on abort.
    jintArray numbers = env->NewIntArray(2);
    jint* elements = env->GetIntArrayElements(numbers, nullptr);
    elements[0] = 7;
    env->ReleaseIntArrayElements(numbers, elements, JNI_COMMIT);
    elements[1] = 8;
    env->ReleaseIntArrayElements(numbers, elements, JNI_ABORT);
    jint seen[2] = {};
    env->GetIntArrayRegion(numbers, 0, 2, seen);
    EXPECT_EQ(seen[0], 7);
    EXPECT_EQ(seen[1], 0);
    env->ReleaseIntArrayElements(numbers, elements, 0); // already released
    ASSERT_EQ(rt.errors().size(), ++before);
    EXPECT_NE(rt.errors().back().find("were not obtained from this array"), std::string::npos);

    // Bounds and element types are the JVM's own exceptions, not misuse.
    jobjectArray strings = env->NewObjectArray(1, env->FindClass("java/lang/String"), nullptr);
    env->SetObjectArrayElement(strings, 1, nullptr);
    jthrowable outside = env->ExceptionOccurred();
    env->ExceptionClear();
    EXPECT_TRUE(env->IsInstanceOf(outside, env->FindClass("java/lang/ArrayIndexOutOfBoundsException")));
    env->SetObjectArrayElement(strings, 0, numbers);
    jthrowable stored = env->ExceptionOccurred();
    env->ExceptionClear();
    EXPECT_TRUE(env->IsInstanceOf(stored, env->FindClass("java/lang/ArrayStoreException")));
    EXPECT_EQ(rt.errors().size(), before);

    // A thread that never deletes its local references is told once.
    for (int i = 0; i < 1100; ++i) (void)env->NewStringUTF("leak");
    ASSERT_EQ(rt.errors().size(), ++before);
    EXPECT_NE(rt.errors().back().find("holds more than 1000 local references"), std::string::npos);
}

TEST(StandinReferences, AJoinedVmIsTheOneCreatedAndAnEnvDiesWithItsThread) {
    LoadedRuntime rt("");
    ASSERT_EQ(rt.start(), JNI_OK);
    JavaVM* joined[100] = {};
    jsize count = 0;
    ASSERT_EQ(rt.created(joined, 100, &count), JNI_OK);
    ASSERT_EQ(count, 1);
    JNIEnv* env = nullptr;
    EXPECT_EQ(joined[0]->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_6), JNI_OK);
    EXPECT_EQ(env, rt.env);
    EXPECT_EQ(joined[0]->GetEnv(reinterpret_cast<void**>(&env), 0x7fff), JNI_EVERSION);

    JNIEnv* stale = nullptr;
    std::thread([&] {
        rt.vm->AttachCurrentThread(reinterpret_cast<void**>(&stale), nullptr);
        rt.vm->DetachCurrentThread();
        (void)stale->GetVersion();
    }).join();
    ASSERT_EQ(rt.errors().size(), 1u);
    EXPECT_NE(rt.errors()[0].find("GetVersion: the JNIEnv of thread \"Thread-0\" is used after it detached"), std::string::npos)
        << rt.errors()[0];
}

} // namespace
} // namespace tavrelo::standin::test
