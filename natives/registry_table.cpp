// The registry natives an application may declare, in the order they are bound.
#include <array>

#include "natives/natives.h"

namespace tavrelo {

namespace {

constexpr const char* kRegistryPrefixes[] = {"reg", "nativeReg_"};

constexpr std::array<NativeMethod, 16> kRegistryMethods{{
    {0, "GetValueSTR", "(ILjava/lang/String;Ljava/lang/String;Z)Ljava/lang/String;"},
    {1, "GetValueBIN", "(ILjava/lang/String;Ljava/lang/String;)[B"},
    {2, "GetValueDWORD", "(ILjava/lang/String;Ljava/lang/String;)I"},
    {3, "GetValueQWORD", "(ILjava/lang/String;Ljava/lang/String;)J"},
    {4, "GetValueMULTI", "(ILjava/lang/String;Ljava/lang/String;)[Ljava/lang/String;"},
    {6, "SetValueSTR", "(ILjava/lang/String;Ljava/lang/String;Ljava/lang/String;Z)Z"},
    {7, "SetValueBIN", "(ILjava/lang/String;Ljava/lang/String;[B)Z"},
    {8, "SetValueDWORD", "(ILjava/lang/String;Ljava/lang/String;IZ)Z"},
    {9, "SetValueQWORD", "(ILjava/lang/String;Ljava/lang/String;J)Z"},
    {10, "SetValueMULTI", "(ILjava/lang/String;Ljava/lang/String;[Ljava/lang/String;)Z"},
    {5, "GetTypeValue", "(ILjava/lang/String;Ljava/lang/String;)I"},
    {11, "DeleteValue", "(ILjava/lang/String;Ljava/lang/String;)Z"},
    {12, "DeleteKey", "(ILjava/lang/String;)Z"},
    {13, "CreateKey", "(ILjava/lang/String;)Z"},
    {14, "EnumKeys", "(ILjava/lang/String;)[Ljava/lang/String;"},
    {15, "EnumValues", "(ILjava/lang/String;)[Ljava/lang/String;"},
}};

constexpr NativeSet kRegistrySet{"RegistryManagement", 16, kRegistryPrefixes, kRegistryMethods};

} // namespace

const NativeSet& registryNatives() noexcept { return kRegistrySet; }

} // namespace tavrelo
