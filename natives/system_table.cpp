// The system natives an application may declare, in the order they are bound.
#include <array>

#include "natives/natives.h"

namespace tavrelo {

namespace {

constexpr const char* kNoPrefix[] = {""};

constexpr std::array<NativeMethod, 15> kSystemMethods{{
    {0, "systemShutdown", "(Ljava/lang/String;IZZZ)I"},
    {1, "systemAbortShutdown", "()I"},
    {2, "systemStandby", "(ZZ)I"},
    {3, "systemSetRequiredState", "(ZZZ)I"},
    {6, "systemUserLogoff", "(Z)I"},
    {7, "systemLock", "()I"},
    {4, "systemBlockShutdown", "(Ljava/lang/String;)I"},
    {5, "systemUnblockShutdown", "()I"},
    {8, "systemIsLocked", "()Z"},
    {9, "systemIsHibernateAllowed", "()Z"},
    {10, "systemIsStandbyAllowed", "()Z"},
    {11, "systemIsShutdownAllowed", "()Z"},
    {12, "systemGetErrorMessage", "(I)Ljava/lang/String;"},
    {14, "systemOpenDialogShutdown", "(ZZ)I"},
    {13, "systemOpenDialogLogoff", "(Z)I"},
}};

constexpr NativeSet kSystemSet{"SystemManagement", 15, kNoPrefix, kSystemMethods};

} // namespace

const NativeSet& systemNatives() noexcept { return kSystemSet; }

} // namespace tavrelo
