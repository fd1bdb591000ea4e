// The launcher's decision trace. When the environment variable TAVRELO_DEBUG is set and not
// empty, every decision of a launch is written as one line: to standard error when the process
// has one, to the debugger output on Windows, and, when the value names a file (it holds a path
// separator), appended to that file. Each line carries the process id and the milliseconds since
// the process started, so several processes can share one file.
//
// Without the variable nothing is formatted: callers test tracing() (a load of a flag that is
// set once) before building a line.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/text.h"

namespace tavrelo {

namespace os {
struct Failure;
} // namespace os

// True when the trace is on; decided on the first call, from the environment.
[[nodiscard]] bool tracing() noexcept;
// Writes one line (without its line end) with its prefix to every destination.
void traceLine(std::string_view line) noexcept;
// Milliseconds from the process's start to now.
[[nodiscard]] long long millisecondsSinceStart() noexcept;
// "error <code>: <the system's text for it>" for an operating-system error code.
[[nodiscard]] std::string errorReason(unsigned long code);
// "<what> <path>: <the system's text> (<code>)" for a failed file step (platform/failure.h).
[[nodiscard]] std::string failureReason(const os::Failure& failure);
// One line, when the trace is on: the prefix and the reason of this thread's last failed file
// step, e.g. "configuration: reading /opt/app/App.properties: Is a directory (21)".
void traceFailure(std::string_view prefix) noexcept;

// One piece of a trace line, kept by reference: narrow (UTF-8) or wide text, or a number.
class TracePart {
  public:
    TracePart(const char* text) noexcept : narrow_(text ? text : "(null)") {}
    TracePart(std::string_view text) noexcept : narrow_(text) {}
    TracePart(const std::string& text) noexcept : narrow_(text) {}
    TracePart(TextView text) noexcept : wide_(text), isWide_(true) {}
    TracePart(const Text& text) noexcept : wide_(text), isWide_(true) {}
    TracePart(const char16_t* text) noexcept : wide_(text ? TextView(text) : TextView(u"(null)")), isWide_(true) {}
    TracePart(bool value) noexcept : narrow_(value ? "true" : "false") {}
    template <class Number, std::enable_if_t<std::is_integral_v<Number> && !std::is_same_v<Number, bool>, int> = 0>
    TracePart(Number value) noexcept : number_(static_cast<long long>(value)), isNumber_(true) {}

    void appendTo(std::string& out) const;

  private:
    std::string_view narrow_;
    TextView wide_;
    long long number_ = 0;
    bool isWide_ = false;
    bool isNumber_ = false;
};

// Joins the parts into one line and writes it (traceLine).
void traceParts(std::initializer_list<TracePart> parts) noexcept;

// One trace line of the parts (texts in either width, numbers, flags), when the trace is on.
// Only the parts' references are gathered here: the formatting is one function for all lines.
template <class... Parts> void trace(const Parts&... parts) {
    if (tracing()) traceParts({TracePart(parts)...});
}

} // namespace tavrelo
