#include "resources/resources.h"

namespace tavrelo {

// Dropped files are launched as ordinary arguments until the hand-over exists.
int checkIntegrationRequest(int, const char16_t* const*) { return 0; }
int startResourceTool(int, const char16_t* const*) { return 0; }

} // namespace tavrelo
