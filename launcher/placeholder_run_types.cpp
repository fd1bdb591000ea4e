// Placeholder until the control-panel and screen-saver features exist: no interface is found,
// and their launch modes and actions end the launch having done nothing.
#include "launcher/hand_overs.h"

namespace tavrelo {

void bindControlPanelInterface(const std::string&) {}
bool bindScreenSaverInterface(const std::string&) { return false; }
bool hasScreenSaverConfig() { return false; }

int runApplet() { return 0; }
int runScreenSaver() { return 0; }

int runControlPanelActions(const CommandLineActions*) { return 1; }
int runScreenSaverActions(const CommandLineActions*) { return 1; }

} // namespace tavrelo
