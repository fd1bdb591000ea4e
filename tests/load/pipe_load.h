// A load of hostile peers on a real pipe listener (named pipes on Windows, sockets on the host)
// while a legitimate sender keeps handing it objects, and the figures it leaves behind.
#pragma once

#include <cstdint>
#include <string>

#include "ipc/pipes.h"

namespace tavrelo::load {

// What the process holds: threads, handles (descriptors on the host) and memory in use (the
// bytes in use in the heaps).
struct ProcessCounts {
    long threads = 0;
    long handles = 0;
    long long memory = 0;
};
[[nodiscard]] ProcessCounts processCounts() noexcept;
// True when the server has dropped this client's connection (it never blocks).
[[nodiscard]] bool connectionDropped(PipeRef pipe) noexcept;

struct LoadPlan {
    int connections = 1000; // hostile connections, all kinds mixed
    int clients = 16;       // threads making them at once
};

struct LoadFigures {
    // The limit on connection threads: silent connections opened beyond it, and how many of all
    // the silent ones were closed within half the wait (those beyond the limit, when it holds).
    int limitProbes = 0;
    int closedAtOnce = 0;
    int connections = 0;         // hostile connections made
    int openFailures = 0;        // hostile connections that found no free instance
    int stalled = 0;             // of them, silent or stopped mid-frame, waiting to be dropped
    unsigned longestStallMs = 0; // the longest such a client waited to be dropped
    bool allDropped = true;      // every stalled client was dropped within the bound
    unsigned drainMs = 0;        // after the last client: until the listener ran no connection thread
    long objectsSent = 0;
    long objectsDelivered = 0;
    bool inOrder = true; // the delivered objects are the sent ones, in their order
    ProcessCounts before;
    ProcessCounts after;
    double seconds = 0;
};

// Runs the load on a listener of its own; the counts are taken before the listener starts and
// after it and every thread it started have ended.
[[nodiscard]] LoadFigures runPipeLoad(const LoadPlan& plan);
// The figures, one per line.
[[nodiscard]] std::string describe(const LoadFigures& figures);
// What did not hold ("" when everything did): the connections beyond the limit closed at once,
// every stalled one dropped within its bound, no connection thread left once the clients are
// done, every legitimate object delivered in order, and the counts back at their start.
[[nodiscard]] std::string problems(const LoadFigures& figures);
// The bound within which every stalled connection must be dropped.
inline constexpr unsigned kDropBoundMs = kConnectionWaitMs + 3000;

} // namespace tavrelo::load
