#include "launcher/launcher.h"
#include "platform/os.h"

namespace tavrelo {

namespace {
constexpr std::size_t kFileNameUnits = 2047;
constexpr std::size_t kBareNameUnits = 511;

bool isSeparator(char16_t c) noexcept { return c == os::kPathSeparator || c == u'/'; }

std::size_t lastSeparator(TextView path) noexcept {
    for (std::size_t i = path.size(); i > 0; --i)
        if (isSeparator(path[i - 1])) return i - 1;
    return TextView::npos;
}
} // namespace

LaunchContext& launchContext() noexcept {
    static LaunchContext context;
    return context;
}

Text bareFileNameOf(TextView fileName) {
    const std::size_t cut = lastSeparator(fileName);
    Text bare(cut == TextView::npos ? fileName : fileName.substr(cut + 1));
    if (bare.size() > kBareNameUnits) bare.resize(kBareNameUnits);
    return bare;
}

Text launcherDirectoryOf(TextView longFileName) {
    const std::size_t cut = lastSeparator(longFileName);
    if (cut == TextView::npos) return u".";
    if (cut == 0) return Text(1, longFileName[0]); // a file in the root: keep the root itself
    Text directory(longFileName.substr(0, cut));
    Text longForm = os::longPathName(directory);
    if (!longForm.empty()) {
        if (longForm.size() > 1 && isSeparator(longForm.back())) longForm.pop_back();
        directory = std::move(longForm);
    }
    return directory;
}

Text baseNameOf(TextView bareFileName, bool cutConsoleSuffix) {
    TextView base = bareFileName;
    const std::size_t dot = base.rfind(u'.');
    if (dot != TextView::npos) base = base.substr(0, dot);
    if (cutConsoleSuffix) {
        const std::size_t suffix = base.find(u"_console");
        if (suffix != TextView::npos) base = base.substr(0, suffix);
    }
    return Text(base);
}

void initLaunchContext(LaunchContext& context, void* module, int console, TextView argumentLine,
                       std::vector<Text> arguments) {
    context.module = module;
    context.console = console;
    const Text raw = os::moduleFileName(module);
    Text longName = os::longPathName(raw);
    if (longName.empty()) longName = raw;
    if (longName.size() > kFileNameUnits) longName.resize(kFileNameUnits);
    Text shortName = os::shortPathName(longName);
    if (shortName.empty()) shortName = longName;
    if (shortName.size() > kFileNameUnits) shortName.resize(kFileNameUnits);
    context.longFileName = std::move(longName);
    context.shortFileName = std::move(shortName);
    context.bareFileName = bareFileNameOf(context.longFileName);
    context.mainThreadId = os::currentThreadId();
    context.argumentLine = Text(argumentLine);
    context.arguments = std::move(arguments);
}

void deriveNames(LaunchContext& context) {
    context.launcherDirectory = launcherDirectoryOf(context.longFileName);
    context.baseName = baseNameOf(context.bareFileName, context.console == 1);
}

Text commandLinePath(const LaunchContext& context) {
    return isAscii(context.longFileName) ? context.longFileName : context.shortFileName;
}

} // namespace tavrelo
