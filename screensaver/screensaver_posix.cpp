// The Linux launcher has no screen saver to run or install.
#include "launcher/hand_overs.h"

namespace tavrelo {

int runScreenSaver(int, const std::string&) { return 1; }
int runScreenSaverActions(const CommandLineActions*) { return 1; }

} // namespace tavrelo
