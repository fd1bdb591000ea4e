// Placeholder until session restore exists: a restart after a logon restores nothing.
#include "launcher/hand_overs.h"

namespace tavrelo {

void restoreSession(TextView) {}

} // namespace tavrelo
