#include <climits>

#include "bridge/bridge.h"
#include "launcher/launcher.h"

namespace tavrelo {

namespace {

bool fitsJava(std::size_t count) noexcept { return count <= static_cast<std::size_t>(INT_MAX); }

// Takes a freshly created local reference, or nothing when the call left an exception.
template <class T> LocalRef<T> checked(JNIEnv* env, T created) noexcept {
    LocalRef<T> owned(created);
    if (clearJavaException(env)) owned.reset();
    return owned;
}

} // namespace

LocalRef<jstring> toJavaString(TextView text) noexcept {
    JNIEnv* env = javaEnv();
    if (!env || !fitsJava(text.size())) return {};
    static_assert(sizeof(jchar) == sizeof(char16_t), "Java characters are UTF-16 units");
    return checked(env, env->NewString(reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size())));
}

LocalRef<jstring> toJavaStringUtf(const char* text) noexcept {
    JNIEnv* env = javaEnv();
    if (!env || !text) return {};
    return checked(env, env->NewStringUTF(text));
}

Text fromJavaString(jstring string) {
    JNIEnv* env = javaEnv();
    if (!env || !string) return {};
    Text text;
    const jsize length = env->GetStringLength(string);
    // GetStringChars promises no terminator: the length is taken from the string itself.
    if (const jchar* chars = env->GetStringChars(string, nullptr)) {
        if (length > 0) text.assign(reinterpret_cast<const char16_t*>(chars), static_cast<std::size_t>(length));
        env->ReleaseStringChars(string, chars);
    }
    clearJavaException(env);
    return text;
}

std::string fromJavaStringUtf(jstring string) {
    JNIEnv* env = javaEnv();
    if (!env || !string) return {};
    std::string text;
    if (const char* chars = env->GetStringUTFChars(string, nullptr)) {
        text = chars;
        env->ReleaseStringUTFChars(string, chars);
    }
    clearJavaException(env);
    return text;
}

LocalRef<jobjectArray> toJavaStringArray(const std::vector<Text>& texts, bool unquote) noexcept {
    JNIEnv* env = javaEnv();
    if (!env || !fitsJava(texts.size())) return {};
    const LocalRef<jclass> stringClass = findJavaClass("java/lang/String");
    if (!stringClass) return {};
    LocalRef<jobjectArray> array =
        checked(env, env->NewObjectArray(static_cast<jsize>(texts.size()), stringClass.get(), nullptr));
    if (!array) return {};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        TextView text = texts[i];
        if (unquote && !text.empty() && text.front() == u'"') {
            text.remove_prefix(1);
            if (!text.empty() && text.back() == u'"') text.remove_suffix(1);
        }
        const LocalRef<jstring> element = toJavaString(text);
        if (!element) continue;
        env->SetObjectArrayElement(array.get(), static_cast<jsize>(i), element.get());
        clearJavaException(env);
    }
    return array;
}

Text fromJavaStringArrayToLine(jobjectArray array) {
    const jsize count = arrayLength(array);
    std::vector<Text> texts;
    for (jsize i = 0; i < count; ++i) {
        const LocalRef<jobject> element = arrayElement(array, i);
        if (element) texts.push_back(fromJavaString(element));
    }
    return quoteArgumentLine(texts);
}

LocalRef<jintArray> toJavaIntArray(const jint* values, std::size_t count) noexcept {
    JNIEnv* env = javaEnv();
    if (!env || !fitsJava(count) || (!values && count)) return {};
    LocalRef<jintArray> array = checked(env, env->NewIntArray(static_cast<jsize>(count)));
    if (array && count) {
        env->SetIntArrayRegion(array.get(), 0, static_cast<jsize>(count), values);
        clearJavaException(env);
    }
    return array;
}

LocalRef<jbyteArray> toJavaByteArray(const void* bytes, std::size_t count) noexcept {
    JNIEnv* env = javaEnv();
    if (!env || !fitsJava(count) || (!bytes && count)) return {};
    LocalRef<jbyteArray> array = checked(env, env->NewByteArray(static_cast<jsize>(count)));
    if (array && count) {
        env->SetByteArrayRegion(array.get(), 0, static_cast<jsize>(count), static_cast<const jbyte*>(bytes));
        clearJavaException(env);
    }
    return array;
}

jsize arrayLength(jarray array) noexcept {
    JNIEnv* env = javaEnv();
    if (!env || !array) return 0;
    const jsize length = env->GetArrayLength(array);
    clearJavaException(env);
    return length < 0 ? 0 : length;
}

LocalRef<jobject> arrayElement(jobjectArray array, jsize index) noexcept {
    if (index < 0 || index >= arrayLength(array)) return {};
    JNIEnv* env = javaEnv();
    return checked(env, env->GetObjectArrayElement(array, index));
}

template <> JavaArrayElements<jint, jintArray>::JavaArrayElements(jintArray array) noexcept : array_(array) {
    JNIEnv* env = javaEnv();
    if (!env || !array) return;
    const jsize length = env->GetArrayLength(array);
    elements_ = env->GetIntArrayElements(array, nullptr);
    clearJavaException(env);
    size_ = elements_ && length > 0 ? static_cast<std::size_t>(length) : 0;
}

template <> JavaArrayElements<jint, jintArray>::~JavaArrayElements() {
    if (!elements_) return;
    if (JNIEnv* env = javaEnv()) env->ReleaseIntArrayElements(array_, elements_, JNI_ABORT);
}

template <> JavaArrayElements<jbyte, jbyteArray>::JavaArrayElements(jbyteArray array) noexcept : array_(array) {
    JNIEnv* env = javaEnv();
    if (!env || !array) return;
    const jsize length = env->GetArrayLength(array);
    elements_ = env->GetByteArrayElements(array, nullptr);
    clearJavaException(env);
    size_ = elements_ && length > 0 ? static_cast<std::size_t>(length) : 0;
}

template <> JavaArrayElements<jbyte, jbyteArray>::~JavaArrayElements() {
    if (!elements_) return;
    if (JNIEnv* env = javaEnv()) env->ReleaseByteArrayElements(array_, elements_, JNI_ABORT);
}

JavaIntElements readJavaIntArray(jintArray array) noexcept { return JavaIntElements(array); }
JavaByteElements readJavaByteArray(jbyteArray array) noexcept { return JavaByteElements(array); }

} // namespace tavrelo
