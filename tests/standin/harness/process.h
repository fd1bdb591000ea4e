// Starts a program under test, captures what it writes, and waits for it with a time limit, so a
// box nobody answers or a wait that never ends fails the test instead of hanging the suite.
#pragma once

#include <string>

#include "platform/text.h"

namespace tavrelo::standin::test {

class BoxDriver;

struct ProcessResult {
    bool started = false;
    bool timedOut = false;          // ended by the test after the time limit
    unsigned long exitCode = 0;
    std::string out;                // standard output, as written
    std::string err;                // standard error, as written
};

// Runs `program` with `arguments` (already quoted as a command line) in `directory`. The
// driver, when given, watches the process and its children from their first instruction.
[[nodiscard]] ProcessResult runProcess(TextView program, TextView arguments, TextView directory,
                                       unsigned timeoutMs = 30000, BoxDriver* driver = nullptr);

} // namespace tavrelo::standin::test
