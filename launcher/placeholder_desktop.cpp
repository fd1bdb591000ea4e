// Placeholder until the tray icon, system events, session restore and screen-saver window
// exist: no desktop feature, no desktop thread, no console handler.
#include "launcher/hand_overs.h"

namespace tavrelo {

int desktopFeatures(const std::string&, int) { return 0; }
void startDesktopThread(int, const std::string&) {}
void installConsoleHandler() {}
void restoreSession(TextView) {}

} // namespace tavrelo
