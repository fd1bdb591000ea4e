// The registry natives: an application's reads and writes of the Windows registry. They run on
// whatever Java thread calls them, keep no state, use the JNIEnv they are given, never throw and
// never leave a Java exception pending; failures are null, 0, -1 or false.
#include <windows.h>

#include <array>
#include <cstring>
#include <vector>

#include "launcher/hand_overs.h"
#include "natives/natives.h"
#include "platform/registry.h"

namespace tavrelo {

namespace {

FeatureInterface registryInterface{16, "RegistryManagement"};

// The root is a predefined key handle taken as a 32-bit value: widened with its sign, as the
// handles are (HKEY_CURRENT_USER is 0xFFFFFFFF80000001 in a 64-bit process).
RegistryRoot rootKey(jint root) noexcept {
    return reinterpret_cast<RegistryRoot>(static_cast<std::intptr_t>(static_cast<std::int32_t>(root)));
}

// The key path and value name of a call; not usable when either could not be read or holds a NUL.
struct Place {
    RegistryRoot root;
    Text key;
    Text name; // empty: the key's default value (also for a null name)
    bool usable = false;
};

Place place(JNIEnv* env, jint root, jstring key, jstring name = nullptr) noexcept {
    Place at{rootKey(root), {}, {}, false};
    bool failed = false;
    const std::optional<Text> keyText = javaArgument(env, key, failed);
    const std::optional<Text> nameText = javaArgument(env, name, failed);
    if (failed || !isRegistryName(keyText) || !isRegistryName(nameText)) return at;
    try {
        at.key = keyText.value_or(Text());
        at.name = nameText.value_or(Text());
        at.usable = true;
    } catch (...) {
    }
    return at;
}

std::optional<RegistryValue> readValue(const Place& at, bool convert) noexcept {
    if (!at.usable) return std::nullopt;
    try {
        return regReadValue(at.root, at.key, at.name, convert);
    } catch (...) {
        return std::nullopt;
    }
}

bool writeValue(const Place& at, DWORD type, const void* data, std::size_t size) noexcept {
    if (!at.usable || size > 0xFFFFFFFFu) return false;
    try {
        return regWriteValue(at.root, at.key, at.name, type, data, static_cast<unsigned long>(size));
    } catch (...) {
        return false;
    }
}

// Text of a value read as text: up to its first NUL (the reader terminates what it returns).
const char16_t* textOf(const RegistryValue& value) noexcept {
    return reinterpret_cast<const char16_t*>(value.data.data());
}

jstring JNICALL getValueString(JNIEnv* env, jclass, jint root, jstring key, jstring name, jboolean expand) noexcept {
    const auto value = readValue(place(env, root, key, name), expand != JNI_FALSE);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ && value->type != REG_LINK)) return nullptr;
    const char16_t* text = textOf(*value);
    return newString(env, text, textLength(text));
}

jbyteArray JNICALL getValueBinary(JNIEnv* env, jclass, jint root, jstring key, jstring name) noexcept {
    const auto value = readValue(place(env, root, key, name), false);
    if (!value || value->size > 0x7FFFFFFF) return nullptr;
    LocalRef<jbyteArray> bytes(env->NewByteArray(static_cast<jsize>(value->size)));
    if (bytes)
        env->SetByteArrayRegion(bytes.get(), 0, static_cast<jsize>(value->size),
                                reinterpret_cast<const jbyte*>(value->data.data()));
    if (env->ExceptionCheck()) {
        env->ExceptionClear();
        return nullptr;
    }
    return bytes.release();
}

jint JNICALL getValueDword(JNIEnv* env, jclass, jint root, jstring key, jstring name) noexcept {
    const auto value = readValue(place(env, root, key, name), true);
    if (!value || value->type != REG_DWORD) return 0;
    std::uint32_t number = 0;
    std::memcpy(&number, value->data.data(), sizeof number);
    return static_cast<jint>(number);
}

jlong JNICALL getValueQword(JNIEnv* env, jclass, jint root, jstring key, jstring name) noexcept {
    const auto value = readValue(place(env, root, key, name), true);
    if (!value || value->type != REG_QWORD) return 0;
    std::uint64_t number = 0;
    std::memcpy(&number, value->data.data(), sizeof number);
    return static_cast<jlong>(number);
}

jobjectArray JNICALL getValueMulti(JNIEnv* env, jclass, jint root, jstring key, jstring name) noexcept {
    const auto value = readValue(place(env, root, key, name), true);
    if (!value || value->type != REG_MULTI_SZ) return nullptr;
    try {
        // The strings up to the first empty one or the end of the data (the reader ends it with two NULs).
        std::vector<Text> strings;
        for (const char16_t* at = textOf(*value); *at; at += textLength(at) + 1)
            strings.emplace_back(at);
        return newStringArray(env, strings);
    } catch (...) {
        return nullptr;
    }
}

jint JNICALL getTypeValue(JNIEnv* env, jclass, jint root, jstring key, jstring name) noexcept {
    const Place at = place(env, root, key, name);
    if (!at.usable) return -1;
    try {
        return static_cast<jint>(regValueType(at.root, at.key, at.name));
    } catch (...) {
        return -1;
    }
}

jboolean JNICALL setValueString(JNIEnv* env, jclass, jint root, jstring key, jstring name, jstring text,
                                jboolean expandable) noexcept {
    bool failed = false;
    const std::optional<Text> value = javaArgument(env, text, failed);
    if (failed) return JNI_FALSE;
    const DWORD type = expandable ? REG_EXPAND_SZ : REG_SZ;
    const Place at = place(env, root, key, name);
    // Stored as given, with its terminator; a null text stores no bytes at all.
    const bool written = value ? writeValue(at, type, value->c_str(), (value->size() + 1) * sizeof(char16_t))
                               : writeValue(at, type, nullptr, 0);
    return written ? JNI_TRUE : JNI_FALSE;
}

jboolean JNICALL setValueBinary(JNIEnv* env, jclass, jint root, jstring key, jstring name, jbyteArray bytes) noexcept {
    const Place at = place(env, root, key, name);
    if (!at.usable) return JNI_FALSE;
    try {
        std::vector<jbyte> data(bytes ? static_cast<std::size_t>(env->GetArrayLength(bytes)) : 0);
        if (!data.empty()) env->GetByteArrayRegion(bytes, 0, static_cast<jsize>(data.size()), data.data());
        if (env->ExceptionCheck()) {
            env->ExceptionClear();
            return JNI_FALSE;
        }
        return writeValue(at, REG_BINARY, data.data(), data.size()) ? JNI_TRUE : JNI_FALSE;
    } catch (...) {
        return JNI_FALSE;
    }
}

jboolean JNICALL setValueDword(JNIEnv* env, jclass, jint root, jstring key, jstring name, jint number,
                               jboolean bigEndian) noexcept {
    std::uint32_t stored = static_cast<std::uint32_t>(number);
    if (bigEndian) stored = (stored >> 24) | ((stored >> 8) & 0xFF00u) | ((stored << 8) & 0xFF0000u) | (stored << 24);
    return writeValue(place(env, root, key, name), bigEndian ? REG_DWORD_BIG_ENDIAN : REG_DWORD, &stored, 4)
               ? JNI_TRUE
               : JNI_FALSE;
}

jboolean JNICALL setValueQword(JNIEnv* env, jclass, jint root, jstring key, jstring name, jlong number) noexcept {
    const std::uint64_t stored = static_cast<std::uint64_t>(number);
    return writeValue(place(env, root, key, name), REG_QWORD, &stored, 8) ? JNI_TRUE : JNI_FALSE;
}

jboolean JNICALL setValueMulti(JNIEnv* env, jclass, jint root, jstring key, jstring name,
                               jobjectArray strings) noexcept {
    const Place at = place(env, root, key, name);
    if (!at.usable || !strings) return JNI_FALSE;
    try {
        // An empty string would end the list early, losing every later one: null and empty
        // elements are left out; an element holding a NUL cannot be stored at all.
        Text data;
        const jsize count = env->GetArrayLength(strings);
        for (jsize i = 0; i < count; ++i) {
            const LocalRef<jstring> element(static_cast<jstring>(env->GetObjectArrayElement(strings, i)));
            bool failed = false;
            const std::optional<Text> text = javaArgument(env, element.get(), failed);
            if (failed || env->ExceptionCheck()) {
                env->ExceptionClear();
                return JNI_FALSE;
            }
            if (!text || text->empty()) continue;
            if (text->find(u'\0') != Text::npos) return JNI_FALSE;
            data += *text;
            data.push_back(u'\0');
        }
        if (data.empty()) return JNI_FALSE;
        data.push_back(u'\0');
        return writeValue(at, REG_MULTI_SZ, data.data(), data.size() * sizeof(char16_t)) ? JNI_TRUE : JNI_FALSE;
    } catch (...) {
        return JNI_FALSE;
    }
}

// A key operation on a usable place; false when the place is not usable or anything fails.
template <class Operation> jboolean onKey(const Place& at, Operation operation) noexcept {
    try {
        return at.usable && operation(at) ? JNI_TRUE : JNI_FALSE;
    } catch (...) {
        return JNI_FALSE;
    }
}

jboolean JNICALL deleteValue(JNIEnv* env, jclass, jint root, jstring key, jstring name) noexcept {
    return onKey(place(env, root, key, name), [](const Place& at) { return regDeleteValue(at.root, at.key, at.name); });
}

jboolean JNICALL deleteKey(JNIEnv* env, jclass, jint root, jstring key) noexcept {
    return onKey(place(env, root, key), [](const Place& at) { return regDeleteKey(at.root, at.key); });
}

jboolean JNICALL createKey(JNIEnv* env, jclass, jint root, jstring key) noexcept {
    return onKey(place(env, root, key), [](const Place& at) { return regCreateKey(at.root, at.key); });
}

// The names in one pass, then the array: a key changing in between still gives an array of
// exactly the names seen, without null elements.
jobjectArray enumerate(JNIEnv* env, jint root, jstring key, bool values) noexcept {
    const Place at = place(env, root, key);
    if (!at.usable) return nullptr;
    try {
        std::vector<Text> names;
        const auto collect = [](TextView name, unsigned long, void* context) {
            static_cast<std::vector<Text>*>(context)->emplace_back(name);
        };
        const long count =
            values ? regEnumValues(at.root, at.key, collect, &names) : regEnumKeys(at.root, at.key, collect, &names);
        if (count < 0) return nullptr;
        return newStringArray(env, names);
    } catch (...) {
        return nullptr;
    }
}

jobjectArray JNICALL enumKeys(JNIEnv* env, jclass, jint root, jstring key) noexcept {
    return enumerate(env, root, key, false);
}

jobjectArray JNICALL enumValues(JNIEnv* env, jclass, jint root, jstring key) noexcept {
    return enumerate(env, root, key, true);
}

template <class Function> void* entry(Function function) noexcept { return reinterpret_cast<void*>(function); }

} // namespace

void registerRegistryNatives(const std::string& mainClass) {
    const std::array<void*, 16> functions{
        entry(getValueString), entry(getValueBinary), entry(getValueDword),  entry(getValueQword),
        entry(getValueMulti),  entry(getTypeValue),   entry(setValueString), entry(setValueBinary),
        entry(setValueDword),  entry(setValueQword),  entry(setValueMulti),  entry(deleteValue),
        entry(deleteKey),      entry(createKey),      entry(enumKeys),       entry(enumValues),
    };
    (void)bindNativeSet(registryInterface, registryNatives(), mainClass, functions);
}

} // namespace tavrelo
