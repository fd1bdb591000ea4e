#include "launcher/launcher.h"
#include "platform/os.h"
#include "resources/resources.h"
#include "screensaver/screensaver.h"
#include "screensaver/screensaver_run.h"

namespace tavrelo {

int runScreenSaverEntry(void* module, TextView argumentLine) {
    LaunchContext& context = launchContext();
    initLaunchContext(context, module, 0, argumentLine, {});
    // An installed copy runs from the system directory but belongs beside its application.
    const Text source = embeddedScreenSaverSource(module);
    if (!source.empty()) {
        context.longFileName = source;
        context.shortFileName = os::shortPathName(source);
        if (context.shortFileName.empty()) context.shortFileName = source;
        context.bareFileName = bareFileNameOf(source);
    }
    setScreenSaverRequest(parseScreenSaverArguments(argumentLine));

    LaunchRequest request;
    request.launchMode = kModeScreenSaver;
    request.argumentLine = Text(argumentLine);
    return runLauncher(request);
}

} // namespace tavrelo
