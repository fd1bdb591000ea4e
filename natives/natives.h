// The Java natives the launcher offers an application: each set is a table of the methods an
// application may declare (`static native`), bound under the set's name patterns to the
// launcher's implementations. The tables are portable (the host compiles and checks them); the
// implementations are Windows code.
#pragma once

#include <jni.h>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bridge/bridge.h"
#include "platform/text.h"

namespace tavrelo {

// One native of a set: its slot in the set's FeatureInterface, the name after the set's prefix
// and its JNI signature.
struct NativeMethod {
    int slot;
    const char* shortName;
    const char* signature;
};

// A set: the FeatureInterface name (companion class suffix), its slot count, the name prefixes
// tried in order, and the methods in binding order.
struct NativeSet {
    const char* interfaceName;
    int slots;
    std::span<const char* const> prefixes;
    std::span<const NativeMethod> methods;
};

// The registry natives: "reg<Name>" or else "nativeReg_<Name>".
[[nodiscard]] const NativeSet& registryNatives() noexcept;
// The system natives, under their own names ("systemShutdown"...).
[[nodiscard]] const NativeSet& systemNatives() noexcept;

// `systemGetErrorMessage` and the service natives' `scmGetErrorMessage`: the system's text for a
// Win32 error code (empty when it has none). Windows builds.
jstring JNICALL errorMessageNative(JNIEnv* env, jclass owner, jint code) noexcept;

// The service-control natives, under their own names ("scmCreateService"...).
[[nodiscard]] const NativeSet& serviceControlNatives() noexcept;

// A Java string of the characters / a String[] of the texts, made with the native's own JNIEnv;
// null when it cannot be made (nothing is left pending).
[[nodiscard]] jstring newString(JNIEnv* env, const char16_t* text, std::size_t length) noexcept;
[[nodiscard]] jobjectArray newStringArray(JNIEnv* env, const std::vector<Text>& texts) noexcept;

// The Java name of a method under a prefix ("reg" + "GetValueSTR").
[[nodiscard]] std::string nativeName(const char* prefix, const char* shortName);

// Binds every method of the set that the application declares (companion class first, then the
// main class; the first prefix that is declared wins) to `functions[slot]`. Launch thread, once.
// Returns how many were bound.
int bindNativeSet(FeatureInterface& record, const NativeSet& set, const std::string& mainClass,
                  std::span<void* const> functions) noexcept;

// A Java string argument as text, keeping null apart from "": absent for null. The JNIEnv is the
// native's own; `failed` is set when the characters could not be read (the native then fails).
[[nodiscard]] std::optional<Text> javaArgument(JNIEnv* env, jstring string, bool& failed) noexcept;

// Whether a key path or value name can reach the registry as given: Win32 reads such names up
// to their first NUL, so a name holding one would name another key or value.
[[nodiscard]] bool isRegistryName(const std::optional<Text>& name) noexcept;

} // namespace tavrelo
