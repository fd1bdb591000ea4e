#include "resources/resources.h"

namespace tavrelo {

// The resource tool is a Windows program: dropped files reach the Linux launcher's application
// as ordinary arguments.
int checkIntegrationRequest(int, const char16_t* const*) { return 0; }
int startResourceTool(int, const char16_t* const*) { return 0; }

} // namespace tavrelo
