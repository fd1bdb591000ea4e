#include "desktop/session_restore.h"
#include "launcher/class_data_archive.h"
#include "launcher/launcher.h"
#include "platform/os.h"
#include "platform/trace.h"
#include "resources/resources.h"
#include "service/admin.h"
#include "service/service.h"

namespace tavrelo {

int runEntry(int count, const char16_t* const* arguments, void* module, const EntryOptions& options) {
    // Started again by an earlier run to write the application's class-data archive.
    if (const auto request = os::environmentValue(kClassDataRequestVariable)) return runArchiveWriter(*request);
    const int afterName = count > 1 ? count - 1 : 0;
    const char16_t* const* programArguments = count > 1 ? arguments + 1 : nullptr;

    // The line is for finding keywords; main and a running instance get the list itself.
    Text argumentLine = joinArguments(afterName, programArguments);
    std::vector<Text> argumentsForMain = argumentList(afterName, programArguments);
    LaunchContext& context = launchContext();
    initLaunchContext(context, module, options.console, argumentLine, argumentsForMain);
    deriveNames(context);
    // A restart after logon brings the saved run's arguments in place of its own, first of all.
    const std::optional<Text> restoreName = takeRestoreArgument(argumentsForMain, argumentLine, context.baseName);
    const int adminKind = parseAdminToken(argumentLine, static_cast<int>(os::processId()), adminState());
    dropAdminArguments(argumentsForMain, adminKind);
    context.argumentLine = argumentLine;
    context.arguments = argumentsForMain;
    context.serviceSubMode = serviceSubModeOf(afterName > 0 ? programArguments[0] : nullptr);
    context.adminKind = adminKind;
    // Nobody sees a box in the service's session, and it would hold the start up until the
    // manager gives up: from here on every message of the service process goes to the event log.
    if (context.serviceSubMode == kSubModeService) useServicePresenter();
    const int launchMode = context.serviceSubMode != kSubModeNone ? kModeServiceSide : kModeApplication;
    if (tracing())
        trace("launcher ", os::moduleFileName(module), options.console ? " (console)" : " (window)", ", base name ",
              context.baseName, ", launch mode ", launchMode, ", service sub-mode ", context.serviceSubMode,
              ", administrator kind ", adminKind, ", arguments [", argumentLine, "]");

    CommandLineActions actions;
    scanActions(actions, count, arguments);

    if (options.integration && checkIntegrationRequest(afterName, programArguments))
        return startResourceTool(afterName, programArguments);

    LaunchRequest request;
    request.launchMode = launchMode;
    request.restoreName = restoreName;
    request.argumentLine = argumentLine;
    request.arguments = std::move(argumentsForMain);
    if (options.extraOption) request.extraOption = Text(options.extraOption);
    request.actions = &actions;
    request.adminKind = adminKind;
    return runLauncher(request);
}

} // namespace tavrelo
