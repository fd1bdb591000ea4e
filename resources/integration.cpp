#include "platform/format.h"
#include "platform/os.h"
#include "resources/resources.h"

namespace tavrelo {

namespace {

constexpr std::size_t kToolArgumentUnits = keptUnits(2048);
constexpr int kMostDroppedFiles = 3;

bool isQuoted(TextView text) noexcept { return !text.empty() && text.front() == u'"'; }

// The extension from the last '.', without the closing quote of a quoted argument.
TextView extensionOf(TextView argument) noexcept {
    if (argument.size() >= 2 && argument.front() == u'"' && argument.back() == u'"') argument.remove_suffix(1);
    const std::size_t dot = argument.rfind(u'.');
    return dot == TextView::npos ? TextView() : argument.substr(dot);
}

// The tool option for a dropped file, or null for a file the tool does not take.
const char16_t* sourceOption(TextView argument) noexcept {
    const TextView extension = extensionOf(argument);
    if (equalsIgnoreCase(extension, u".ico")) return u"-ico=";
    if (equalsIgnoreCase(extension, u".properties")) return u"-prp=";
    for (const char16_t* image : {u".bmp", u".gif", u".jpg", u".jpeg", u".png"})
        if (equalsIgnoreCase(extension, image)) return u"-img=";
    return nullptr;
}

const char16_t* targetOption(TextView launcherPath) noexcept {
    const TextView extension = extensionOf(launcherPath);
    if (equalsIgnoreCase(extension, u".exe")) return u"-exe=";
    if (equalsIgnoreCase(extension, u".cpl")) return u"-cpl=";
    if (equalsIgnoreCase(extension, u".scr")) return u"-scr=";
    return nullptr;
}

// An argument that already carries its quotes keeps them and gets no second pair.
void appendToolArgument(Text& commandLine, const char16_t* option, TextView file) {
    const TextView quote = isQuoted(file) ? TextView() : TextView(u"\"");
    commandLine.push_back(u' ');
    commandLine += formatText(u"%s%s%s%s", {option, quote, file, quote}, kToolArgumentUnits);
}

} // namespace

Text resourceToolPath(TextView launcherDirectory) {
    const char16_t format[] = {u'%', u's', os::kPathSeparator, u'%', u's', 0};
    return formatText(format, {launcherDirectory, kResourceToolName});
}

bool isIntegrationFile(TextView argument) noexcept { return sourceOption(argument) != nullptr; }

bool isIntegrationRequest(int count, const char16_t* const* arguments, TextView launcherDirectory) {
    if (count < 1 || count > kMostDroppedFiles || !arguments) return false;
    for (int i = 0; i < count; ++i)
        if (!arguments[i] || !isIntegrationFile(arguments[i])) return false;
    return os::pathExists(resourceToolPath(launcherDirectory));
}

Text resourceToolCommandLine(TextView launcherPath, int count, const char16_t* const* arguments) {
    Text commandLine(kResourceToolName);
    commandLine += u" -run -info";
    if (const char16_t* option = targetOption(launcherPath)) appendToolArgument(commandLine, option, launcherPath);
    int formed = 0;
    for (int i = 0; i < count && arguments && formed < kMostDroppedFiles; ++i) {
        const char16_t* option = arguments[i] ? sourceOption(arguments[i]) : nullptr;
        if (!option) continue;
        appendToolArgument(commandLine, option, arguments[i]);
        ++formed;
    }
    return commandLine;
}

} // namespace tavrelo
