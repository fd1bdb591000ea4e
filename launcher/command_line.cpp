#include <algorithm>

#include "launcher/launcher.h"

namespace tavrelo {

namespace {

const char16_t* const kActionOptions[kActionCount] = {
    u"-installService", u"-deleteService", u"-startService", u"-stopService",   u"-installCPL",      u"-deleteCPL",
    u"-installSCR",     u"-deleteSCR",     u"-configSCR",    u"-createShortcut", u"-deleteShortcut",
};

bool needsQuotes(TextView argument) noexcept {
    if (!argument.empty() && argument[0] == u'"') return false;
    return argument.find_first_of(u" *?") != TextView::npos;
}

} // namespace

Text joinArguments(int count, const char16_t* const* arguments) {
    Text line;
    bool first = true;
    for (int i = 0; i < count; ++i) {
        if (!arguments || !arguments[i]) continue;
        const TextView argument(arguments[i]);
        if (!first) line.push_back(u' ');
        first = false;
        if (needsQuotes(argument)) {
            line.push_back(u'"');
            line.append(argument);
            line.push_back(u'"');
        } else {
            line.append(argument);
        }
    }
    return line;
}

std::vector<Text> argumentList(int count, const char16_t* const* arguments) {
    std::vector<Text> list;
    for (int i = 0; i < count; ++i)
        if (arguments && arguments[i]) list.emplace_back(arguments[i]);
    return list;
}

Text quoteArgumentLine(const std::vector<Text>& arguments) {
    Text line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) line.push_back(u' ');
        appendQuotedArgument(line, arguments[i]);
    }
    return line;
}

void dropAdminArguments(std::vector<Text>& arguments, int adminKind) {
    std::size_t taken = 0;
    if (adminKind == kAdminRestart) taken = 2; // keyword, parent process id
    if (adminKind == kAdminSection) taken = 3; // keyword, parent process id, section number
    taken = std::min(taken, arguments.size());
    arguments.erase(arguments.begin(), arguments.begin() + static_cast<std::ptrdiff_t>(taken));
}

void scanActions(CommandLineActions& actions, int count, const char16_t* const* arguments) {
    for (int i = 0; i < count; ++i) {
        if (!arguments || !arguments[i]) continue;
        const TextView argument(arguments[i]);
        for (int flag = 0; flag < kActionCount; ++flag)
            if (equalsIgnoreCase(argument, kActionOptions[flag])) actions.flags[static_cast<std::size_t>(flag)] = 1;
        if (equalsIgnoreCase(argument, u"__OpenDialog__") && actions.flags[kInstallScr] != 0)
            actions.flags[kInstallScr] = -1;
    }
}

int serviceSubModeOf(const char16_t* firstArgument) noexcept {
    if (!firstArgument) return kSubModeNone;
    const TextView argument(firstArgument);
    if (equalsIgnoreCase(argument, u"__RunService__")) return kSubModeService;
    if (equalsIgnoreCase(argument, u"-startServiceUI")) return kSubModeCompanion;
    return kSubModeNone;
}

} // namespace tavrelo
