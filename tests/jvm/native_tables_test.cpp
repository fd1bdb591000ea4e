// The native tables against what javac makes of an application's declarations, in the real JVM.
#include <gtest/gtest.h>

#include <set>

#include "jvm_support.h"
#include "launcher/hand_overs.h"
#include "natives/natives.h"

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
    registerServiceControlNatives("fixture.NativeDeclarations");
    LocalRef<jstring> answers(static_cast<jstring>(
        callMethodObject("fixture.NativeDeclarations", nullptr, "serviceControlAnswers", "java/lang/String", nullptr)));
    EXPECT_EQ(fromJavaStringUtf(answers.get()),
              "120 120 120 120 120 120 null null 120 120 120 120 null null null null null false null null");
}

} // namespace
} // namespace tavrelo::test
