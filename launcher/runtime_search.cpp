#include "launcher/java_runtime.h"
#include "launcher/launcher.h"
#include "platform/messages.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

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

std::optional<FoundRuntime> qualifiedRuntime(const Text& home, const std::optional<RuntimeVersion>& required,
                                             const char* source) {
    if (home.empty() || !os::isDirectory(home)) {
        trace("runtime: ", source, " ", home, ": refused, missing");
        return std::nullopt;
    }
    if (!findVmLibrary(home)) {
        trace("runtime: ", source, " ", home, ": refused, no VM library");
        return std::nullopt;
    }
    const RuntimeVersion version = readRuntimeVersion(home);
    if (required && !meetsMinimum(version, *required)) {
        trace("runtime: ", source, " ", home, ": refused, version ", versionText(version), " is below ",
              versionText(*required));
        return std::nullopt;
    }
    trace("runtime: ", source, " ", home, ": taken, version ", versionText(version));
    return FoundRuntime{home, version};
}

std::optional<FoundRuntime> locateRuntime(TextView launcherDirectory, const Configuration& config,
                                          const RuntimeRegistry& registry) {
    // The slot was expanded and resolved when it was read; unescaping it a second time would
    // fold the leading backslashes of a UNC path that an expanded reference brought in.
    // A runtime the application brings or names is taken as it is: no version check.
    if (const Text* configured = config.get(kPathJre)) {
        for (const Text& home : listElements(*configured)) {
            if (os::pathExists(home)) {
                trace("runtime: PathJRE ", home, ": taken");
                return FoundRuntime{home, {}};
            }
            trace("runtime: PathJRE ", home, ": refused, missing");
        }
    }
    if (const Text beside = jreBeside(launcherDirectory); os::isDirectory(beside)) {
        trace("runtime: ", beside, " beside the launcher: taken");
        return FoundRuntime{beside, {}};
    } else {
        trace("runtime: ", beside, " beside the launcher: refused, missing");
    }
    if (const Text* resources = config.get(kResourceDirectory)) {
        for (const Text& directory : listElements(*resources)) {
            const Text inside = jreBeside(directory);
            if (os::isDirectory(inside)) {
                trace("runtime: ", inside, " in the resource directory: taken");
                return FoundRuntime{inside, {}};
            }
            trace("runtime: ", inside, " in the resource directory: refused, missing");
        }
    }

    std::optional<RuntimeVersion> required;
    if (const Text* minimum = config.get(kJreVersion)) {
        const RuntimeVersion version = parseRuntimeVersion(*minimum);
        if (version.major >= 0) required = version;
        trace("runtime: JREversion \"", *minimum, "\" requires ", required ? versionText(*required) : "nothing");
    }
    auto found = locateSystemRuntime(required, registry);
    if (!found) trace("runtime: no installed runtime qualifies");
    return found;
}

std::optional<Text> findRuntimeHome(TextView launcherDirectory, const Configuration& config) {
    const auto found = locateRuntime(launcherDirectory, config);
    if (!found) {
        trace("no runtime: the installation is offered");
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
        if (!showMessage(kMessageRuntimeMissing, kBoxYesNo | kBoxStop, {version ? TextView(*version) : TextView()})) return;
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
