// Keeping the screen saver off while the application asks: one thread at most, which puts back
// the setting it found when the request ends or the application does.
#include <windows.h>

#include <atomic>

#include "bridge/bridge.h"
#include "launcher/java_runtime.h"
#include "natives/system_natives.h"

namespace tavrelo {

namespace {

constexpr DWORD kCheckMs = 500;

std::atomic<bool> keepOff{false};
std::atomic<bool> keeperRunning{false};
std::atomic<BOOL> foundActive{TRUE}; // the user's setting when the keeping began
// Wakes the keeper to look again at once (the launcher's end); auto-reset, made once.
const HANDLE kick = CreateEventW(nullptr, FALSE, FALSE, nullptr);
std::atomic<HANDLE> keeperThread{nullptr}; // the running keeper's handle, for the launcher's end

// The saver is switched off again a little before its time-out would let it start.
DWORD periodMs() noexcept {
    int timeout = 0;
    SystemParametersInfoW(SPI_GETSCREENSAVETIMEOUT, 0, &timeout, 0);
    return static_cast<DWORD>(timeout - 10 >= 1 ? timeout - 10 : 1) * 1000;
}

// Whether to go on keeping; attached to Java only while asking.
bool stillWanted() noexcept {
    const bool wanted = keepOff.load() && isApplicationAlive(false);
    releaseJavaThread();
    return wanted;
}

DWORD WINAPI keeper(void*) {
    for (;;) {
        SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, FALSE, nullptr, 0);
        bool wanted = true;
        for (DWORD waited = 0; wanted && waited < periodMs(); waited += kCheckMs) {
            wanted = stillWanted();
            if (wanted) WaitForSingleObject(kick, kCheckMs);
        }
        if (wanted) continue;
        keepOff.store(false);
        SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, foundActive.load(), nullptr, 0);
        keeperRunning.store(false);
        // A request that came while this thread was ending finds it gone or takes it over here.
        if (keepOff.load() && !keeperRunning.exchange(true)) continue;
        return 0;
    }
}

// When the application ends the process itself the keeper dies with it: the setting it found is
// put back here. Only a process that switched the saver off touches it, so a user without a
// screen saver keeps none.
void restoreFoundSetting() noexcept {
    if (!keeperRunning.load()) return;
    keepOff.store(false);
    SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, foundActive.load(), nullptr, 0);
}

} // namespace

void keepScreenSaverOff(bool off) noexcept {
    if (!off) {
        keepOff.store(false);
        return;
    }
    keepOff.store(true);
    if (keeperRunning.exchange(true)) return;
    BOOL active = TRUE;
    SystemParametersInfoW(SPI_GETSCREENSAVEACTIVE, 0, &active, 0);
    foundActive.store(active);
    static const bool restoring = addCleanUpStep(restoreFoundSetting);
    (void)restoring;
    const HANDLE thread = CreateThread(nullptr, 0, keeper, nullptr, 0, nullptr);
    if (!thread) {
        keeperRunning.store(false);
        return;
    }
    if (const HANDLE previous = keeperThread.exchange(thread)) CloseHandle(previous);
}

void awaitKeeperEnd(unsigned long ms) noexcept {
    if (!keeperRunning.load()) return;
    SetEvent(kick);
    if (const HANDLE thread = keeperThread.load()) WaitForSingleObject(thread, ms);
}

} // namespace tavrelo
