// The Linux launcher registers no restart command (nothing ends its session), so a restore only
// has its files to consume.
#include "desktop/session_restore.h"

namespace tavrelo {

bool registerRestartCommand(TextView) noexcept { return false; }
void deleteRestartCommand(TextView) noexcept {}

} // namespace tavrelo
