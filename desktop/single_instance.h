// Single instance: a new start of an application that asks for it hands its program arguments
// to the instance already running in the same session and directory, which decides whether the
// new start ends.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/text.h"

namespace tavrelo {

// Called in the running instance on a pipe connection thread, once per new start, with that
// start's arguments exactly as they were sent. True: the running instance took them and the new
// start must end. Must be thread-safe.
using OneInstanceDecider = bool (*)(std::vector<Text>& arguments, void* context);

// The most arguments one new start may hand over; a larger count drops the exchange.
inline constexpr int kMaxHandedArguments = 1024;
// An argument is kept to this many UTF-16 units on the receiving side (a 2,048-byte buffer).
inline constexpr std::size_t kHandedArgumentUnits = 1023;

// The running instance's side of the exchange: the count, then one message per argument, read
// from a connected pipe (a PipeRef). False when the count is out of range or the connection
// ends first; an argument is cut at kHandedArgumentUnits and ends at its first NUL.
[[nodiscard]] bool readHandedArguments(std::intptr_t pipe, std::vector<Text>& arguments);

// "\\.\pipe\Tavrelo_OneInstance_<session>(<directory>$<base name>)".
[[nodiscard]] Text oneInstancePipeName(TextView launcherDirectory, TextView baseName);

// Asks the instance serving the pipe, if any, with the program arguments, one message each, as
// main would get them. True when it took them over; false when none runs, it said no, or the
// exchange failed (more than kMaxHandedArguments among them). Blocks for at least 750 ms when a
// server exists.
[[nodiscard]] bool askRunningInstance(TextView launcherDirectory, TextView baseName,
                                      const std::vector<Text>& programArguments);

enum class SingleInstanceStart {
    NotTakingPart, // the application has no decider: no single-instance behaviour
    Quit,          // a running instance took this start's arguments: end with status 0
    Serving,       // this instance serves the pipe (once an earlier server is gone)
};

// The decision after the main class is known. `decider` null means the application does not
// define the method. `takenOver` is askRunningInstance's answer (false when it was not asked).
// `context` must live as long as the process.
[[nodiscard]] SingleInstanceStart startSingleInstanceWith(TextView launcherDirectory, TextView baseName,
                                                          OneInstanceDecider decider, void* context, bool takenOver);

} // namespace tavrelo
