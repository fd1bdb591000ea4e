#include <cstring>

#include "bridge/bridge.h"
#include "platform/messages.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

constexpr std::size_t kNameBytes = 1024;

void showMissingClass(const char* name, int message) {
    // Class names are UTF-8 (what FindClass reads), whatever the system's code page.
    const Text wide = fromUtf8(name);
    if (message == kMessageMainClassMissing && equalsIgnoreCase(wide, u"Tavrelo")) {
        showMessage(kMessageRename, kBoxWarning);
        return;
    }
    // The table's %S takes the name in its wide form, which the formatter accepts for any text.
    showMessage(message, kBoxOk, {wide});
}

// The class and method a generic call names, looked up on the calling thread.
struct Target {
    JNIEnv* env = nullptr;
    LocalRef<jclass> owner;
    jmethodID method = nullptr;
};

bool resolve(Target& target, const char* className, bool instance, const char* method, const std::string& signature) {
    if (!className || !method || signature.empty()) return false;
    target.env = javaEnv();
    if (!target.env) return false;
    target.owner = findJavaClass(className);
    if (!target.owner) return false;
    target.method = instance ? target.env->GetMethodID(target.owner.get(), method, signature.c_str())
                             : target.env->GetStaticMethodID(target.owner.get(), method, signature.c_str());
    clearJavaException(target.env);
    return target.method != nullptr;
}

std::string slashed(const char* name) {
    std::string out(name ? name : "");
    for (char& c : out)
        if (c == '.') c = '/';
    return out;
}

std::string fitted(std::string signature) { return signature.size() < kNameBytes ? signature : std::string(); }

} // namespace

LocalRef<jclass> findJavaClass(const char* name, MessageNumber message) noexcept {
    if (!name) return {};
    JNIEnv* env = javaEnv();
    if (!env) return {};
    char buffer[kNameBytes];
    std::size_t length = 0;
    for (; name[length] && length < kNameBytes - 1; ++length)
        buffer[length] = name[length] == '.' ? '/' : name[length];
    buffer[length] = '\0';
    LocalRef<jclass> found(env->FindClass(buffer));
    clearJavaException(env);
    if (!found && (message == kMessageMainClassMissing || message == kMessageClassMissing)) {
        try {
            showMissingClass(name, message);
        } catch (...) {
        }
    }
    return found;
}

std::string methodSignature(const char* parameters, const char* result) {
    std::string signature(1, '(');
    if (parameters) signature.append(parameters);
    signature.push_back(')');
    if (result) signature.append(result);
    return fitted(std::move(signature));
}

std::string objectMethodSignature(const char* parameters, const char* resultClass) {
    if (resultClass && resultClass[0] == '[') return methodSignature(parameters, resultClass);
    std::string result(1, 'L');
    result.append(slashed(resultClass));
    result.push_back(';');
    return methodSignature(parameters, result.c_str());
}

void unchecked::callMethodVoid(const char* className, jobject object, const char* method, const char* parameters,
                               ...) noexcept {
    try {
        Target target;
        if (!resolve(target, className, object != nullptr, method, methodSignature(parameters, "V"))) return;
        va_list arguments;
        va_start(arguments, parameters);
        if (object)
            target.env->CallVoidMethodV(object, target.method, arguments);
        else
            target.env->CallStaticVoidMethodV(target.owner.get(), target.method, arguments);
        va_end(arguments);
        clearJavaException(target.env);
    } catch (...) {
    }
}

jboolean unchecked::callMethodBoolean(const char* className, jobject object, const char* method, const char* parameters,
                                      ...) noexcept {
    try {
        Target target;
        if (!resolve(target, className, object != nullptr, method, methodSignature(parameters, "Z"))) return JNI_FALSE;
        va_list arguments;
        va_start(arguments, parameters);
        const jboolean result =
            object ? target.env->CallBooleanMethodV(object, target.method, arguments)
                   : target.env->CallStaticBooleanMethodV(target.owner.get(), target.method, arguments);
        va_end(arguments);
        if (clearJavaException(target.env)) return JNI_FALSE;
        return result ? JNI_TRUE : JNI_FALSE;
    } catch (...) {
        return JNI_FALSE;
    }
}

jint unchecked::callMethodInt(const char* className, jobject object, const char* method, const char* parameters,
                              ...) noexcept {
    try {
        Target target;
        if (!resolve(target, className, object != nullptr, method, methodSignature(parameters, "I"))) return 0;
        va_list arguments;
        va_start(arguments, parameters);
        const jint result = object ? target.env->CallIntMethodV(object, target.method, arguments)
                                   : target.env->CallStaticIntMethodV(target.owner.get(), target.method, arguments);
        va_end(arguments);
        if (clearJavaException(target.env)) return 0;
        return result;
    } catch (...) {
        return 0;
    }
}

LocalRef<jobject> unchecked::callMethodObject(const char* className, jobject object, const char* method,
                                              const char* resultClass, const char* parameters, ...) noexcept {
    try {
        Target target;
        if (!resolve(target, className, object != nullptr, method, objectMethodSignature(parameters, resultClass)))
            return {};
        va_list arguments;
        va_start(arguments, parameters);
        LocalRef<jobject> result(
            object ? target.env->CallObjectMethodV(object, target.method, arguments)
                   : target.env->CallStaticObjectMethodV(target.owner.get(), target.method, arguments));
        va_end(arguments);
        if (clearJavaException(target.env)) result.reset();
        return result;
    } catch (...) {
        return {};
    }
}

LocalRef<jobject> unchecked::newObject(const char* className, const char* parameters, ...) noexcept {
    try {
        Target target;
        if (!resolve(target, className, true, "<init>", methodSignature(parameters, "V"))) return {};
        // When the constructor throws, the VM keeps a local reference to the object it had
        // allocated, and gives the caller none to delete: a frame of its own lets it go.
        if (target.env->PushLocalFrame(1) != JNI_OK) {
            clearJavaException(target.env);
            return {};
        }
        va_list arguments;
        va_start(arguments, parameters);
        jobject result = target.env->NewObjectV(target.owner.get(), target.method, arguments);
        va_end(arguments);
        if (clearJavaException(target.env)) result = nullptr;
        return LocalRef<jobject>(target.env->PopLocalFrame(result));
    } catch (...) {
        return {};
    }
}

} // namespace tavrelo
