#include "bridge/bridge.h"
#include "launcher/hand_overs.h"
#include "launcher/java_runtime.h"
#include "platform/messages.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

using GetDefaultArgsFunction = jint(JNICALL*)(void*);
using CreateVmFunction = jint(JNICALL*)(JavaVM**, void**, void*);
using GetCreatedVmsFunction = jint(JNICALL*)(JavaVM**, jsize, jsize*);

constexpr jsize kMaxCreatedVms = 100;

std::string hexText(unsigned value) {
    std::string out;
    for (int shift = 28; shift >= 0; shift -= 4)
        out.push_back("0123456789abcdef"[(value >> shift) & 0xF]);
    return out;
}

template <class Function> Function entryPoint(void* address) noexcept {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

jint interfaceVersionFor(RuntimeVersion version) noexcept {
    const int release = featureRelease(version);
    if (release >= 6) return JNI_VERSION_1_6;
    if (release >= 4) return JNI_VERSION_1_4;
    return JNI_VERSION_1_2;
}

// The option array of the VM this process creates: it lives as long as the process, as the VM
// may keep pointers into it.
struct OptionStorage {
    VmOptionSet set;
    std::vector<JavaVMOption> array;
};
OptionStorage& optionStorage() {
    static OptionStorage storage;
    return storage;
}

void JNICALL exitHook(jint /*status*/) { runCleanUpHook(); }

// Properties whose text the VM's narrow options cannot carry, set once it runs.
void setKeptBackProperties(const std::vector<Text>& properties) {
    for (const Text& property : properties) {
        const std::size_t equals = property.find(u'=');
        if (equals == Text::npos) continue;
        LocalRef<jstring> name(toJavaString(TextView(property).substr(0, equals)));
        LocalRef<jstring> value(toJavaString(TextView(property).substr(equals + 1)));
        if (!name || !value) continue;
        LocalRef<jobject> previous(callMethodObject("java/lang/System", nullptr, "setProperty", "java.lang.String",
                                                    "Ljava/lang/String;Ljava/lang/String;", name.get(), value.get()));
    }
}

bool joinExistingVm(JavaRuntime& runtime) {
    auto getCreated = entryPoint<GetCreatedVmsFunction>(runtime.getCreatedVms);
    if (!getCreated) return false;
    JavaVM* created[kMaxCreatedVms] = {};
    jsize count = 0;
    if (getCreated(created, kMaxCreatedVms, &count) != JNI_OK || count < 1 || !created[0]) return false;
    runtime.vm.store(created[0], std::memory_order_release);
    return true;
}

// Loads the library and creates or joins the VM; `keptBack` receives the properties to set
// through Java afterwards.
bool startVm(JavaRuntime& runtime, std::vector<Text>& keptBack) {
    const VmLaunchValues& values = runtime.values;
    if (!runtime.library && !loadVmLibrary(runtime, values.libraryPath)) return false;
    if (runtime.vm.load(std::memory_order_acquire)) return true;

    if (runtime.version.major < 0 || runtime.version.minor < 0) {
        const RuntimeVersion stated = readRuntimeVersion(runtime.home);
        if (stated.major >= 0) runtime.version = stated;
    }
    trace("runtime version ", versionText(runtime.version));
    if (featureRelease(runtime.version) <= 1) { // unknown, or 1.1 and older
        trace("the runtime's version is unknown or too old for this launcher");
        return false;
    }

    VmOptionSet set =
        buildVmOptions(values.optionString, values.classPath, values.launcherDirectory, values.classPathOption);
    keptBack = set.keptBack;
    JavaVMInitArgs arguments{};
    arguments.version = interfaceVersionFor(runtime.version);
    runtime.interfaceVersion = arguments.version;
    entryPoint<GetDefaultArgsFunction>(runtime.getDefaultArgs)(&arguments);
    if (joinExistingVm(runtime)) {
        trace("joined the VM already running in this process");
        return true;
    }

    addClassDataArchiveOptions(runtime, set.options);
    OptionStorage& storage = optionStorage();
    storage.set = std::move(set);
    storage.array.clear();
    for (std::string& option : storage.set.options)
        storage.array.push_back(JavaVMOption{option.data(), nullptr});
    storage.array.push_back(JavaVMOption{const_cast<char*>(fixedOption(FixedOption::ExitHook)), cleanUpHookFunction()});
    arguments.version = runtime.interfaceVersion;
    arguments.nOptions = static_cast<jint>(storage.array.size());
    arguments.options = storage.array.data();
    arguments.ignoreUnrecognized = JNI_TRUE;
    if (tracing()) {
        for (const std::string& option : storage.set.options)
            trace("VM option: ", option);
        for (const Text& property : storage.set.keptBack)
            trace("property set once the VM runs: ", property);
        trace("VM option: the exit hook; interface version 0x", hexText(static_cast<unsigned>(arguments.version)));
    }
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    const jint created =
        entryPoint<CreateVmFunction>(runtime.createVm)(&vm, reinterpret_cast<void**>(&env), &arguments);
    if (created < 0 || !vm) {
        trace("JNI_CreateJavaVM failed with ", created);
        return false;
    }
    trace("VM created");
    runtime.vm.store(vm, std::memory_order_release);
    return true;
}

} // namespace

void* cleanUpHookFunction() noexcept { return reinterpret_cast<void*>(&exitHook); }

bool createJavaVm(const VmLaunchValues& values) {
    JavaRuntime& runtime = javaRuntime();
    runtime.values = values;
    if (runtime.home != values.runtimeHome) {
        runtime.home = values.runtimeHome;
        runtime.version = RuntimeVersion{};
    }
    setMainClassName({});
    std::vector<Text> keptBack;
    if (!startVm(runtime, keptBack)) {
        // Only a library that never ran a VM may go: a VM, even destroyed, leaves daemon threads
        // parked in its code, and no second VM can be created in the process anyway.
        if (runtime.library && !runtime.vmHasRun) {
            freeVmLibrary(runtime.library);
            runtime.library = nullptr;
        }
        runtime.ended.store(true, std::memory_order_release);
        showMessage(kMessageCantRunJvm, kBoxOk);
        return false;
    }
    runtime.vmHasRun = true;
    runtime.ended.store(false, std::memory_order_release);
    installConsoleHandler();
    setKeptBackProperties(keptBack);
    return true;
}

void shutdownJavaVm(bool destroy) {
    JavaRuntime& runtime = javaRuntime();
    JavaVM* vm = javaVm();
    if (vm) clearJavaException(javaEnv());
    if (vm && destroy) {
        // The VM waits here for the application's non-daemon threads, which may still call
        // into the launcher: it counts as running until this returns.
        detachJavaThread();
        awaitDesktopThreadEnd();
        awaitNativeThreadsEnd();
        awaitAdminSectionsEnd();
        awaitSplashEnd();
        vm->DestroyJavaVM();
    }
    // The library stays loaded: a VM left running still executes its code, and even a destroyed
    // one leaves daemon threads parked inside it, which unloading would pull the ground from.
    runtime.vm.store(nullptr, std::memory_order_release);
    runtime.ended.store(true, std::memory_order_release);
    os::setLauncherEnding();
    // What the features opened (the tray icon above all) goes before the process ends.
    runCleanUpHook();
}

void exitJava() { callMethodVoid("java/lang/System", nullptr, "exit", "I", 0); }

} // namespace tavrelo
