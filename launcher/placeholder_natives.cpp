// Placeholder until the service-control natives exist.
#include "launcher/hand_overs.h"

namespace tavrelo {

void registerServiceControlNatives(const std::string&) {}

} // namespace tavrelo
