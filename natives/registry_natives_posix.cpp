// The Linux launcher has no registry: no registry native is bound (the table is still compiled
// and checked against what javac makes of the declarations).
#include "launcher/hand_overs.h"

namespace tavrelo {

void registerRegistryNatives(const std::string&) {}

} // namespace tavrelo
