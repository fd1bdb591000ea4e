// Console control events are a Windows notion; the Linux launcher leaves signals to the VM.
#include "launcher/hand_overs.h"

namespace tavrelo {

void installConsoleHandler() {}

} // namespace tavrelo
