// Placeholder until the service-control and system natives exist.
#include "launcher/hand_overs.h"

namespace tavrelo {

void registerServiceControlNatives(const std::string&) {}
void registerSystemNatives(const std::string&) {}

} // namespace tavrelo
