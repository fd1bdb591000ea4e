// Placeholder until the service, control-panel and screen-saver features exist: no interface
// is found, and their launch modes and actions end the launch having done nothing.
#include "launcher/hand_overs.h"

namespace tavrelo {

bool bindServiceInterface(const std::string&) { return false; }
void bindControlPanelInterface(const std::string&) {}
bool bindScreenSaverInterface(const std::string&) { return false; }

void createRunTypeShortcut(int) {}
void deleteRunTypeShortcut(int) {}

int runServiceSide() { return 0; }
int runApplet() { return 0; }
int runScreenSaver() { return 0; }

int runServiceActions(const CommandLineActions*) { return 1; }
int runControlPanelActions(const CommandLineActions*) { return 1; }
int runScreenSaverActions(const CommandLineActions*) { return 1; }

} // namespace tavrelo
