// Why a file step failed. The os:: file and directory functions that answer false or nothing
// keep, for the calling thread, what they were doing, the path and the system's error code
// (errno on the host, GetLastError on Windows), so that the trace or a caller can say why.
#pragma once

#include "platform/text.h"

namespace tavrelo::os {

struct Failure {
    const char* what = ""; // "reading", "writing", "listing"...: a static text
    Text path;
    unsigned long code = 0; // 0: no file step of this thread has failed yet
};

// The last failure of this thread's file steps. A later success leaves it as it is: read it
// right after the step that answered false.
[[nodiscard]] const Failure& lastFailure() noexcept;
// Keeps a failure of this thread (the path is left out when there is no memory for it).
void noteFailure(const char* what, TextView path, unsigned long code) noexcept;

} // namespace tavrelo::os
