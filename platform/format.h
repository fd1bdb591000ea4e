// The one text formatter of the system. It understands the conversions the message texts and
// path formats use: %s (UTF-16 text), %S (narrow text: ANSI on Windows, UTF-8 on the host),
// %d, %u, %x and %%. Our own formatter because C runtimes disagree on %s in wide functions.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string_view>

#include "platform/text.h"

namespace tavrelo {

class FormatArg {
public:
    enum class Kind { Wide, Narrow, Number };

    FormatArg(const char16_t* text) noexcept : kind_(Kind::Wide), wide_(text ? text : u"") {}
    FormatArg(TextView text) noexcept : kind_(Kind::Wide), wide_(text) {}
    FormatArg(const Text& text) noexcept : kind_(Kind::Wide), wide_(text) {}
    FormatArg(const char* text) noexcept : kind_(Kind::Narrow), narrow_(text ? text : "") {}
    FormatArg(std::string_view text) noexcept : kind_(Kind::Narrow), narrow_(text) {}
    FormatArg(int value) noexcept : kind_(Kind::Number), number_(value) {}
    FormatArg(long value) noexcept : kind_(Kind::Number), number_(value) {}
    FormatArg(long long value) noexcept : kind_(Kind::Number), number_(value) {}
    FormatArg(unsigned value) noexcept : kind_(Kind::Number), number_(value) {}
    FormatArg(unsigned long value) noexcept : kind_(Kind::Number), number_(static_cast<long long>(value)) {}

    Kind kind() const noexcept { return kind_; }
    TextView wide() const noexcept { return wide_; }
    std::string_view narrow() const noexcept { return narrow_; }
    long long number() const noexcept { return number_; }

private:
    Kind kind_;
    TextView wide_{};
    std::string_view narrow_{};
    long long number_ = 0;
};

// Formats into at most `limit` units (the result is cut there, never an error). A conversion
// without a matching argument produces nothing; an argument of another kind is shown as text.
[[nodiscard]] Text formatText(TextView format, std::initializer_list<FormatArg> args,
                              std::size_t limit = 0x7FFFFFFF);

// A fixed buffer of `units` UTF-16 units keeps `units - 1` characters and the terminator.
constexpr std::size_t keptUnits(std::size_t bufferUnits) noexcept { return bufferUnits ? bufferUnits - 1 : 0; }

} // namespace tavrelo
