// The launcher's decision trace. When the environment variable TAVRELO_DEBUG is set and not
// empty, every decision of a launch is written as one line: to standard error when the process
// has one, to the debugger output on Windows, and, when the value names a file (it holds a path
// separator), appended to that file. Each line carries the process id and the milliseconds since
// the process started, so several processes can share one file.
//
// Without the variable nothing is formatted: callers test tracing() (a load of a flag that is
// set once) before building a line.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "platform/text.h"

namespace tavrelo {

// True when the trace is on; decided on the first call, from the environment.
[[nodiscard]] bool tracing() noexcept;
// Writes one line (without its line end) with its prefix to every destination.
void traceLine(std::string_view line) noexcept;
// Milliseconds from the process's start to now.
[[nodiscard]] long long millisecondsSinceStart() noexcept;
// "error <code>: <the system's text for it>" for an operating-system error code.
[[nodiscard]] std::string errorReason(unsigned long code);

namespace trace_detail {
inline void append(std::string& out, std::string_view part) { out += part; }
inline void append(std::string& out, const char* part) { out += part ? part : "(null)"; }
inline void append(std::string& out, const std::string& part) { out += part; }
inline void append(std::string& out, TextView part) { out += toUtf8(part); }
inline void append(std::string& out, const Text& part) { out += toUtf8(part); }
inline void append(std::string& out, const char16_t* part) { out += part ? toUtf8(TextView(part)) : "(null)"; }
inline void append(std::string& out, bool part) { out += part ? "true" : "false"; }
template <class Number, std::enable_if_t<std::is_integral_v<Number>, int> = 0>
void append(std::string& out, Number part) {
    out += std::to_string(part);
}
} // namespace trace_detail

// One trace line of the parts (texts in either width, numbers, flags), when the trace is on.
template <class... Parts> void trace(const Parts&... parts) {
    if (!tracing()) return;
    std::string line;
    (trace_detail::append(line, parts), ...);
    traceLine(line);
}

} // namespace tavrelo
