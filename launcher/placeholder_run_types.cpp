// Placeholder until the run types' shortcuts exist: nothing is created or deleted.
#include "launcher/hand_overs.h"

namespace tavrelo {

void createRunTypeShortcut(int) {}
void deleteRunTypeShortcut(int) {}

} // namespace tavrelo
