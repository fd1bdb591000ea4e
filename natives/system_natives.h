// The pieces of the system natives that keep state: the window that blocks the session's end
// and the thread that keeps the screen saver off. Windows builds only; any Java thread.
#pragma once

#include "platform/text.h"

namespace tavrelo {

// The result of an int native: 0 when the Win32 call succeeded, else the error it set (997,
// still pending, counts as success), or ERROR_GEN_FAILURE when it set none. `succeeded` is the
// call's own result; the caller cleared the last error before the call.
[[nodiscard]] int win32Result(bool succeeded) noexcept;

// Blocks the session's end with `reason` (a second call replaces the reason); 0 or an error.
// The window lives on a thread of its own, which makes every window call itself.
[[nodiscard]] int blockShutdown(const Text& reason) noexcept;
// Lifts the block: 0 (also with no block in place) or an error.
[[nodiscard]] int unblockShutdown() noexcept;

// Keeps the screen saver off until asked otherwise or the application ends, then puts back the
// setting it found; one thread at most.
void keepScreenSaverOff(bool off) noexcept;

// The launcher's end, before the VM goes: the keeper and the blocking window's thread look at
// once whether the application still lives and end if not; each is waited for at most `ms`.
void awaitKeeperEnd(unsigned long ms) noexcept;
void awaitBlockWindowEnd(unsigned long ms) noexcept;

} // namespace tavrelo
