// Where the trace goes (trace_win.cpp, trace_posix.cpp): standard error when there is one, the
// debugger output on Windows, and the file the variable names when it holds a path separator.
#pragma once

#include <string>

#include "platform/text.h"

namespace tavrelo {

// Called once, when the trace is found on, with the variable's value.
void openTraceSinks(TextView value) noexcept;
// One whole line, line end included; lines of threads do not interleave.
void writeTraceSinks(const std::string& line) noexcept;

} // namespace tavrelo
