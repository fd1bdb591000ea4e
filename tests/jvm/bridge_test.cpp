// The call bridge against the real JVM, in this process.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "bridge/bridge.h"
#include "jvm_support.h"
#include "launcher/java_runtime.h"
#include "launcher/launcher.h"
#include "platform/messages.h"

namespace tavrelo::test {
namespace {

constexpr char kApp[] = "fixture.App";

// What passes through the variadic calls' "..." compiles; an owning reference or a text does not.
template <class... Arguments>
concept CallVoidTakes = requires(const FeatureInterface& record, Arguments&&... arguments) {
    callVoid(record, 0, std::forward<Arguments>(arguments)...);
};
template <class Argument>
concept NewObjectTakes = requires(Argument&& argument) {
    newObject("a.B", "I", std::forward<Argument>(argument));
};
static_assert(CallVoidTakes<> && CallVoidTakes<jstring, jint, jboolean, double, std::nullptr_t>);
static_assert(!CallVoidTakes<const LocalRef<jstring>&> && !CallVoidTakes<jint, LocalRef<jobject>>);
static_assert(NewObjectTakes<jobject> && !NewObjectTakes<LocalRef<jobject>&> && !NewObjectTakes<Text>);

class Bridge : public ::testing::Test {
  protected:
    void SetUp() override { ensureJavaVm(); }

    static JNIEnv* env() { return javaEnv(); }
    static jint getEnvState() {
        JNIEnv* ignored = nullptr;
        return javaVm()->GetEnv(reinterpret_cast<void**>(&ignored), JNI_VERSION_1_2);
    }
    static std::string callString(const char* className, const char* method) {
        return toUtf8(fromJavaString(callMethodObject(className, nullptr, method, "java.lang.String", nullptr)));
    }
};

TEST_F(Bridge, CompanionClassWinsMethodByMethod) {
    FeatureInterface record{3, "TestManagement"};
    EXPECT_EQ(bindMethod(record, kApp, 0, "answer", "()I"), 1);
    EXPECT_EQ(bindMethod(record, kApp, 1, "onlyInMain", "()I"), 1);
    EXPECT_EQ(bindMethod(record, kApp, 2, "greet", "(Ljava/lang/String;)Ljava/lang/String;"), 1);
    EXPECT_EQ(callInt(record, 0), 2);
    EXPECT_EQ(callInt(record, 1), 10);
    LocalRef<jstring> who(toJavaString(u"you"));
    EXPECT_EQ(fromJavaString(callObject(record, 2, who.get())), u"companion greets you");

    // Without an interface name only the main class is looked in.
    FeatureInterface mainOnly{1, nullptr};
    EXPECT_EQ(bindMethod(mainOnly, kApp, 0, "answer", "()I"), 1);
    EXPECT_EQ(callInt(mainOnly, 0), 1);
}

TEST_F(Bridge, BindingTwiceKeepsTheFirstAndMissingMethodsStayUnbound) {
    FeatureInterface record{3, "TestManagement"};
    EXPECT_EQ(bindMethod(record, kApp, 0, "answer", "()I"), 1);
    EXPECT_EQ(bindMethod(record, kApp, 0, "onlyInMain", "()I"), -1);
    EXPECT_EQ(callInt(record, 0), 2);

    EXPECT_EQ(bindMethod(record, kApp, 1, "absent", "()I"), 0);
    EXPECT_FALSE(isDefined(record, 1));
    EXPECT_EQ(bindMethod(record, kApp, 1, "answer", "(I)I"), 0); // wrong signature
    EXPECT_EQ(bindMethod(record, "fixture.Missing", 1, "answer", "()I"), 0);
    EXPECT_EQ(bindMethod(record, kApp, 1, "onlyInMain", "()I"), 1); // an unbound slot binds later
    EXPECT_EQ(callInt(record, 1), 10);

    EXPECT_EQ(bindMethod(record, kApp, 3, "answer", "()I"), 0); // beyond the record
    EXPECT_FALSE(isDefined(record, 3));
    EXPECT_FALSE(isDefined(record, -1));
    EXPECT_EQ(callInt(record, 2), 0);
    EXPECT_EQ(callObject(record, 2), nullptr);
    EXPECT_FALSE(callBoolean(record, 2));
    callVoid(record, 2);
}

TEST_F(Bridge, ArgumentsOfEveryKindArriveInOrder) {
    FeatureInterface record{2, nullptr};
    ASSERT_EQ(bindMethod(record, kApp, 0, "sum", "(IJZD)I"), 1);
    ASSERT_EQ(bindMethod(record, kApp, 1, "bump", "(I)V"), 1);
    EXPECT_EQ(callInt(record, 0, jint{3}, jlong{40}, JNI_TRUE, 0.5 + 2000), 2143);
    const int before = callMethodInt("fixture.App", nullptr, "answer", nullptr);
    EXPECT_EQ(before, 1);
    callVoid(record, 1, jint{5});
    callVoid(record, 1, jint{6});
    const LocalRef<jclass> app = findJavaClass(kApp);
    ASSERT_NE(app, nullptr);
    const jfieldID counter = env()->GetStaticFieldID(app.get(), "counter", "I");
    EXPECT_EQ(env()->GetStaticIntField(app.get(), counter), 11);
}

TEST_F(Bridge, ThrowingFeatureMethodsGiveZeroValuesAndTheLaunchGoesOn) {
    FeatureInterface record{5, nullptr};
    ASSERT_EQ(bindMethod(record, kApp, 0, "failInt", "()I"), 1);
    ASSERT_EQ(bindMethod(record, kApp, 1, "failBoolean", "()Z"), 1);
    ASSERT_EQ(bindMethod(record, kApp, 2, "failObject", "()Ljava/lang/String;"), 1);
    ASSERT_EQ(bindMethod(record, kApp, 3, "failVoid", "()V"), 1);
    ASSERT_EQ(bindMethod(record, kApp, 4, "answer", "()I"), 1);
    EXPECT_EQ(callInt(record, 0), 0);
    EXPECT_FALSE(env()->ExceptionCheck());
    EXPECT_EQ(callBoolean(record, 1), JNI_FALSE);
    EXPECT_EQ(callObject(record, 2), nullptr);
    callVoid(record, 3);
    EXPECT_FALSE(env()->ExceptionCheck());
    EXPECT_EQ(callInt(record, 4), 1);
}

TEST_F(Bridge, ClassNamesWithSlashesOrDots) {
    EXPECT_EQ(callMethodInt("fixture.Box", nullptr, "add", "II", jint{2}, jint{3}), 5);
    EXPECT_EQ(callMethodInt("fixture/Box", nullptr, "add", "II", jint{4}, jint{5}), 9);
    LocalRef<jclass> dotted(findJavaClass("java.lang.String"));
    LocalRef<jclass> slashed(findJavaClass("java/lang/String"));
    ASSERT_TRUE(dotted && slashed);
    EXPECT_TRUE(env()->IsSameObject(dotted.get(), slashed.get()));
    EXPECT_EQ(findJavaClass("fixture.Missing"), nullptr);
    EXPECT_FALSE(env()->ExceptionCheck());
}

TEST_F(Bridge, GenericCallsOnInstancesAndStatics) {
    LocalRef<jstring> text(toJavaString(u"héllo"));
    LocalRef<jobject> box(newObject("fixture.Box", "Ljava/lang/String;", text.get()));
    ASSERT_TRUE(box);
    EXPECT_EQ(callMethodInt("fixture.Box", box.get(), "length", nullptr), 5);
    EXPECT_FALSE(callMethodBoolean("fixture.Box", box.get(), "isEmpty", nullptr));
    EXPECT_EQ(fromJavaString(callMethodObject("fixture.Box", box.get(), "value", "java.lang.String", nullptr)),
              u"héllo");
    // An array result is named by its descriptor.
    const LocalRef<jintArray> squares =
        localAs<jintArray>(callMethodObject("fixture.Box", nullptr, "squares", "[I", "I", jint{4}));
    JavaIntElements elements = readJavaIntArray(squares.get());
    ASSERT_EQ(elements.size(), 4u);
    EXPECT_EQ(elements.data()[3], 9);
    // Unknown methods and constructors give nothing.
    EXPECT_EQ(newObject("fixture.Box", "I", jint{1}), nullptr);
    EXPECT_EQ(callMethodInt("fixture.Box", nullptr, "nothing", nullptr), 0);
    callMethodVoid("fixture.Missing", nullptr, "run", nullptr);
    EXPECT_FALSE(env()->ExceptionCheck());
    EXPECT_EQ(methodSignature("II", "V"), "(II)V");
    EXPECT_EQ(objectMethodSignature(nullptr, "java.lang.String"), "()Ljava/lang/String;");
    EXPECT_EQ(objectMethodSignature("I", "[B"), "(I)[B");
    EXPECT_EQ(methodSignature(std::string(1100, 'I').c_str(), "V"), "");
}

TEST_F(Bridge, StringAndArrayConversionsRoundTrip) {
    const Text unusual = u"é\u4e2d\U0001F600 x";
    EXPECT_EQ(fromJavaString(toJavaString(unusual).get()), unusual);
    EXPECT_EQ(fromJavaString(toJavaString(u"").get()), u"");
    EXPECT_EQ(fromJavaString(nullptr), u"");
    LocalRef<jstring> utf(toJavaStringUtf("plain"));
    EXPECT_EQ(fromJavaStringUtf(utf.get()), "plain");

    LocalRef<jobjectArray> quoted(toJavaStringArray({u"\"a b\"", u"plain", u"\"open", u""}, true));
    EXPECT_EQ(fromJavaString(callMethodObject("fixture.Box", nullptr, "join", "java.lang.String", "[Ljava/lang/String;",
                                              quoted.get())),
              u"[a b][plain][open][]");
    LocalRef<jobjectArray> kept(toJavaStringArray({u"\"a b\""}, false));
    EXPECT_EQ(fromJavaString(arrayElement(kept.get(), 0)), u"\"a b\"");
    EXPECT_EQ(arrayElement(kept.get(), 1), nullptr);
    EXPECT_EQ(arrayLength(kept.get()), 1);

    const LocalRef<jobjectArray> words =
        localAs<jobjectArray>(callMethodObject("fixture.Box", nullptr, "words", "[Ljava/lang/String;", nullptr));
    EXPECT_EQ(parseArgumentLine(fromJavaStringArrayToLine(words.get())),
              (std::vector<Text>{u"one", u"two words", u"", u"*.txt", u"\"quoted x\""}));

    const jint numbers[] = {1, 2, 3, 400};
    LocalRef<jintArray> ints(toJavaIntArray(numbers, 4));
    EXPECT_EQ(callMethodInt("fixture.Box", nullptr, "total", "[I", ints.get()), 406);
    const signed char bytes[] = {5, -1, 7};
    LocalRef<jbyteArray> byteArray(toJavaByteArray(bytes, 3));
    EXPECT_EQ(callMethodInt("fixture.Box", nullptr, "byteSum", "[B", byteArray.get()), 11);
    const LocalRef<jbyteArray> fromJava =
        localAs<jbyteArray>(callMethodObject("fixture.Box", nullptr, "bytes", "[B", nullptr));
    JavaByteElements read = readJavaByteArray(fromJava.get());
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read.data()[1], -2);
}

int presented = 0;
Text presentedCaption, presentedText;
unsigned presentedStyle = 0;
int answer = kAnswerYes;
int recordingPresenter(TextView caption, TextView text, unsigned style) {
    ++presented;
    presentedCaption = Text(caption);
    presentedText = Text(text);
    presentedStyle = style;
    return answer;
}

TEST_F(Bridge, UndefinedQuestionIsPutToTheUser) {
    const MessagePresenter saved = setMessagePresenter(&recordingPresenter);
    FeatureInterface record{2, nullptr};
    ASSERT_EQ(bindMethod(record, kApp, 0, "yes", "()Z"), 1);
    presented = 0;
    EXPECT_TRUE(callBooleanOrAsk(record, 0, 9));
    EXPECT_EQ(presented, 0);

    answer = kAnswerYes;
    EXPECT_TRUE(callBooleanOrAsk(record, 1, 9));
    EXPECT_EQ(presented, 1);
    EXPECT_EQ(presentedCaption, u"Windows Service");
    EXPECT_EQ(presentedText, u"Do you want to install this program as Windows service ?");
    EXPECT_EQ(presentedStyle & 0xFF, kBoxYesNo | kBoxQuestion);
    answer = kAnswerNo;
    EXPECT_FALSE(callBooleanOrAsk(record, 1, 9));
    EXPECT_EQ(presented, 2);
    setMessagePresenter(saved);
}

TEST_F(Bridge, MissingClassMessagesNameTheClass) {
    const MessagePresenter saved = setMessagePresenter(&recordingPresenter);
    presented = 0;
    EXPECT_EQ(findJavaClass("demo.Absent", kMessageMainClassMissing), nullptr);
    EXPECT_EQ(presentedText, u"Can't find main class \"demo.Absent\"");
    EXPECT_EQ(findJavaClass("demo.Absent", kMessageClassMissing), nullptr);
    EXPECT_EQ(presentedText, u"Can't find class \"demo.Absent\"");
    EXPECT_EQ(findJavaClass("TAVRELO", kMessageMainClassMissing), nullptr);
    EXPECT_EQ(presentedCaption, u"Tavrelo");
    EXPECT_EQ(presentedText.rfind(u"You must rename Tavrelo", 0), 0u);
    EXPECT_EQ(presented, 3);
    EXPECT_EQ(findJavaClass("demo.Absent"), nullptr);
    EXPECT_EQ(presented, 3);
    setMessagePresenter(saved);
}

// The native of App.twice: it uses the bridge and releases the thread as a launcher thread
// would, which must leave a Java thread attached.
std::atomic<int> nativeCalls{0};
std::atomic<bool> stillAttached{true};
jint JNICALL nativeTwice(JNIEnv*, jclass, jint value) {
    ++nativeCalls;
    const jint viaBridge = callMethodInt("fixture.Box", nullptr, "add", "II", value, value);
    releaseJavaThread();
    JNIEnv* env = nullptr;
    if (javaVm()->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_2) != JNI_OK) stillAttached = false;
    return viaBridge;
}

TEST_F(Bridge, RegisteredNativesAreCalledFromJavaThreadsThatStayAttached) {
    FeatureInterface natives{1, "NativeManagement"};
    EXPECT_EQ(bindNative(natives, kApp, 0, "twice", "(I)I", reinterpret_cast<void*>(&nativeTwice)), 1);
    EXPECT_EQ(callMethodInt(kApp, nullptr, "callTwice", "I", jint{21}), 42);
    EXPECT_EQ(callMethodInt(kApp, nullptr, "callTwiceOnJavaThread", "I", jint{50}), 100);
    EXPECT_EQ(nativeCalls.load(), 2);
    EXPECT_TRUE(stillAttached.load());
    EXPECT_EQ(bindNative(natives, kApp, 0, "twice", "(I)I", reinterpret_cast<void*>(&nativeTwice)), -1);

    // A method that is not native refuses the function: not bound, the slot stays free.
    FeatureInterface refused{1, nullptr};
    EXPECT_EQ(bindNative(refused, "fixture.Box", 0, "add", "(II)I", reinterpret_cast<void*>(&nativeTwice)), 0);
    EXPECT_FALSE(isDefined(refused, 0));
}

TEST_F(Bridge, LauncherThreadsAttachOnUseAndDetachWhenReleased) {
    std::string seenName;
    jint attachedState = -1, releasedState = -1;
    std::thread worker([&] {
        seenName = toUtf8(fromJavaString(callMethodObject(kApp, nullptr, "threadName", "java.lang.String", nullptr)));
        attachedState = getEnvState();
        releaseJavaThread();
        releasedState = getEnvState();
        {
            JavaThreadScope scope;
            EXPECT_EQ(callMethodInt("fixture.Box", nullptr, "add", "II", jint{1}, jint{1}), 2);
        }
        EXPECT_EQ(getEnvState(), JNI_EDETACHED);
    });
    worker.join();
    EXPECT_EQ(seenName, "Tavrelo native thread");
    EXPECT_EQ(attachedState, JNI_OK);
    EXPECT_EQ(releasedState, JNI_EDETACHED);

    // The launch thread stays attached whatever it asks.
    releaseJavaThread();
    EXPECT_EQ(getEnvState(), JNI_OK);
}

TEST_F(Bridge, ApplicationIsAliveWhileItsMainThreadsRun) {
    EXPECT_TRUE(isApplicationAlive(false)); // this thread is the VM's "main"
    callMethodVoid("fixture.Threads", nullptr, "rename", "Ljava/lang/String;", toJavaString(u"launch").get());
    EXPECT_FALSE(isApplicationAlive(false));
    EXPECT_FALSE(isApplicationAlive(true));

    const std::string worker = callString("fixture.Threads", "startWorker");
    EXPECT_EQ(worker.rfind("Thread-", 0), 0u) << worker;
    EXPECT_FALSE(isApplicationAlive(false));
    EXPECT_TRUE(isApplicationAlive(true));
    bool fromLauncherThread = false, fromLauncherThreadCounting = false;
    std::thread asker([&] {
        JavaThreadScope scope;
        fromLauncherThread = isApplicationAlive(false);
        fromLauncherThreadCounting = isApplicationAlive(true);
    });
    asker.join();
    EXPECT_FALSE(fromLauncherThread);
    EXPECT_TRUE(fromLauncherThreadCounting);

    callMethodVoid("fixture.Threads", nullptr, "stopWorker", nullptr);
    EXPECT_FALSE(isApplicationAlive(true));
    // An attached launcher thread does not count as one of the application's threads.
    std::thread counted([&] {
        JavaThreadScope scope;
        fromLauncherThreadCounting = isApplicationAlive(true);
    });
    counted.join();
    EXPECT_FALSE(fromLauncherThreadCounting);

    callMethodVoid("fixture.Threads", nullptr, "rename", "Ljava/lang/String;", toJavaString(u"main").get());
    EXPECT_TRUE(isApplicationAlive(false));
}

} // namespace
} // namespace tavrelo::test
