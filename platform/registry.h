// Registry access (Windows builds only). Roots are HKEY values; every text is UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/text.h"

struct HKEY__;

namespace tavrelo {

using RegistryRoot = HKEY__*;

struct RegistryValue {
    // The value's bytes as stored (or as converted); for the text types REG_SZ, REG_EXPAND_SZ
    // and REG_LINK followed by a NUL unit, for REG_MULTI_SZ by two, wherever the stored data
    // lacks them (an odd byte count is first padded with a zero byte). Text can therefore be
    // read from data() as NUL-terminated UTF-16 whatever another program stored.
    std::string data;
    // The number of bytes the value holds, without the terminators added behind it.
    std::size_t size = 0;
    unsigned long type = 0;
};

// Reads a value. With `convert`: REG_DWORD_BIG_ENDIAN comes back as REG_DWORD, REG_LINK as
// REG_SZ, and REG_EXPAND_SZ expanded (16,384 units at most, its terminator counted in `size`) as
// REG_SZ. Absent when the key, the value or its data cannot be read, when its size is 0, or when
// a REG_DWORD / REG_QWORD holds fewer bytes than its type.
[[nodiscard]] std::optional<RegistryValue> regReadValue(RegistryRoot root, TextView key, TextView name, bool convert);
// A text value (REG_SZ, REG_EXPAND_SZ expanded, REG_MULTI_SZ's first string) up to its first NUL.
[[nodiscard]] std::optional<Text> regReadText(RegistryRoot root, TextView key, TextView name);
// regReadValue under HKEY_LOCAL_MACHINE with convert, as text.
[[nodiscard]] std::optional<Text> regReadString(TextView key, TextView name);
// The value's type, -1 when it cannot be read.
[[nodiscard]] long regValueType(RegistryRoot root, TextView key, TextView name);
[[nodiscard]] bool regCreateKey(RegistryRoot root, TextView key);
[[nodiscard]] bool regWriteValue(RegistryRoot root, TextView key, TextView name, unsigned long type, const void* data,
                                 unsigned long size);
[[nodiscard]] bool regWriteString(RegistryRoot root, TextView key, TextView name, TextView text);
[[nodiscard]] bool regDeleteKey(RegistryRoot root, TextView key);
[[nodiscard]] bool regDeleteValue(RegistryRoot root, TextView key, TextView name);

// Calls `visit(name, index, context)` for each subkey or value name (names up to 1,023 units);
// returns how many there were, -1 when the key cannot be opened.
using RegistryVisitor = void (*)(TextView name, unsigned long index, void* context);
long regEnumKeys(RegistryRoot root, TextView key, RegistryVisitor visit, void* context);
long regEnumValues(RegistryRoot root, TextView key, RegistryVisitor visit, void* context);

[[nodiscard]] bool setControlPanelCategory(TextView appletName, std::uint32_t category);
[[nodiscard]] bool setUserRunEntry(TextView name, TextView command);
[[nodiscard]] bool setUserRunOnceEntry(TextView name, TextView command);
bool deleteUserRunEntry(TextView name);
bool deleteUserRunOnceEntry(TextView name);

} // namespace tavrelo
