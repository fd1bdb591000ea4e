#include "launcher/launcher.h"
#include "platform/os.h"

namespace tavrelo {

int runLauncher(const LaunchRequest& request) {
    LaunchContext& context = launchContext();
    context.launchMode = request.launchMode;
    deriveNames(context);
    // Processes the system starts (services, the applet host) begin in a directory of its choosing.
    if (request.launchMode != kModeApplication) (void)os::setCurrentDirectory(context.launcherDirectory);

    Configuration& config = configuration();
    loadConfiguration(config, context.launcherDirectory, context.baseName, context.module);

    // Finding the runtime and running the application come next; without them the launch ends
    // here, quietly.
    return 0;
}

} // namespace tavrelo
