#include <windows.h>

#include "launcher/launcher.h"
#include "platform/handles.h"
#include "platform/win_text.h"
#include "resources/resources.h"

namespace tavrelo {

int checkIntegrationRequest(int count, const char16_t* const* arguments) {
    return isIntegrationRequest(count, arguments, launchContext().launcherDirectory) ? 1 : 0;
}

int startResourceTool(int count, const char16_t* const* arguments) {
    const LaunchContext& context = launchContext();
    const Text tool = resourceToolPath(context.launcherDirectory);
    Text commandLine = resourceToolCommandLine(commandLinePath(context), count, arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // The tool rewrites this launcher's file, which it can do only once this process has ended:
    // it is left running on its own, in the launcher's current directory (relative file names
    // are resolved there).
    if (CreateProcessW(wc(tool), wc(commandLine.data()), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &started)) {
        KernelHandle process(started.hProcess);
        KernelHandle thread(started.hThread);
    }
    return 0;
}

} // namespace tavrelo
