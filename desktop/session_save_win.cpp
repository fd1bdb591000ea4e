// The save at the end of a Windows session: on a thread of its own while the event window
// answers the system; the session's end waits for it, a cancelled end abandons and undoes it.
#include <windows.h>

#include <atomic>

#include "bridge/bridge.h"
#include "desktop/session_restore.h"
#include "launcher/launcher.h"
#include "platform/handles.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

constexpr DWORD kCheckMs = 500;

// Both only on the event window's thread, apart from the flag the save thread reads.
std::atomic<bool> abandoned{false};
KernelHandle saveThread;

DWORD WINAPI saveThreadMain(void*) {
    (void)saveSession(abandoned);
    releaseJavaThread();
    return 0;
}

// Until the save thread has ended, or the launcher is.
void waitForSave() noexcept {
    while (WaitForSingleObject(saveThread.get(), kCheckMs) == WAIT_TIMEOUT && !os::launcherEnding()) {
    }
}

} // namespace

void startSessionSave() noexcept {
    const LaunchContext& context = launchContext();
    if (saveThread || context.launchMode != kModeApplication || context.serviceSubMode != kSubModeNone) return;
    abandoned.store(false, std::memory_order_release);
    saveThread.reset(CreateThread(nullptr, 0, saveThreadMain, nullptr, 0, nullptr));
}

void endSession(bool ending) noexcept {
    if (ending) {
        if (!saveThread) return;
        waitForSave();
        abandoned.store(true, std::memory_order_release); // a save still running writes nothing more
        saveThread.reset();
        return;
    }
    abandoned.store(true, std::memory_order_release);
    if (saveThread) waitForSave();
    saveThread.reset();
    removeSavedSession();
}

} // namespace tavrelo
