// Helpers for Windows tests that work on the tree's built programs: finding them, copying them
// under another name, and running them as a user would.
#pragma once

#include "platform/text.h"

namespace tavrelo::test {

// A file of this build tree, given relative to the tree's root (for example
// "apps\Tavrelo_console.exe"); empty when the tree did not build it.
Text builtFile(TextView relative);

bool copyFile(TextView from, TextView to);

struct ProgramRun {
    bool started = false;
    bool finished = false; // false: still running at the timeout, and then ended by force
    unsigned long exitCode = 0;
};
// Starts `program` with `arguments` (appended to its quoted path as they stand) in `directory`,
// without a console window, and waits at most `timeoutMs` for it to end.
ProgramRun runProgram(TextView program, TextView arguments, TextView directory, unsigned timeoutMs = 30000);

} // namespace tavrelo::test
