// The calls of the system natives that really shut down, restart, suspend, lock or log off the
// machine, or block its shutdown: one process-wide table, the real calls by default, which tests
// replace with recorders (under wine the real log-off ends the whole wine session). Each returns
// whether the Win32 call succeeded and leaves the thread's last error as the call left it.
// Windows builds only.
#pragma once

namespace tavrelo {

// Results of the shutdown-block reason calls: done, failed, or the function is missing.
enum class BlockCall { Done, Failed, Missing };

struct SystemActions {
    bool (*initiateShutdown)(const char16_t* message, unsigned long seconds, bool force, bool reboot,
                             unsigned long reason) noexcept;
    bool (*abortShutdown)() noexcept;
    // SetSuspendState, else SetSystemPowerState (with the shutdown privilege).
    bool (*suspend)(bool hibernate, bool disableWakeEvents) noexcept;
    bool (*exitWindows)(unsigned flags, unsigned long reason) noexcept;
    bool (*lockWorkStation)() noexcept;
    // As restartDialog: 0, -1 (declined), an error code, 50 when missing.
    int (*restartDialog)(unsigned flags) noexcept;
    BlockCall (*blockReasonCreate)(void* window, const char16_t* reason) noexcept;
    BlockCall (*blockReasonDestroy)(void* window) noexcept;
    // Creates the hidden blocking window on the calling thread with `procedure`; null on failure.
    void* (*createBlockWindow)(void* procedure) noexcept;
};

// The table in force (tests assign its fields before the natives run and restore it after).
SystemActions& systemActions() noexcept;

} // namespace tavrelo
