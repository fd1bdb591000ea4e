// The native tables against what javac makes of an application's declarations, in the real JVM.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "jvm_support.h"
#include "launcher/hand_overs.h"
#include "natives/natives.h"
#include "service/admin.h"

namespace tavrelo::test {
namespace {

TEST(NativeTables, EveryEntryResolvesInAClassJavacCompiled) {
    ensureJavaVm();
    JNIEnv* env = javaEnv();
    LocalRef<jclass> declarations(findJavaClass("fixture.NativeDeclarations"));
    ASSERT_TRUE(declarations);
    for (const NativeSet* set : {&registryNatives(), &systemNatives(), &serviceControlNatives()}) {
        std::set<int> slots;
        for (const NativeMethod& method : set->methods) {
            EXPECT_TRUE(method.slot >= 0 && method.slot < set->slots) << method.shortName;
            EXPECT_TRUE(slots.insert(method.slot).second) << "slot used twice: " << method.slot;
            for (const char* prefix : set->prefixes) {
                const std::string name = nativeName(prefix, method.shortName);
                EXPECT_NE(env->GetStaticMethodID(declarations.get(), name.c_str(), method.signature), nullptr)
                    << name << method.signature;
                clearJavaException(env);
            }
        }
        EXPECT_EQ(static_cast<int>(slots.size()), set->slots) << set->interfaceName;
    }
}

// The Linux launcher registers every service-control native, each answering as a system without
// a service manager: ERROR_CALL_NOT_IMPLEMENTED, null or false.
TEST(NativeTables, ServiceControlNativesAreAllRegisteredOnLinux) {
    ensureJavaVm();
    JNIEnv* env = javaEnv();
    registerServiceControlNatives("fixture.NativeDeclarations");
    LocalRef<jclass> owner(findJavaClass("fixture.NativeDeclarations"));
    const jvalue none[8] = {}; // null strings, zeros, false
    for (const NativeMethod& method : serviceControlNatives().methods) {
        const jmethodID id = env->GetStaticMethodID(owner.get(), method.shortName, method.signature);
        ASSERT_NE(id, nullptr) << method.shortName;
        const char result = std::strchr(method.signature, ')')[1];
        std::string answer;
        if (result == 'I')
            answer = std::to_string(env->CallStaticIntMethodA(owner.get(), id, none));
        else if (result == 'Z')
            answer = env->CallStaticBooleanMethodA(owner.get(), id, none) ? "true" : "false";
        else
            answer = env->CallStaticObjectMethodA(owner.get(), id, none) ? "an object" : "null";
        EXPECT_EQ(answer, result == 'I' ? "120" : result == 'Z' ? "false" : "null") << method.shortName;
        // A native left unregistered throws UnsatisfiedLinkError.
        EXPECT_FALSE(clearJavaException(env)) << method.shortName;
    }
}

// The section contract: its natives and the application's methods together fill every slot once,
// and each resolves, native or not as the contract has it.
TEST(NativeTables, EverySectionSlotResolvesInAClassJavacCompiled) {
    ensureJavaVm();
    JNIEnv* env = javaEnv();
    LocalRef<jclass> sections(findJavaClass("fixture.Sections"));
    ASSERT_TRUE(sections);
    LocalRef<jclass> modifier(findJavaClass("java/lang/reflect/Modifier"));
    const jmethodID isNative = env->GetStaticMethodID(modifier.get(), "isNative", "(I)Z");
    std::set<int> slots;
    const auto check = [&](const NativeMethod& method, bool native) {
        EXPECT_TRUE(slots.insert(method.slot).second) << "slot used twice: " << method.slot;
        const jmethodID id = env->GetStaticMethodID(sections.get(), method.shortName, method.signature);
        clearJavaException(env);
        ASSERT_NE(id, nullptr) << method.shortName << method.signature;
        LocalRef<jobject> reflected(env->ToReflectedMethod(sections.get(), id, JNI_TRUE));
        const jint modifiers = callMethodInt("java/lang/reflect/Method", reflected.get(), "getModifiers", nullptr);
        EXPECT_EQ(env->CallStaticBooleanMethod(modifier.get(), isNative, modifiers) != JNI_FALSE, native)
            << method.shortName;
    };
    for (const NativeMethod& method : sectionNatives().methods) check(method, true);
    for (const NativeMethod& method : sectionMethods()) check(method, false);
    EXPECT_EQ(static_cast<int>(slots.size()), kSectionSlotCount);
    EXPECT_EQ(sectionNatives().slots, kSectionSlotCount);
    EXPECT_EQ(*slots.rbegin(), kSectionSlotCount - 1);
}

} // namespace
} // namespace tavrelo::test
