// The Linux build carries no resources, so it has no splash image to show.
#include "desktop/splash.h"
#include "launcher/hand_overs.h"

namespace tavrelo {

bool startSplashScreen() { return false; }
void startSplashFollowUp() {}
void awaitSplashEnd() {}

} // namespace tavrelo
