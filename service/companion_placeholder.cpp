// The companion and its pipe are not built yet: until they are, there is nobody to signal, so
// the signals are dropped exactly as they would be with no peer listening.
#include "service/companion.h"

namespace tavrelo {

void sendTrayReAdd() noexcept {}
void relayDisplayChange(unsigned long long, long long) noexcept {}

} // namespace tavrelo
