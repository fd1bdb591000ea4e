#include "bridge/bridge.h"

namespace tavrelo {

namespace {

bool validSlot(const FeatureInterface& record, int slot) noexcept {
    return slot >= 0 && slot < record.count && slot < kMaxFeatureSlots;
}

// The static method in `className`: the class when the method is there.
LocalRef<jclass> classWithMethod(JNIEnv* env, const char* className, const char* method, const char* signature,
                                 jmethodID& found) noexcept {
    LocalRef<jclass> owner = findJavaClass(className);
    if (!owner) return {};
    found = env->GetStaticMethodID(owner.get(), method, signature);
    clearJavaException(env);
    if (!found) owner.reset();
    return owner;
}

} // namespace

int bindMethod(FeatureInterface& record, const char* mainClass, int slot, const char* method,
               const char* signature) noexcept {
    if (!validSlot(record, slot) || !method || !signature) return 0;
    FeatureMethod& entry = record.slots[static_cast<std::size_t>(slot)];
    if (entry.owner && entry.method) return -1;
    entry = FeatureMethod{};
    JNIEnv* env = javaEnv();
    if (!env || !mainClass) return 0;

    jmethodID found = nullptr;
    LocalRef<jclass> owner;
    if (record.name) {
        const std::string companion = std::string(mainClass) + "_" + record.name;
        owner = classWithMethod(env, companion.c_str(), method, signature, found);
    }
    if (!owner) owner = classWithMethod(env, mainClass, method, signature, found);
    if (!owner) return 0;
    // Bound classes are used from any thread for the life of the process.
    entry.owner = static_cast<jclass>(env->NewGlobalRef(owner.get()));
    entry.method = entry.owner ? found : nullptr;
    return entry.method ? 1 : 0;
}

int bindNative(FeatureInterface& record, const char* mainClass, int slot, const char* method, const char* signature,
               void* function) noexcept {
    const int bound = bindMethod(record, mainClass, slot, method, signature);
    if (bound != 1) return bound;
    FeatureMethod& entry = record.slots[static_cast<std::size_t>(slot)];
    JNIEnv* env = javaEnv();
    JNINativeMethod native{const_cast<char*>(method), const_cast<char*>(signature), function};
    const bool registered = function && env && env->RegisterNatives(entry.owner, &native, 1) == JNI_OK;
    clearJavaException(env);
    if (registered) return 1;
    // A method the launcher could not implement (not declared native, or refused) counts as not
    // found: the slot is left free, so nothing takes it for a working native.
    if (env) env->DeleteGlobalRef(entry.owner);
    entry = FeatureMethod{};
    return 0;
}

bool isDefined(const FeatureInterface& record, int slot) noexcept {
    return validSlot(record, slot) && record.slots[static_cast<std::size_t>(slot)].method != nullptr;
}

} // namespace tavrelo
