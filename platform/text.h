// Small UTF-16 text helpers shared by every subsystem.
// All text inside the system is UTF-16; narrow strings are only for JNI names and VM options.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavrelo {

using Text = std::u16string;
using TextView = std::u16string_view;

// ASCII-only case folding: keys, options and extensions ignore the case of ASCII letters.
constexpr char16_t asciiLower(char16_t c) noexcept {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}
[[nodiscard]] bool equalsIgnoreCase(TextView a, TextView b) noexcept;
[[nodiscard]] bool startsWithIgnoreCase(TextView text, TextView prefix) noexcept;
[[nodiscard]] bool endsWithIgnoreCase(TextView text, TextView suffix) noexcept;
// Negative, zero or positive like wcsicmp, folding ASCII letters only.
[[nodiscard]] int compareIgnoreCase(TextView a, TextView b) noexcept;

// White space of the properties rules: space, tab, CR, LF, vertical tab, form feed.
constexpr bool isBlank(char16_t c) noexcept {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f';
}
[[nodiscard]] TextView trimView(TextView text) noexcept;
[[nodiscard]] Text trim(TextView text);

// True when every unit is below 128.
[[nodiscard]] bool isAscii(TextView text) noexcept;

// Decimal integer as _wtoi reads it: leading blanks, optional sign, digits; 0 when none.
[[nodiscard]] int toInt(TextView text) noexcept;
[[nodiscard]] Text fromInt(long long value);

// UTF-8 <-> UTF-16 (lossy for invalid input: bad sequences become U+FFFD).
[[nodiscard]] Text fromUtf8(std::string_view bytes);
[[nodiscard]] std::string toUtf8(TextView text);

// Appends `piece` to `out` but never lets `out` grow past `limit` units (text beyond is cut).
void appendLimited(Text& out, TextView piece, std::size_t limit);

// Length of a NUL-terminated UTF-16 string.
[[nodiscard]] std::size_t textLength(const char16_t* text) noexcept;

} // namespace tavrelo
