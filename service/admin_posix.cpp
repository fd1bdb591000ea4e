// The Linux launcher is never elevated and starts no elevated copy: nothing of the contract is
// bound (its tables are still compiled and checked against what javac makes of them).
#include "launcher/hand_overs.h"
#include "platform/os.h"
#include "service/admin.h"

namespace tavrelo {

void bindAdminSections(const std::string&) {
    if (launchContext().adminKind == kAdminNone) adminState().parentProcessId = static_cast<int>(os::processId());
}
void runElevatedRestartSections() {}
void serveAdminSection() {}
void awaitAdminSectionsEnd() {}

} // namespace tavrelo
