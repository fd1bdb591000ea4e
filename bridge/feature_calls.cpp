#include "bridge/bridge.h"
#include "platform/messages.h"

namespace tavrelo {

namespace {

// The slot's method and the calling thread's environment, or nothing to call.
struct Bound {
    JNIEnv* env = nullptr;
    const FeatureMethod* method = nullptr;
    explicit operator bool() const noexcept { return env && method; }
};

Bound bound(const FeatureInterface& record, int slot) noexcept {
    if (!isDefined(record, slot)) return {};
    return Bound{javaEnv(), &record.slots[static_cast<std::size_t>(slot)]};
}

} // namespace

LocalRef<jobject> callObjectV(const FeatureInterface& record, int slot, va_list arguments) noexcept {
    const Bound call = bound(record, slot);
    if (!call) return {};
    LocalRef<jobject> result(call.env->CallStaticObjectMethodV(call.method->owner, call.method->method, arguments));
    if (clearJavaException(call.env)) result.reset();
    return result;
}

jboolean callBooleanV(const FeatureInterface& record, int slot, va_list arguments) noexcept {
    const Bound call = bound(record, slot);
    if (!call) return JNI_FALSE;
    const jboolean result = call.env->CallStaticBooleanMethodV(call.method->owner, call.method->method, arguments);
    if (clearJavaException(call.env)) return JNI_FALSE;
    return result ? JNI_TRUE : JNI_FALSE;
}

jint callIntV(const FeatureInterface& record, int slot, va_list arguments) noexcept {
    const Bound call = bound(record, slot);
    if (!call) return 0;
    const jint result = call.env->CallStaticIntMethodV(call.method->owner, call.method->method, arguments);
    if (clearJavaException(call.env)) return 0;
    return result;
}

void callVoidV(const FeatureInterface& record, int slot, va_list arguments) noexcept {
    const Bound call = bound(record, slot);
    if (!call) return;
    call.env->CallStaticVoidMethodV(call.method->owner, call.method->method, arguments);
    clearJavaException(call.env);
}

LocalRef<jobject> unchecked::callObject(const FeatureInterface& record, int slot, ...) noexcept {
    va_list arguments;
    va_start(arguments, slot);
    LocalRef<jobject> result = callObjectV(record, slot, arguments);
    va_end(arguments);
    return result;
}

jboolean unchecked::callBoolean(const FeatureInterface& record, int slot, ...) noexcept {
    va_list arguments;
    va_start(arguments, slot);
    const jboolean result = callBooleanV(record, slot, arguments);
    va_end(arguments);
    return result;
}

jint unchecked::callInt(const FeatureInterface& record, int slot, ...) noexcept {
    va_list arguments;
    va_start(arguments, slot);
    const jint result = callIntV(record, slot, arguments);
    va_end(arguments);
    return result;
}

void unchecked::callVoid(const FeatureInterface& record, int slot, ...) noexcept {
    va_list arguments;
    va_start(arguments, slot);
    callVoidV(record, slot, arguments);
    va_end(arguments);
}

bool callBooleanOrAsk(const FeatureInterface& record, int slot, int message) noexcept {
    if (isDefined(record, slot)) return callBoolean(record, slot) != JNI_FALSE;
    try {
        return showMessage(message, kBoxYesNo | kBoxQuestion);
    } catch (...) {
        return false;
    }
}

} // namespace tavrelo
