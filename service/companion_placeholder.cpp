// The companion and its pipe are not built yet: until they are, there is nobody to signal, so
// the signal is dropped exactly as it would be with no companion listening.
#include "service/companion.h"

namespace tavrelo {

void sendTrayReAdd() noexcept {}

} // namespace tavrelo
