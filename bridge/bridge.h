// The JNI call bridge: every call from the launcher into Java goes through here.
//
// Threads. Any thread may call. A thread that is not yet known to the virtual machine is
// attached on its first call, as a daemon: the VM's end does not wait for the launcher's own
// threads (a Java thread started from inside such a call inherits that, as Java threads do,
// unless the application says otherwise). It stays attached until it calls releaseJavaThread
// (or a JavaThreadScope ends). Only threads the bridge itself attached are ever detached: the
// launch thread (which created the VM) and Java threads that run one of our natives are left
// alone.
// Every operation clears a pending Java exception before it returns, so a failing method gives
// its type's zero value and the caller goes on. With no virtual machine, or once it has ended,
// every operation does nothing and returns its default (null, false, 0).
#pragma once

#include <jni.h>

#include <array>
#include <cstdarg>
#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/messages.h"
#include "platform/text.h"

namespace tavrelo {

// ---- Environment ------------------------------------------------------------------------------

// The calling thread's environment, attaching the thread when needed; null without a VM.
[[nodiscard]] JNIEnv* javaEnv() noexcept;
// The virtual machine, or null when none exists (never created, or ended).
[[nodiscard]] JavaVM* javaVm() noexcept;
// Ends this thread's use of Java: detaches it when the bridge attached it, else does nothing.
// Threads the launcher starts call it (or hold a JavaThreadScope) when their work is done.
void releaseJavaThread() noexcept;

// Detaches the calling thread whoever attached it, for the VM's shutdown on the launch thread.
void detachJavaThread() noexcept;

class JavaThreadScope {
  public:
    JavaThreadScope() = default;
    ~JavaThreadScope() { releaseJavaThread(); }
    JavaThreadScope(const JavaThreadScope&) = delete;
    JavaThreadScope& operator=(const JavaThreadScope&) = delete;
};

// Clears a pending exception; true when there was one.
bool clearJavaException(JNIEnv* env) noexcept;

// A JNI local reference deleted when the scope ends (on the thread that created it).
template <class T> class LocalRef {
  public:
    LocalRef() noexcept = default;
    explicit LocalRef(T ref) noexcept : ref_(ref) {}
    LocalRef(const LocalRef&) = delete;
    LocalRef& operator=(const LocalRef&) = delete;
    LocalRef(LocalRef&& other) noexcept : ref_(other.release()) {}
    LocalRef& operator=(LocalRef&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~LocalRef() { reset(); }

    [[nodiscard]] T get() const noexcept { return ref_; }
    explicit operator bool() const noexcept { return ref_ != nullptr; }
    friend bool operator==(const LocalRef& ref, std::nullptr_t) noexcept { return ref.ref_ == nullptr; }
    [[nodiscard]] T release() noexcept { return std::exchange(ref_, nullptr); }
    void reset(T ref = nullptr) noexcept {
        const T old = std::exchange(ref_, ref);
        if (old)
            if (JNIEnv* env = javaEnv()) env->DeleteLocalRef(old);
    }

  private:
    T ref_ = nullptr;
};

// The same reference as a narrower JNI type (a string or an array the call is known to return).
template <class To, class From> [[nodiscard]] LocalRef<To> localAs(LocalRef<From>&& from) noexcept {
    return LocalRef<To>(static_cast<To>(from.release()));
}

// What a JNI call takes through C's "...": numbers, enumerations and plain pointers (references,
// ids). An owning LocalRef, a text or any other object would be copied bit by bit and read as
// garbage: the calls below refuse them when they are compiled (pass `ref.get()`).
template <class T>
concept JniArgument = std::is_arithmetic_v<T> || std::is_enum_v<T> || std::is_pointer_v<T> || std::is_null_pointer_v<T>;

// ---- Main class -------------------------------------------------------------------------------

// The main class's name (dots or slashes, narrow text), set once by the launch sequence before
// any feature binds; empty before that.
void setMainClassName(std::string name);
[[nodiscard]] const std::string& mainClassName() noexcept;

// ---- Feature interfaces -----------------------------------------------------------------------

inline constexpr int kMaxFeatureSlots = 32;

struct FeatureMethod {
    jclass owner = nullptr; // a global reference once bound, never deleted
    jmethodID method = nullptr;
};

// One process-wide record per feature, e.g. `FeatureInterface taskbar{14, "TaskbarManagement"};`.
// Slots are bound on the launch thread (or the feature's own start-up) before the feature's
// threads run, and only read afterwards.
struct FeatureInterface {
    int count = 0;
    const char* name = nullptr; // companion suffix; null: the methods live in the main class only
    std::array<FeatureMethod, kMaxFeatureSlots> slots{};
};

// Looks up static method `method` with `signature` for `slot`: in the companion class
// "<mainClass>_<name>" first, else in the main class. 1 found, 0 not found (silently), -1 the
// slot was already bound (it is left as it is). An unbound slot may be bound again later.
int bindMethod(FeatureInterface& record, const char* mainClass, int slot, const char* method,
               const char* signature) noexcept;
// bindMethod, then registers `function` as the implementation of that static native method in
// the class where it was found. Same results, except that a method found but not registered
// (no function, or RegisterNatives refused it) gives 0 and leaves the slot unbound.
int bindNative(FeatureInterface& record, const char* mainClass, int slot, const char* method, const char* signature,
               void* function) noexcept;
// True when `slot` is within the record and holds a method.
[[nodiscard]] bool isDefined(const FeatureInterface& record, int slot) noexcept;

// The variadic functions themselves. Callers use the checked templates of the same names.
namespace unchecked {
LocalRef<jobject> callObject(const FeatureInterface& record, int slot, ...) noexcept;
jboolean callBoolean(const FeatureInterface& record, int slot, ...) noexcept;
jint callInt(const FeatureInterface& record, int slot, ...) noexcept;
void callVoid(const FeatureInterface& record, int slot, ...) noexcept;
void callMethodVoid(const char* className, jobject object, const char* method, const char* parameters, ...) noexcept;
jboolean callMethodBoolean(const char* className, jobject object, const char* method, const char* parameters,
                           ...) noexcept;
jint callMethodInt(const char* className, jobject object, const char* method, const char* parameters, ...) noexcept;
LocalRef<jobject> callMethodObject(const char* className, jobject object, const char* method, const char* resultClass,
                                   const char* parameters, ...) noexcept;
LocalRef<jobject> newObject(const char* className, const char* parameters, ...) noexcept;
} // namespace unchecked

// Calls the bound static method of `slot` with the arguments of its signature, in order (as
// JNI's variadic calls take them: booleans, bytes, chars and shorts as int, floats as double).
// Not defined, or the method threw: null / false / 0 / nothing.
template <JniArgument... Arguments>
LocalRef<jobject> callObject(const FeatureInterface& record, int slot, Arguments... arguments) noexcept {
    return unchecked::callObject(record, slot, arguments...);
}
template <JniArgument... Arguments>
jboolean callBoolean(const FeatureInterface& record, int slot, Arguments... arguments) noexcept {
    return unchecked::callBoolean(record, slot, arguments...);
}
template <JniArgument... Arguments>
jint callInt(const FeatureInterface& record, int slot, Arguments... arguments) noexcept {
    return unchecked::callInt(record, slot, arguments...);
}
template <JniArgument... Arguments>
void callVoid(const FeatureInterface& record, int slot, Arguments... arguments) noexcept {
    unchecked::callVoid(record, slot, arguments...);
}
LocalRef<jobject> callObjectV(const FeatureInterface& record, int slot, va_list arguments) noexcept;
jboolean callBooleanV(const FeatureInterface& record, int slot, va_list arguments) noexcept;
jint callIntV(const FeatureInterface& record, int slot, va_list arguments) noexcept;
void callVoidV(const FeatureInterface& record, int slot, va_list arguments) noexcept;
// The method's answer (it takes no arguments) when defined; otherwise asks the user message
// `message` as a Yes/No question: true for Yes.
bool callBooleanOrAsk(const FeatureInterface& record, int slot, int message) noexcept;

// ---- Classes and generic calls ----------------------------------------------------------------

// FindClass with dots turned into slashes (names are cut at 1,023 bytes). When it fails and
// `message` is kMessageMainClassMissing or kMessageClassMissing, that message is shown with the
// name (the main class named "Tavrelo" shows the rename message instead).
[[nodiscard]] LocalRef<jclass> findJavaClass(const char* name, MessageNumber message = kNoMessage) noexcept;

// Static call when `object` is null, else an instance call on it; the method is looked up in
// `className`. `parameters` is the inside of the signature's parentheses (null: none).
// Signatures: "(%s)V", "(%s)Z", "(%s)I"; for objects "(%s)L%s;" with `resultClass` in slash
// form, or "(%s)%s" when `resultClass` is an array descriptor (begins with '[').
template <JniArgument... Arguments>
void callMethodVoid(const char* className, jobject object, const char* method, const char* parameters,
                    Arguments... arguments) noexcept {
    unchecked::callMethodVoid(className, object, method, parameters, arguments...);
}
template <JniArgument... Arguments>
jboolean callMethodBoolean(const char* className, jobject object, const char* method, const char* parameters,
                           Arguments... arguments) noexcept {
    return unchecked::callMethodBoolean(className, object, method, parameters, arguments...);
}
template <JniArgument... Arguments>
jint callMethodInt(const char* className, jobject object, const char* method, const char* parameters,
                   Arguments... arguments) noexcept {
    return unchecked::callMethodInt(className, object, method, parameters, arguments...);
}
template <JniArgument... Arguments>
LocalRef<jobject> callMethodObject(const char* className, jobject object, const char* method, const char* resultClass,
                                   const char* parameters, Arguments... arguments) noexcept {
    return unchecked::callMethodObject(className, object, method, resultClass, parameters, arguments...);
}
// A new instance through the constructor "(%s)V".
template <JniArgument... Arguments>
LocalRef<jobject> newObject(const char* className, const char* parameters, Arguments... arguments) noexcept {
    return unchecked::newObject(className, parameters, arguments...);
}
// The signatures these calls build; empty when one does not fit 1,023 bytes.
[[nodiscard]] std::string methodSignature(const char* parameters, const char* result);
[[nodiscard]] std::string objectMethodSignature(const char* parameters, const char* resultClass);

// ---- Conversions ------------------------------------------------------------------------------
// Every result object is a local reference the caller owns (null on failure); a native method
// hands one to Java with release(). Arguments are borrowed: the caller keeps its references.

[[nodiscard]] LocalRef<jstring> toJavaString(TextView text) noexcept;
[[nodiscard]] LocalRef<jstring> toJavaStringUtf(const char* text) noexcept; // modified UTF-8
// The string's characters. Empty for null.
[[nodiscard]] Text fromJavaString(jstring string);
// The same of a reference held (one a call returned as an object is known to be a string): the
// reference stays its owner's, e.g. fromJavaString(arrayElement(array, 0)).
[[nodiscard]] inline Text fromJavaString(const LocalRef<jstring>& string) { return fromJavaString(string.get()); }
[[nodiscard]] inline Text fromJavaString(const LocalRef<jobject>& string) {
    return fromJavaString(static_cast<jstring>(string.get()));
}
// The string's (modified) UTF-8 bytes. Empty for null.
[[nodiscard]] std::string fromJavaStringUtf(jstring string);
// A String[] of the texts. With `unquote`, a text that begins with a double quote loses it and
// a double quote at its end. A text that cannot be converted leaves its element null.
[[nodiscard]] LocalRef<jobjectArray> toJavaStringArray(const std::vector<Text>& texts, bool unquote) noexcept;
// The elements as one line for another process's command line (quoteArgumentLine): the line
// parses back into the same strings, empty ones included; null elements are left out.
[[nodiscard]] Text fromJavaStringArrayToLine(jobjectArray array);
[[nodiscard]] LocalRef<jintArray> toJavaIntArray(const jint* values, std::size_t count) noexcept;
[[nodiscard]] LocalRef<jbyteArray> toJavaByteArray(const void* bytes, std::size_t count) noexcept;
[[nodiscard]] jsize arrayLength(jarray array) noexcept;
// Element `index`, null outside the array.
[[nodiscard]] LocalRef<jobject> arrayElement(jobjectArray array, jsize index) noexcept;

// An array's elements while the object lives; released without copying back (JNI_ABORT).
template <class Element, class Array> class JavaArrayElements {
  public:
    explicit JavaArrayElements(Array array) noexcept;
    ~JavaArrayElements();
    JavaArrayElements(const JavaArrayElements&) = delete;
    JavaArrayElements& operator=(const JavaArrayElements&) = delete;

    [[nodiscard]] const Element* data() const noexcept { return elements_; }
    [[nodiscard]] std::size_t size() const noexcept { return size_; }
    explicit operator bool() const noexcept { return elements_ != nullptr; }

  private:
    Array array_;
    Element* elements_ = nullptr;
    std::size_t size_ = 0;
};
template <> JavaArrayElements<jint, jintArray>::JavaArrayElements(jintArray array) noexcept;
template <> JavaArrayElements<jint, jintArray>::~JavaArrayElements();
template <> JavaArrayElements<jbyte, jbyteArray>::JavaArrayElements(jbyteArray array) noexcept;
template <> JavaArrayElements<jbyte, jbyteArray>::~JavaArrayElements();
using JavaIntElements = JavaArrayElements<jint, jintArray>;
using JavaByteElements = JavaArrayElements<jbyte, jbyteArray>;

[[nodiscard]] JavaIntElements readJavaIntArray(jintArray array) noexcept;
[[nodiscard]] JavaByteElements readJavaByteArray(jbyteArray array) noexcept;

} // namespace tavrelo
