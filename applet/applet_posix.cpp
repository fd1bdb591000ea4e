// The Linux launcher has no Control Panel to register with.
#include "launcher/hand_overs.h"

namespace tavrelo {

int runControlPanelActions(const CommandLineActions*) { return 1; }

} // namespace tavrelo
