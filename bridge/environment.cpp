#include "bridge/bridge.h"
#include "launcher/java_runtime.h"

namespace tavrelo {

namespace {

// How the bridge found the calling thread on its first use.
enum class ThreadUse : unsigned char {
    Unknown,  // not seen yet, or released
    Java,     // already known to the VM: the launch thread, or a Java thread in one of our natives
    Attached, // attached by the bridge: detached again by releaseJavaThread
};
thread_local ThreadUse threadUse = ThreadUse::Unknown;

// Attached threads get a name of their own: the VM would otherwise call them "Thread-<n>", and
// a launcher thread asking whether the application's "Thread-" threads are alive would count
// itself.
char attachedThreadName[] = "Tavrelo native thread";

} // namespace

JavaVM* javaVm() noexcept {
    JavaRuntime& runtime = javaRuntime();
    if (runtime.ended.load(std::memory_order_acquire)) return nullptr;
    return runtime.vm.load(std::memory_order_acquire);
}

JNIEnv* javaEnv() noexcept {
    JavaVM* vm = javaVm();
    if (!vm) return nullptr;
    JNIEnv* env = nullptr;
    const jint state = vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_2);
    if (state == JNI_OK && env) {
        if (threadUse == ThreadUse::Unknown) threadUse = ThreadUse::Java;
        return env;
    }
    if (state != JNI_EDETACHED) return nullptr;
    // Every thread the bridge attaches is one of the launcher's own (pump senders, listeners,
    // feature threads): as daemons they never keep DestroyJavaVM waiting, which counts only the
    // application's threads, as the JDK's own launcher does.
    JavaVMAttachArgs arguments{JNI_VERSION_1_2, attachedThreadName, nullptr};
    if (vm->AttachCurrentThreadAsDaemon(reinterpret_cast<void**>(&env), &arguments) != JNI_OK || !env) return nullptr;
    threadUse = ThreadUse::Attached;
    return env;
}

void releaseJavaThread() noexcept {
    if (threadUse != ThreadUse::Attached) return;
    threadUse = ThreadUse::Unknown;
    if (JavaVM* vm = javaVm()) vm->DetachCurrentThread();
}

void detachJavaThread() noexcept {
    threadUse = ThreadUse::Unknown;
    if (JavaVM* vm = javaVm()) vm->DetachCurrentThread();
}

bool clearJavaException(JNIEnv* env) noexcept {
    if (!env) return false;
    jthrowable pending = env->ExceptionOccurred();
    env->ExceptionClear();
    if (!pending) return false;
    env->DeleteLocalRef(pending);
    return true;
}

namespace {
std::string& storedMainClass() {
    static std::string name;
    return name;
}
} // namespace

void setMainClassName(std::string name) { storedMainClass() = std::move(name); }
const std::string& mainClassName() noexcept { return storedMainClass(); }

} // namespace tavrelo
