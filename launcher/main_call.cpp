#include <array>
#include <optional>

#include "bridge/bridge.h"
#include "launcher/hand_overs.h"
#include "launcher/java_runtime.h"
#include "launcher/launcher.h"
#include "platform/messages.h"

namespace tavrelo {

namespace {

constexpr jsize kThreadArraySize = 100;

enum class MainResult { NotCalled, Returned, Threw };

MainResult invokeMain(bool withMessages) {
    JNIEnv* env = javaEnv();
    if (!env) return MainResult::NotCalled;
    LocalRef<jobjectArray> arguments(toJavaStringArray(javaRuntime().values.programArguments, false));
    LocalRef<jclass> mainClass(
        findJavaClass(mainClassName().c_str(), withMessages ? kMessageMainClassMissing : kNoMessage));
    if (!mainClass) return MainResult::NotCalled;
    const jmethodID main = env->GetStaticMethodID(mainClass.get(), "main", "([Ljava/lang/String;)V");
    if (!main) {
        clearJavaException(env);
        if (withMessages) showMessage(kMessageMainMethodMissing, kBoxOk);
        return MainResult::NotCalled;
    }
    env->CallStaticVoidMethod(mainClass.get(), main, arguments.get());
    if (!LocalRef<jthrowable>(env->ExceptionOccurred())) return MainResult::Returned;
    if (withMessages) env->ExceptionDescribe(); // the VM prints it on the error output
    env->ExceptionClear();
    return MainResult::Threw;
}

// For each prefix: whether the threads whose names begin with it are all alive (false when there
// is none; true for every prefix when the threads cannot be listed). One listing and one
// collection answer all prefixes: the desktop thread asks this every second.
template <std::size_t N> std::array<bool, N> threadsAlive(JNIEnv* env, const std::array<const char16_t*, N>& prefixes) {
    std::array<bool, N> result;
    result.fill(true);
    LocalRef<jclass> threadClass(findJavaClass("java/lang/Thread"));
    if (!threadClass) return result;
    LocalRef<jobjectArray> threads(env->NewObjectArray(kThreadArraySize, threadClass.get(), nullptr));
    clearJavaException(env);
    if (!threads) return result;
    const jint count = callMethodInt("java/lang/Thread", nullptr, "enumerate", "[Ljava/lang/Thread;", threads.get());
    std::array<bool, N> matched{};
    for (jint i = 0; i < count && i < kThreadArraySize; ++i) {
        LocalRef<jobject> thread(arrayElement(threads.get(), i));
        if (!thread) continue;
        const Text name =
            fromJavaString(callMethodObject("java/lang/Thread", thread.get(), "getName", "java.lang.String", nullptr));
        std::optional<bool> alive;
        for (std::size_t k = 0; k < N; ++k) {
            if (!startsWithIgnoreCase(name, prefixes[k])) continue;
            if (!alive) alive = callMethodBoolean("java/lang/Thread", thread.get(), "isAlive", nullptr) != JNI_FALSE;
            matched[k] = true;
            result[k] = result[k] && *alive;
        }
    }
    threads.reset();
    callMethodVoid("java/lang/System", nullptr, "gc", nullptr);
    for (std::size_t k = 0; k < N; ++k)
        result[k] = result[k] && matched[k];
    return result;
}

} // namespace

int callMain(int desktopFeatureSet) {
    if (desktopFeatureSet != 0) startDesktopThread(desktopFeatureSet, mainClassName());
    const MainResult result = invokeMain(true);
    // Also after an exception: destroying the VM lets the application's other threads (an open
    // window, a writer) finish their work, as they would under the JDK's own launcher.
    shutdownJavaVm(true);
    return result == MainResult::NotCalled ? 0 : 1;
}

int callMainQuietly() { return invokeMain(false) == MainResult::NotCalled ? 0 : 1; }

bool isApplicationAlive(bool countThreads) {
    if (javaRuntime().ended.load(std::memory_order_acquire)) return false;
    JNIEnv* env = javaEnv();
    if (!env) return false;
    const auto alive = threadsAlive<3>(env, {u"main", u"AWT-EventQueue-0", u"Thread-"});
    return alive[0] || alive[1] || (countThreads && alive[2]);
}

} // namespace tavrelo
