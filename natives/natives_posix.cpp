// The Linux launcher has no registry and no Windows session to control: no native is bound (the
// tables are still compiled and checked against what javac makes of the declarations).
#include "launcher/hand_overs.h"

namespace tavrelo {

void registerRegistryNatives(const std::string&) {}
void registerSystemNatives(const std::string&) {}
void awaitNativeThreadsEnd() {}

} // namespace tavrelo
