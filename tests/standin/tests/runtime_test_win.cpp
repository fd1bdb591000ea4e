// The stand-in Java runtime driven directly through JNI, as the launcher will drive it.
#include <atomic>
#include <thread>

#include "runtime_support.h"

namespace tavrelo::standin::test {
namespace {

constexpr char kAppScenario[] = R"(# a small application
class demo.App
  method main ([Ljava/lang/String;)V
    return
  method count ()I
    return sequence 1 2 3
  method names ()[Ljava/lang/String;
    return ["Demo" "tip text"]
  method echo (Ljava/lang/String;I)Ljava/lang/String;
    return arg 1
  method broken ()Z
    throw java.lang.IllegalStateException "broken"
  method data ()Ljava/io/Serializable;
    return object session-1
  method nothing ()V
)";

TEST(StandinRuntime, ExportsTheEntryPointsAndCreatesOneVmWithTheGivenOptions) {
    LoadedRuntime rt(kAppScenario);
    ASSERT_TRUE(rt.create && rt.defaults && rt.created);

    JavaVMInitArgs defaults{JNI_VERSION_1_6, 0, nullptr, JNI_FALSE};
    EXPECT_EQ(rt.defaults(&defaults), JNI_OK);
    defaults.version = JNI_VERSION_1_1;
    EXPECT_EQ(rt.defaults(&defaults), JNI_EVERSION);
    JavaVM* vms[2] = {};
    jsize count = -1;
    EXPECT_EQ(rt.created(vms, 2, &count), JNI_OK);
    EXPECT_EQ(count, 0);

    ASSERT_EQ(rt.start({"-Djava.class.path=C:\\app;C:\\app\\Demo.jar", "-Dtavrelo.isConsole=1", "-Xmx64m", "-Xrs"}),
              JNI_OK);
    ASSERT_NE(rt.env, nullptr);
    EXPECT_EQ(rt.created(vms, 2, &count), JNI_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(vms[0], rt.vm);
    JavaVM* second = nullptr;
    JNIEnv* secondEnv = nullptr;
    JavaVMInitArgs again{JNI_VERSION_1_6, 0, nullptr, JNI_TRUE};
    EXPECT_EQ(rt.create(&second, reinterpret_cast<void**>(&secondEnv), &again), JNI_EEXIST);

    // The options reach the log in order, and -D options are system properties.
    const CallLog log = rt.log();
    const auto options = log.find("option");
    ASSERT_EQ(options.size(), 4u) << log.text();
    EXPECT_EQ(options[0].details, "-Djava.class.path=C:\\app;C:\\app\\Demo.jar");
    EXPECT_EQ(options[1].details, "-Dtavrelo.isConsole=1");
    EXPECT_EQ(options[3].details, "-Xrs");
    EXPECT_TRUE(log.has("create", "version=0x00010006 options=4 ignoreUnrecognized=true"));
    JNIEnv* env = rt.env;
    jclass system = env->FindClass("java/lang/System");
    jmethodID get = env->GetStaticMethodID(system, "getProperty", "(Ljava/lang/String;)Ljava/lang/String;");
    jstring key = env->NewStringUTF("tavrelo.isConsole");
    EXPECT_EQ(javaString(env, static_cast<jstring>(env->CallStaticObjectMethod(system, get, key))), "1");
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << log.text();
}

TEST(StandinRuntime, RefusesAnUnrecognisedOptionAsTheJvmDoes) {
    LoadedRuntime refused(kAppScenario);
    EXPECT_EQ(refused.start({"-Dok=1", "--bogus"}), JNI_ERR);
    EXPECT_TRUE(refused.log().has("create-failed", "Unrecognized option: --bogus")) << refused.log().text();

    // Unknown -X options are only ignored when the caller asks for it.
    LoadedRuntime strict(kAppScenario);
    EXPECT_EQ(strict.start({"-Xunknown"}, false), JNI_ERR);
    LoadedRuntime lenient(kAppScenario);
    EXPECT_EQ(lenient.start({"-Xunknown"}, true), JNI_OK);
}

TEST(StandinRuntime, RunsScenarioMethodsAndLogsTheirArgumentsAndResults) {
    LoadedRuntime rt(kAppScenario);
    ASSERT_EQ(rt.start(), JNI_OK);
    JNIEnv* env = rt.env;
    jclass app = env->FindClass("demo/App");
    ASSERT_NE(app, nullptr);

    jmethodID main = env->GetStaticMethodID(app, "main", "([Ljava/lang/String;)V");
    jobjectArray args = env->NewObjectArray(2, env->FindClass("java/lang/String"), nullptr);
    env->SetObjectArrayElement(args, 0, env->NewStringUTF("a"));
    env->SetObjectArrayElement(args, 1, env->NewStringUTF("b c"));
    env->CallStaticVoidMethod(app, main, args);
    const auto calls = rt.log().find("call", "demo.App.main");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].details, "demo.App.main([Ljava/lang/String;)V ([\"a\", \"b c\"])");
    EXPECT_EQ(calls[0].thread, "main");
    EXPECT_EQ(calls[0].tid, GetCurrentThreadId());

    jmethodID count = env->GetStaticMethodID(app, "count", "()I");
    std::vector<jint> counted;
    for (int i = 0; i < 4; ++i) counted.push_back(env->CallStaticIntMethod(app, count));
    EXPECT_EQ(counted, (std::vector<jint>{1, 2, 3, 3}));

    jmethodID names = env->GetStaticMethodID(app, "names", "()[Ljava/lang/String;");
    auto array = static_cast<jobjectArray>(env->CallStaticObjectMethod(app, names));
    ASSERT_EQ(env->GetArrayLength(array), 2);
    EXPECT_EQ(javaString(env, static_cast<jstring>(env->GetObjectArrayElement(array, 1))), "tip text");

    jmethodID echo = env->GetStaticMethodID(app, "echo", "(Ljava/lang/String;I)Ljava/lang/String;");
    EXPECT_EQ(javaString(env, static_cast<jstring>(env->CallStaticObjectMethod(app, echo, env->NewStringUTF("x"), 5))), "x");
    EXPECT_TRUE(rt.log().has("call", "demo.App.echo(Ljava/lang/String;I)Ljava/lang/String; (\"x\", 5)"));
    EXPECT_TRUE(rt.log().has("return", "demo.App.echo(Ljava/lang/String;I)Ljava/lang/String; -> \"x\""));

    // A method that throws leaves the exception pending and gives false.
    jmethodID broken = env->GetStaticMethodID(app, "broken", "()Z");
    EXPECT_FALSE(env->CallStaticBooleanMethod(app, broken));
    jthrowable thrown = env->ExceptionOccurred();
    ASSERT_NE(thrown, nullptr);
    env->ExceptionClear();
    EXPECT_TRUE(env->IsInstanceOf(thrown, env->FindClass("java/lang/IllegalStateException")));
    jmethodID message = env->GetMethodID(env->FindClass("java/lang/Throwable"), "getMessage", "()Ljava/lang/String;");
    EXPECT_EQ(javaString(env, static_cast<jstring>(env->CallObjectMethod(thrown, message))), "broken");
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << rt.log().text();
}

TEST(StandinRuntime, ObjectStreamsCarryOpaqueObjectsAsSerializedBytes) {
    LoadedRuntime rt(kAppScenario);
    ASSERT_EQ(rt.start(), JNI_OK);
    JNIEnv* env = rt.env;
    jclass app = env->FindClass("demo/App");
    jobject data = env->CallStaticObjectMethod(app, env->GetStaticMethodID(app, "data", "()Ljava/io/Serializable;"));
    ASSERT_NE(data, nullptr);

    // The launcher's serialisation: ByteArrayOutputStream, ObjectOutputStream, writeObject, toByteArray.
    jclass bytesOutClass = env->FindClass("java/io/ByteArrayOutputStream");
    jobject bytesOut = env->NewObject(bytesOutClass, env->GetMethodID(bytesOutClass, "<init>", "()V"));
    jclass objectOutClass = env->FindClass("java/io/ObjectOutputStream");
    jobject objectOut = env->NewObject(objectOutClass, env->GetMethodID(objectOutClass, "<init>", "(Ljava/io/OutputStream;)V"), bytesOut);
    env->CallVoidMethod(objectOut, env->GetMethodID(objectOutClass, "writeObject", "(Ljava/lang/Object;)V"), data);
    auto bytes = static_cast<jbyteArray>(env->CallObjectMethod(bytesOut, env->GetMethodID(bytesOutClass, "toByteArray", "()[B")));
    const jsize length = env->GetArrayLength(bytes);
    std::string serialized(static_cast<std::size_t>(length), '\0');
    env->GetByteArrayRegion(bytes, 0, length, reinterpret_cast<jbyte*>(serialized.data()));
    EXPECT_EQ(serialized, std::string("\xAC\xED\x00\x05\x77\x09session-1", 15));

    // ... and back: ByteArrayInputStream, ObjectInputStream, readObject.
    jclass bytesInClass = env->FindClass("java/io/ByteArrayInputStream");
    jobject bytesIn = env->NewObject(bytesInClass, env->GetMethodID(bytesInClass, "<init>", "([B)V"), bytes);
    jclass objectInClass = env->FindClass("java/io/ObjectInputStream");
    jobject objectIn = env->NewObject(objectInClass, env->GetMethodID(objectInClass, "<init>", "(Ljava/io/InputStream;)V"), bytesIn);
    jobject back = env->CallObjectMethod(objectIn, env->GetMethodID(objectInClass, "readObject", "()Ljava/lang/Object;"));
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(rt.log().has("call", "readObject()Ljava/lang/Object; () on <java.io.ObjectInputStream")) << rt.log().text();
    EXPECT_TRUE(rt.log().has("call", "-> object session-1"));

    // A thread is not serialisable: the stream keeps only what it held before.
    jclass threadClass = env->FindClass("java/lang/Thread");
    jobject current = env->CallStaticObjectMethod(threadClass, env->GetStaticMethodID(threadClass, "currentThread", "()Ljava/lang/Thread;"));
    jobject otherBytes = env->NewObject(bytesOutClass, env->GetMethodID(bytesOutClass, "<init>", "()V"));
    jobject otherOut = env->NewObject(objectOutClass, env->GetMethodID(objectOutClass, "<init>", "(Ljava/io/OutputStream;)V"), otherBytes);
    env->CallVoidMethod(otherOut, env->GetMethodID(objectOutClass, "writeObject", "(Ljava/lang/Object;)V"), current);
    ASSERT_TRUE(env->ExceptionCheck());
    jthrowable failure = env->ExceptionOccurred();
    env->ExceptionClear();
    EXPECT_TRUE(env->IsInstanceOf(failure, env->FindClass("java/io/NotSerializableException")));

    // Bytes without the stream header are refused as a real stream refuses them.
    jbyteArray junk = env->NewByteArray(4);
    jobject junkIn = env->NewObject(bytesInClass, env->GetMethodID(bytesInClass, "<init>", "([B)V"), junk);
    EXPECT_EQ(env->NewObject(objectInClass, env->GetMethodID(objectInClass, "<init>", "(Ljava/io/InputStream;)V"), junkIn), nullptr);
    jthrowable corrupted = env->ExceptionOccurred();
    env->ExceptionClear();
    EXPECT_TRUE(env->IsInstanceOf(corrupted, env->FindClass("java/io/StreamCorruptedException")));
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << rt.log().text();
}

// Natives the scenario's main calls back.
std::atomic<int> adminCalls{0};
std::atomic<unsigned long> adminThread{0};
std::string regArguments;

jboolean JNICALL systemIsAdmin(JNIEnv*, jclass) {
    ++adminCalls;
    adminThread = GetCurrentThreadId();
    return JNI_TRUE;
}
jstring JNICALL regGetString(JNIEnv* env, jclass, jint root, jstring key) {
    regArguments = std::to_string(root) + " " + javaString(env, key);
    return env->NewStringUTF("value");
}

TEST(StandinRuntime, MainCallsTheNativesTheLauncherRegistered) {
    LoadedRuntime rt(R"(
class demo.App
  native systemIsAdmin ()Z
  native regGetString (ILjava/lang/String;)Ljava/lang/String;
  native notRegistered ()V
  method main ([Ljava/lang/String;)V
    invoke systemIsAdmin
    invoke regGetString 2 "Software\\Demo"
    invoke notRegistered
    print "not reached"
)");
    ASSERT_EQ(rt.start(), JNI_OK);
    JNIEnv* env = rt.env;
    jclass app = env->FindClass("demo/App");
    const JNINativeMethod natives[] = {
        {const_cast<char*>("systemIsAdmin"), const_cast<char*>("()Z"), reinterpret_cast<void*>(&systemIsAdmin)},
        {const_cast<char*>("regGetString"), const_cast<char*>("(ILjava/lang/String;)Ljava/lang/String;"),
         reinterpret_cast<void*>(&regGetString)}};
    ASSERT_EQ(env->RegisterNatives(app, natives, 2), JNI_OK);
    EXPECT_TRUE(rt.log().has("register", "demo.App.regGetString(ILjava/lang/String;)Ljava/lang/String;"));

    env->CallStaticVoidMethod(app, env->GetStaticMethodID(app, "main", "([Ljava/lang/String;)V"), nullptr);
    EXPECT_EQ(adminCalls, 1);
    EXPECT_EQ(adminThread, GetCurrentThreadId());
    EXPECT_EQ(regArguments, "2 Software\\Demo");
    const CallLog log = rt.log();
    EXPECT_TRUE(log.has("native", "demo.App.systemIsAdmin()Z () -> true")) << log.text();
    EXPECT_TRUE(log.has("native", "demo.App.regGetString(ILjava/lang/String;)Ljava/lang/String; (2, \"Software\\\\Demo\") -> \"value\""))
        << log.text();
    // The unregistered native ends main with the linkage error, as Java would.
    jthrowable thrown = env->ExceptionOccurred();
    env->ExceptionClear();
    EXPECT_TRUE(env->IsInstanceOf(thrown, env->FindClass("java/lang/UnsatisfiedLinkError")));
    EXPECT_TRUE(log.has("throw", "demo.App.main"));
    EXPECT_EQ(rt.errors(), std::vector<std::string>{});

    // Registering a method that is not declared native fails loudly.
    const JNINativeMethod wrong[] = {{const_cast<char*>("main"), const_cast<char*>("([Ljava/lang/String;)V"),
                                      reinterpret_cast<void*>(&systemIsAdmin)}};
    EXPECT_EQ(env->RegisterNatives(app, wrong, 1), JNI_ERR);
    env->ExceptionClear();
    ASSERT_EQ(rt.errors().size(), 1u);
    EXPECT_NE(rt.errors()[0].find("demo.App.main([Ljava/lang/String;)V is not declared native"), std::string::npos);
}

TEST(StandinRuntime, MisusesOfJniAreErrorsInTheLog) {
    LoadedRuntime rt(kAppScenario);
    ASSERT_EQ(rt.start(), JNI_OK);
    JNIEnv* env = rt.env;
    auto expectError = [&](std::size_t before, const std::string& part) {
        const auto added = errorsSince(rt, before);
        ASSERT_EQ(added.size(), 1u) << joined(added);
        EXPECT_NE(added[0].find(part), std::string::npos) << added[0];
    };
    std::size_t before = 0;

    EXPECT_EQ(env->FindClass("java/lang/Sytem"), nullptr);
    env->ExceptionClear();
    expectError(before++, "java/lang/Sytem is not a JDK class the stand-in knows");
    EXPECT_EQ(env->FindClass("demo.App"), nullptr);
    env->ExceptionClear();
    expectError(before++, "written with dots");
    // A missing application class is no misuse: the launcher looks for companion classes.
    EXPECT_EQ(env->FindClass("demo/App_TaskbarManagement"), nullptr);
    env->ExceptionClear();
    EXPECT_EQ(rt.errors().size(), before);
    EXPECT_TRUE(rt.log().has("class-missing", "demo/App_TaskbarManagement"));

    jclass system = env->FindClass("java/lang/System");
    EXPECT_EQ(env->GetStaticMethodID(system, "exit", "(J)V"), nullptr);
    env->ExceptionClear();
    expectError(before++, "java.lang.System has exit(I)V");
    EXPECT_EQ(env->GetMethodID(system, "gc", "()V"), nullptr);
    env->ExceptionClear();
    expectError(before++, "java.lang.System.gc()V is static");
    jclass app = env->FindClass("demo/App");
    EXPECT_EQ(env->GetStaticMethodID(app, "names", "()Ljava/lang/String;"), nullptr);
    env->ExceptionClear();
    expectError(before++, "demo.App has names()[Ljava/lang/String;");
    EXPECT_EQ(env->GetStaticMethodID(app, "sphInit", "()V"), nullptr); // not defined: silent
    env->ExceptionClear();
    EXPECT_EQ(rt.errors().size(), before);

    jmethodID nothing = env->GetStaticMethodID(app, "nothing", "()V");
    (void)env->CallStaticIntMethod(app, nothing);
    expectError(before++, "demo.App.nothing()V returns V, called through the function for I");

    env->ThrowNew(env->FindClass("java/lang/IllegalStateException"), "left over");
    (void)env->FindClass("java/lang/String");
    expectError(before++, "FindClass: called while an exception is pending (java.lang.IllegalStateException: left over)");
    env->ExceptionClear();

    jstring text = env->NewStringUTF("gone");
    env->DeleteLocalRef(text);
    (void)env->GetStringLength(text);
    expectError(before++, "GetStringLength: uses a deleted local reference");
    env->DeleteLocalRef(text);
    expectError(before++, "already deleted");

    jstring mine = env->NewStringUTF("mine");
    std::thread other([&] {
        JNIEnv* otherEnv = nullptr;
        rt.vm->AttachCurrentThread(reinterpret_cast<void**>(&otherEnv), nullptr);
        (void)otherEnv->GetStringLength(mine);
        rt.vm->DetachCurrentThread();
    });
    other.join();
    expectError(before++, "uses a local reference of thread \"main\" on another thread");
    std::thread wrongEnv([&] { (void)env->GetVersion(); });
    wrongEnv.join();
    expectError(before++, "the JNIEnv of thread \"main\" is used on another thread");

    (void)env->AllocObject(system);
    expectError(before++, "AllocObject: the stand-in does not provide this JNI function");

    // GetStringChars gives no terminator: a caller that needs one must add it.
    jstring abc = env->NewStringUTF("abc");
    const jchar* chars = env->GetStringChars(abc, nullptr);
    EXPECT_EQ(chars[3], 0xFFFF);
    env->ReleaseStringChars(abc, chars);
    EXPECT_EQ(rt.errors().size(), before);
}

TEST(StandinRuntime, AttachedThreadsAreJavaThreadsUntilTheyDetach) {
    LoadedRuntime rt(kAppScenario);
    ASSERT_EQ(rt.start(), JNI_OK);
    JNIEnv* env = rt.env;
    jclass threadClass = env->FindClass("java/lang/Thread");
    jmethodID enumerate = env->GetStaticMethodID(threadClass, "enumerate", "([Ljava/lang/Thread;)I");
    jmethodID getName = env->GetMethodID(threadClass, "getName", "()Ljava/lang/String;");
    auto aliveNames = [&] {
        jobjectArray threads = env->NewObjectArray(100, threadClass, nullptr);
        const jint n = env->CallStaticIntMethod(threadClass, enumerate, threads);
        std::vector<std::string> names;
        for (jint i = 0; i < n; ++i)
            names.push_back(javaString(env, static_cast<jstring>(env->CallObjectMethod(env->GetObjectArrayElement(threads, i), getName))));
        return names;
    };

    std::atomic<int> stage{0};
    std::string nameSeen;
    jint envAfterDetach = 0;
    std::thread worker([&] {
        JNIEnv* mine = nullptr;
        rt.vm->AttachCurrentThread(reinterpret_cast<void**>(&mine), nullptr);
        jclass t = mine->FindClass("java/lang/Thread");
        jobject self = mine->CallStaticObjectMethod(t, mine->GetStaticMethodID(t, "currentThread", "()Ljava/lang/Thread;"));
        nameSeen = javaString(mine, static_cast<jstring>(mine->CallObjectMethod(self, mine->GetMethodID(t, "getName", "()Ljava/lang/String;"))));
        stage = 1;
        while (stage != 2) Sleep(5);
        rt.vm->DetachCurrentThread();
        void* none = nullptr;
        envAfterDetach = rt.vm->GetEnv(&none, JNI_VERSION_1_6);
    });
    while (stage != 1) Sleep(5);
    EXPECT_EQ(nameSeen, "Thread-0");
    EXPECT_EQ(aliveNames(), (std::vector<std::string>{"main", "Thread-0"}));
    stage = 2;
    worker.join();
    EXPECT_EQ(envAfterDetach, JNI_EDETACHED);
    EXPECT_EQ(aliveNames(), (std::vector<std::string>{"main"}));

    std::thread named([&] {
        JNIEnv* mine = nullptr;
        JavaVMAttachArgs args{JNI_VERSION_1_6, const_cast<char*>("Tavrelo WinEvent"), nullptr};
        rt.vm->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&mine), &args);
        rt.vm->DetachCurrentThread();
    });
    named.join();
    const CallLog log = rt.log();
    EXPECT_TRUE(log.has("attach", "\"Thread-0\"")) << log.text();
    EXPECT_TRUE(log.has("attach", "\"Tavrelo WinEvent\" daemon")) << log.text();
    EXPECT_EQ(log.find("detach").size(), 2u);
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << log.text();
}

TEST(StandinRuntime, DestroyWaitsForTheNonDaemonThreadsThenTheVmIsGone) {
    LoadedRuntime rt(R"(
class demo.App
  method main ([Ljava/lang/String;)V
    start worker 800
    start helper 20000 daemon
)");
    ASSERT_EQ(rt.start(), JNI_OK);
    JNIEnv* env = rt.env;
    jclass app = env->FindClass("demo/App");
    env->CallStaticVoidMethod(app, env->GetStaticMethodID(app, "main", "([Ljava/lang/String;)V"), nullptr);
    std::thread native([&] {
        JNIEnv* mine = nullptr;
        rt.vm->AttachCurrentThread(reinterpret_cast<void**>(&mine), nullptr);
        Sleep(1200);
        rt.vm->DetachCurrentThread();
    });
    Sleep(100);
    env->DeleteLocalRef(app);
    EXPECT_EQ(rt.vm->DetachCurrentThread(), JNI_OK);
    const DWORD start = GetTickCount();
    EXPECT_EQ(rt.vm->DestroyJavaVM(), JNI_OK);
    const DWORD waited = GetTickCount() - start;
    native.join();
    EXPECT_GE(waited, 900u); // the attached thread detaches after 1.2 s; the daemon is not awaited
    EXPECT_LT(waited, 10000u);

    const CallLog log = rt.log();
    const auto wait = log.find("destroy-wait");
    ASSERT_EQ(wait.size(), 1u) << log.text();
    EXPECT_NE(wait[0].details.find("\"worker\""), std::string::npos);
    EXPECT_NE(wait[0].details.find("\"Thread-0\""), std::string::npos);
    EXPECT_EQ(wait[0].details.find("helper"), std::string::npos);
    EXPECT_TRUE(log.has("destroyed"));

    JavaVM* vms[1] = {};
    jsize count = -1;
    EXPECT_EQ(rt.created(vms, 1, &count), JNI_OK);
    EXPECT_EQ(count, 0);
    JNIEnv* late = nullptr;
    EXPECT_EQ(rt.vm->AttachCurrentThread(reinterpret_cast<void**>(&late), nullptr), JNI_ERR);
    EXPECT_EQ(rt.start(), JNI_ERR);
    ASSERT_EQ(rt.errors().size(), 1u) << log.text();
    EXPECT_NE(rt.errors()[0].find("AttachCurrentThread: after DestroyJavaVM"), std::string::npos);
}

TEST(StandinRuntime, AwaitHoldsAMethodUntilTheLauncherCallsAnother) {
    LoadedRuntime rt(R"(
class demo.App
  method main ([Ljava/lang/String;)V
    await serviceStop 10000
    await serviceNeverCalled 100
  method serviceStop ()V
  method serviceNeverCalled ()V
)");
    ASSERT_EQ(rt.start(), JNI_OK);
    std::atomic<bool> returned{false};
    std::thread runner([&] {
        JNIEnv* env = nullptr;
        rt.vm->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr);
        jclass app = env->FindClass("demo/App");
        env->CallStaticVoidMethod(app, env->GetStaticMethodID(app, "main", "([Ljava/lang/String;)V"), nullptr);
        returned = true;
        env->DeleteLocalRef(app);
        rt.vm->DetachCurrentThread();
    });
    Sleep(300);
    EXPECT_FALSE(returned);
    JNIEnv* env = rt.env;
    jclass app = env->FindClass("demo/App");
    env->CallStaticVoidMethod(app, env->GetStaticMethodID(app, "serviceStop", "()V"));
    runner.join();
    EXPECT_TRUE(returned);
    const CallLog log = rt.log();
    EXPECT_TRUE(log.has("await-timeout", "demo.App.serviceNeverCalled()V was not called within 100 ms")) << log.text();
    EXPECT_FALSE(log.has("await-timeout", "serviceStop"));
    EXPECT_EQ(rt.errors(), std::vector<std::string>{}) << log.text();
}

TEST(StandinRuntime, ScenarioMistakesAreReportedWithTheirLine) {
    LoadedRuntime rt(R"(class demo.App
  method main ([Ljava/lang/String;)V
    return 5
  method count ()I
    return "text"
  method go ()V
    jump
    invoke missing
)");
    ASSERT_EQ(rt.start(), JNI_OK);
    const std::string all = joined(rt.errors());
    EXPECT_NE(all.find("scenario line 3: a void method returns no value"), std::string::npos) << all;
    EXPECT_NE(all.find("scenario line 5: this value does not fit type I"), std::string::npos) << all;
    EXPECT_NE(all.find("scenario line 7: unknown statement 'jump'"), std::string::npos) << all;
    EXPECT_NE(all.find("scenario line 8: invoke names no method of the scenario: demo/App.missing"), std::string::npos) << all;
}

} // namespace
} // namespace tavrelo::standin::test
