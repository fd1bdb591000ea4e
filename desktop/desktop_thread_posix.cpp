// The Linux launcher has no desktop windows, hence no desktop thread.
#include "launcher/hand_overs.h"

namespace tavrelo {

int desktopFeatures(const std::string&, int) { return 0; }
void startDesktopThread(int, const std::string&) {}
void awaitDesktopThreadEnd() {}

} // namespace tavrelo
