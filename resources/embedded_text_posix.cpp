#include "launcher/launcher.h"
#include "resources/resources.h"

namespace tavrelo {

// The Linux build carries no resources: its configuration is the properties file alone.
Text embeddedConfigurationText(void*) { return {}; }
Text embeddedScreenSaverSource(void*) { return {}; }

} // namespace tavrelo
