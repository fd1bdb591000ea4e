// Placeholder until the splash screen exists: none is shown.
#include "launcher/hand_overs.h"

namespace tavrelo {

bool startSplashScreen() { return false; }
void startSplashFollowUp() {}

} // namespace tavrelo
