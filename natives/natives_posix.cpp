// The Linux launcher has no registry and no Windows session to control: no registry or system
// native is bound (the tables are still compiled and checked against what javac makes of the
// declarations). The service-control natives are bound and answer as a system without a service
// manager would: ERROR_CALL_NOT_IMPLEMENTED, null or false, so one application runs on both.
#include <array>
#include <type_traits>

#include "launcher/hand_overs.h"
#include "natives/natives.h"

namespace tavrelo {

namespace {

constexpr jint kCallNotImplemented = 120;

FeatureInterface serviceControlInterface{20, "ServiceControlManagement"};

template <class Result> Result unsupportedResult() noexcept {
    if constexpr (std::is_same_v<Result, jint>)
        return kCallNotImplemented;
    else if constexpr (std::is_same_v<Result, jboolean>)
        return JNI_FALSE;
    else
        return nullptr;
}

// A native of any signature that does nothing and gives its type's answer.
template <class Result, class... Arguments> Result JNICALL unsupported(JNIEnv*, jclass, Arguments...) noexcept {
    return unsupportedResult<Result>();
}

template <class Function> void* entry(Function function) noexcept { return reinterpret_cast<void*>(function); }

using S = jstring;
using Rows = jobjectArray;

} // namespace

void registerRegistryNatives(const std::string&) {}
void registerSystemNatives(const std::string&) {}
void awaitNativeThreadsEnd() {}

void registerServiceControlNatives(const std::string& mainClass) {
    const std::array<void*, 20> functions{
        entry(unsupported<jint, S, S, S, S, jboolean, jboolean>), // scmCreateService
        entry(unsupported<jint, S>),                              // scmDeleteService
        entry(unsupported<jint, S>),                              // scmStartService
        entry(unsupported<jint, S>),                              // scmStopService
        entry(unsupported<jint, S>),                              // scmPauseService
        entry(unsupported<jint, S>),                              // scmContinueService
        entry(unsupported<Rows, jint, jint, jboolean>),           // scmEnumServices
        entry(unsupported<Rows, S, jint, jboolean>),              // scmEnumDependentServices
        entry(unsupported<jint, S, S, jint, jint, S, S, S, S>),   // scmChangeConfig
        entry(unsupported<jint, S, S>),                           // scmSetDescription
        entry(unsupported<jint, S, S, S, S, S, jint>),            // scmSetFailures
        entry(unsupported<jint, S, jboolean>),                    // scmSetDelayedAutoStart
        entry(unsupported<jobjectArray, S>),                      // scmQueryConfig
        entry(unsupported<jstring, S>),                           // scmGetDescription
        entry(unsupported<jstring, S>),                           // scmGetNameSvc
        entry(unsupported<jstring, S>),                           // scmGetNameLong
        entry(unsupported<jobjectArray, S>),                      // scmGetFailures
        entry(unsupported<jboolean, S>),                          // scmIsDelayedAutoStart
        entry(unsupported<jobjectArray, S>),                      // scmQueryStatus
        entry(unsupported<jstring, jint>),                        // scmGetErrorMessage
    };
    (void)bindNativeSet(serviceControlInterface, serviceControlNatives(), mainClass, functions);
}

} // namespace tavrelo
