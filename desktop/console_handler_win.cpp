// The console's control events (Ctrl+C, closing, logoff, shutdown) offered to the application
// before the VM's own handler, which was registered earlier and so runs after this one.
#include <windows.h>

#include <atomic>

#include "bridge/bridge.h"
#include "desktop/desktop.h"
#include "launcher/hand_overs.h"
#include "launcher/launcher.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

std::atomic<bool> installed{false};

// On a thread the system starts for the event.
BOOL WINAPI onConsoleEvent(DWORD controlCode) noexcept {
    SystemEvent event;
    event.code = kEventConsole;
    event.wParam = static_cast<int>(controlCode);
    const int answer = notifyEvent(event);
    releaseJavaThread();
    const bool serviceProcess = launchContext().serviceSubMode == kSubModeService;
    switch (consoleEventOutcome(static_cast<int>(controlCode), answer, serviceProcess)) {
    case ConsoleOutcome::Handled: return TRUE;
    case ConsoleOutcome::PassOn: return FALSE;
    case ConsoleOutcome::Ending: break;
    }
    // The screen saver is left as it is: the launcher has not switched it off.
    os::setLauncherEnding();
    return FALSE;
}

} // namespace

void installConsoleHandler() {
    if (installed.exchange(true)) return;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

} // namespace tavrelo
