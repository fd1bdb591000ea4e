// Where the restart command of a saved session is registered: the user's RunOnce values.
#include "desktop/session_restore.h"
#include "launcher/launcher.h"
#include "platform/registry.h"

namespace tavrelo {

bool registerRestartCommand(TextView identifier) noexcept {
    try {
        // In quotes: without short names a path with a blank would run "C:\Program" at logon.
        const Text command = u"\"" + commandLinePath(launchContext()) + u"\" \"__Tavrelo_restore=" + Text(identifier) + u"\"";
        return setUserRunOnceEntry(identifier, command);
    } catch (...) {
        return false;
    }
}

void deleteRestartCommand(TextView identifier) noexcept {
    try {
        (void)deleteUserRunOnceEntry(identifier);
    } catch (...) {
    }
}

} // namespace tavrelo
