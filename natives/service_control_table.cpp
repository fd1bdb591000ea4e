// The service-control natives an application may declare, in the order they are bound.
#include <array>

#include "natives/natives.h"

namespace tavrelo {

namespace {

constexpr const char* kNoPrefix[] = {""};

constexpr std::array<NativeMethod, 20> kServiceControlMethods{{
    {0, "scmCreateService", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;ZZ)I"},
    {1, "scmDeleteService", "(Ljava/lang/String;)I"},
    {2, "scmStartService", "(Ljava/lang/String;)I"},
    {3, "scmStopService", "(Ljava/lang/String;)I"},
    {4, "scmPauseService", "(Ljava/lang/String;)I"},
    {5, "scmContinueService", "(Ljava/lang/String;)I"},
    {6, "scmEnumServices", "(IIZ)[[Ljava/lang/String;"},
    {7, "scmEnumDependentServices", "(Ljava/lang/String;IZ)[[Ljava/lang/String;"},
    {8, "scmChangeConfig",
     "(Ljava/lang/String;Ljava/lang/String;IILjava/lang/String;Ljava/lang/String;Ljava/lang/String;"
     "Ljava/lang/String;)I"},
    {9, "scmSetDescription", "(Ljava/lang/String;Ljava/lang/String;)I"},
    {10, "scmSetFailures",
     "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;I)I"},
    {11, "scmSetDelayedAutoStart", "(Ljava/lang/String;Z)I"},
    {12, "scmQueryConfig", "(Ljava/lang/String;)[Ljava/lang/String;"},
    {13, "scmGetDescription", "(Ljava/lang/String;)Ljava/lang/String;"},
    {14, "scmGetNameSvc", "(Ljava/lang/String;)Ljava/lang/String;"},
    {15, "scmGetNameLong", "(Ljava/lang/String;)Ljava/lang/String;"},
    {16, "scmGetFailures", "(Ljava/lang/String;)[Ljava/lang/String;"},
    {17, "scmIsDelayedAutoStart", "(Ljava/lang/String;)Z"},
    {18, "scmQueryStatus", "(Ljava/lang/String;)[Ljava/lang/String;"},
    {19, "scmGetErrorMessage", "(I)Ljava/lang/String;"},
}};

constexpr NativeSet kServiceControlSet{"ServiceControlManagement", 20, kNoPrefix, kServiceControlMethods};

} // namespace

const NativeSet& serviceControlNatives() noexcept { return kServiceControlSet; }

} // namespace tavrelo
