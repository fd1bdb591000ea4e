#include "launcher/launcher.h"

namespace tavrelo {

// The launcher file carries no readable configuration text yet.
Text embeddedConfigurationText(void*) { return {}; }

} // namespace tavrelo
