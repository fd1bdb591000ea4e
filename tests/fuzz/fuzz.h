// What every fuzz target shares: a violated invariant stops the run where libFuzzer sees it, and
// the input's bytes read as the UTF-16LE text the readers take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/text.h"

#define FUZZ_CHECK(condition) ((condition) ? (void)0 : __builtin_trap())

namespace tavrelo::fuzz {

inline Text unitsOf(const std::uint8_t* data, std::size_t size) {
    Text text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    return text;
}

} // namespace tavrelo::fuzz
