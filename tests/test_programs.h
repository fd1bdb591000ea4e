// Helpers for Windows tests that work on the tree's built programs: finding them, copying them
// under another name, and running them as a user would.
#pragma once

#include <gtest/gtest.h>

#include "platform/text.h"

namespace tavrelo::test {

// A file of this build tree, given relative to the tree's root (for example
// "apps\Tavrelo_console.exe"); empty when the tree did not build it.
Text builtFile(TextView relative);

// Sets `variable` to a launcher of this tree's apps directory. The launchers are 64-bit programs:
// a 32-bit tree has none, and its tests of them are skipped; anywhere else a launcher that is not
// found fails the test, so a moved layout cannot make these tests vanish.
#define TAVRELO_REQUIRE_LAUNCHER(variable, name)                                                                     \
    if (sizeof(void*) == 4) GTEST_SKIP() << "a 32-bit tree builds no launcher (they are 64-bit programs)";           \
    variable = ::tavrelo::test::builtFile(u"apps\\" + ::tavrelo::Text(name));                                         \
    ASSERT_FALSE(variable.empty()) << "no " << ::tavrelo::toUtf8(name) << " in this tree's apps directory"

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
