#include "launcher/java_runtime.h"
#include "launcher/launcher.h"
#include "platform/messages.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

constexpr int kInstallMessage = 1;

Text jreBeside(TextView directory) {
    Text path(directory);
    path.push_back(os::kPathSeparator);
    path += u"jre";
    return path;
}

// The elements of a ';'-separated list, trimmed, empty ones left out.
std::vector<Text> listElements(TextView list) {
    std::vector<Text> elements;
    for (;;) {
        const std::size_t cut = list.find(u';');
        const TextView element = trimView(list.substr(0, cut));
        if (!element.empty()) elements.emplace_back(element);
        if (cut == TextView::npos) return elements;
        list = list.substr(cut + 1);
    }
}

} // namespace

std::optional<FoundRuntime> locateRuntime(TextView launcherDirectory, const Configuration& config,
                                          const RuntimeRegistry& registry) {
    // The slot was expanded and resolved when it was read; unescaping it a second time would
    // fold the leading backslashes of a UNC path that an expanded reference brought in.
    if (const Text* configured = config.get(kPathJre))
        for (const Text& home : listElements(*configured))
            if (os::pathExists(home)) return FoundRuntime{home, {}};
    if (const Text beside = jreBeside(launcherDirectory); os::isDirectory(beside)) return FoundRuntime{beside, {}};
    if (const Text* resources = config.get(kResourceDirectory))
        for (const Text& directory : listElements(*resources))
            if (const Text inside = jreBeside(directory); os::isDirectory(inside)) return FoundRuntime{inside, {}};

    std::optional<RuntimeVersion> required;
    if (const Text* minimum = config.get(kJreVersion)) {
        const RuntimeVersion version = parseRuntimeVersion(*minimum);
        if (version.major >= 0) required = version;
    }
    return locateSystemRuntime(required, registry);
}

std::optional<Text> findRuntimeHome(TextView launcherDirectory, const Configuration& config) {
    const auto found = locateRuntime(launcherDirectory, config);
    if (!found) {
        offerRuntimeInstallation(config);
        return std::nullopt;
    }
    JavaRuntime& runtime = javaRuntime();
    runtime.home = found->home;
    runtime.version = found->version;
    return found->home;
}

void offerRuntimeInstallation(const Configuration& config) {
    const Text* display = config.get(kDisplayBoxInstall);
    if (!display || *display != u"0") {
        const Text* version = config.get(kJreVersion);
        if (!showMessage(kInstallMessage, kBoxYesNo | kBoxStop, {version ? TextView(*version) : TextView()})) return;
    }
    const Text* configuredPage = config.get(kUrlInstallJre);
    const Text page = configuredPage && !configuredPage->empty() ? *configuredPage : Text(kDefaultDownloadPage);
    if (const Text* browser = config.get(kPathBrowser); browser && !browser->empty()) {
        (void)startBrowser(*browser, page); // its references were expanded when it was read
        return;
    }
    (void)openWebPage(page);
}

} // namespace tavrelo
