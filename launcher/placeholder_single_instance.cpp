// Placeholder until the single-instance feature exists: every start runs.
#include "launcher/hand_overs.h"

namespace tavrelo {

bool askRunningInstance(TextView, TextView, TextView) { return false; }
bool startSingleInstance(TextView, TextView, const std::string&, bool) { return false; }

} // namespace tavrelo
