// Narrowing of sizes and counts that checks instead of cutting: a 5 GiB buffer handed to a call
// taking a 32-bit length must fail, not write its first gigabyte.
#pragma once

#include <optional>
#include <type_traits>
#include <utility>

namespace tavrelo {

// The value in the narrower type, or absent when it does not fit.
template <class To, class From> [[nodiscard]] constexpr std::optional<To> narrowed(From value) noexcept {
    static_assert(std::is_integral_v<To> && std::is_integral_v<From>);
    if (!std::in_range<To>(value)) return std::nullopt;
    return static_cast<To>(value);
}

} // namespace tavrelo
