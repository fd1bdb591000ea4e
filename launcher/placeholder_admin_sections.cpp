// Placeholder until administrator sections exist.
#include "launcher/hand_overs.h"

namespace tavrelo {

void bindAdminSections(const std::string&) {}
void runElevatedRestartSections() {}
void serveAdminSection() {}

} // namespace tavrelo
