// The host has no service manager: a service application runs its main like any other, the
// service and companion keywords end the launch without running anything, and no shortcut is
// made or deleted (the shortcut options still end the launch).
#include "launcher/hand_overs.h"
#include "service/service.h"

namespace tavrelo {

int runServiceSide(int) { return 0; }

void useServicePresenter() noexcept {}
// No companion pipe on Linux: a session logon has no icon to re-add.
void sendTrayReAdd() noexcept {}

int runServiceActions(const CommandLineActions*) { return kGoOnToMain; }

void createRunTypeShortcut(int) {}
void deleteRunTypeShortcut(int) {}

} // namespace tavrelo
