// Binding a set of natives, and the conversions every native shares.
#include "natives/natives.h"

namespace tavrelo {

std::string nativeName(const char* prefix, const char* shortName) { return std::string(prefix) + shortName; }

int bindNativeSet(FeatureInterface& record, const NativeSet& set, const std::string& mainClass,
                  std::span<void* const> functions) noexcept {
    int bound = 0;
    try {
        for (const NativeMethod& method : set.methods) {
            if (method.slot < 0 || static_cast<std::size_t>(method.slot) >= functions.size()) continue;
            for (const char* prefix : set.prefixes) {
                const std::string name = nativeName(prefix, method.shortName);
                const int result = bindNative(record, mainClass.c_str(), method.slot, name.c_str(), method.signature,
                                              functions[static_cast<std::size_t>(method.slot)]);
                if (result == 1) ++bound;
                if (result != 0) break; // bound, or the slot was taken already
            }
        }
    } catch (...) {
        // Out of memory for a name: the natives bound so far stay.
    }
    return bound;
}

std::optional<Text> javaArgument(JNIEnv* env, jstring string, bool& failed) noexcept {
    if (!string) return std::nullopt;
    try {
        const jsize length = env->GetStringLength(string);
        Text text(static_cast<std::size_t>(length), u'\0');
        static_assert(sizeof(jchar) == sizeof(char16_t));
        if (length > 0) env->GetStringRegion(string, 0, length, reinterpret_cast<jchar*>(text.data()));
        if (env->ExceptionCheck()) {
            env->ExceptionClear();
            failed = true;
            return std::nullopt;
        }
        return text;
    } catch (...) {
        failed = true;
        return std::nullopt;
    }
}

jstring newString(JNIEnv* env, const char16_t* text, std::size_t length) noexcept {
    if (length > 0x7FFFFFFF) return nullptr;
    jstring result = env->NewString(reinterpret_cast<const jchar*>(text), static_cast<jsize>(length));
    if (env->ExceptionCheck()) env->ExceptionClear();
    return result;
}

jobjectArray newStringArray(JNIEnv* env, const std::vector<Text>& texts) noexcept {
    if (texts.size() > 0x7FFFFFFF) return nullptr;
    const LocalRef<jclass> stringClass(env->FindClass("java/lang/String"));
    LocalRef<jobjectArray> array(
        stringClass ? env->NewObjectArray(static_cast<jsize>(texts.size()), stringClass.get(), nullptr) : nullptr);
    for (std::size_t i = 0; array && i < texts.size(); ++i) {
        const LocalRef<jstring> element(newString(env, texts[i].data(), texts[i].size()));
        if (!element) return nullptr;
        env->SetObjectArrayElement(array.get(), static_cast<jsize>(i), element.get());
    }
    if (env->ExceptionCheck()) {
        env->ExceptionClear();
        return nullptr;
    }
    return array.release();
}

bool isRegistryName(const std::optional<Text>& name) noexcept { return !name || name->find(u'\0') == Text::npos; }

} // namespace tavrelo
