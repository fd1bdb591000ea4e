#include "bridge/bridge.h"
#include "launcher/hand_overs.h"
#include "launcher/launcher.h"
#include "platform/messages.h"
#include "platform/os.h"

namespace tavrelo {

namespace {

constexpr int kRenameMessage = 26;
constexpr int kWidthMessage = 31;
constexpr unsigned kPauseBeforeMainMs = 500;

// Step 8: the process's own arguments exactly as delivered, then the configured words. Each word
// of "MainArgs" also loses a pair of enclosing quotes left after the split, as stored
// configurations have always had it.
std::vector<Text> programArgumentsFor(const LaunchRequest& request, const Configuration& config) {
    std::vector<Text> arguments = request.arguments;
    if (const Text* mainArgs = config.get(kMainArgs)) {
        for (Text& word : splitWords(*mainArgs)) {
            if (!word.empty() && word.front() == u'"') {
                word.erase(0, 1);
                if (!word.empty() && word.back() == u'"') word.pop_back();
            }
            arguments.push_back(std::move(word));
        }
    }
    return arguments;
}

// Step 11: the entry's finder first, then the configuration and the archives, else the base name.
// Class names go to the JVM in UTF-8, the encoding FindClass reads, so non-ASCII names resolve.
std::string mainClassFor(const LaunchRequest& request, const LaunchContext& context, const Configuration& config,
                         const Text& classPath) {
    if (request.mainClassFinder) {
        char found[1024] = {};
        if (request.mainClassFinder(context.baseName.c_str(), found) != 0) {
            found[sizeof found - 1] = '\0';
            if (found[0]) return found;
        }
    }
    const Text* configured = config.get(kMainClass);
    if (configured && !configured->empty()) return toUtf8(*configured);
    std::string resolved =
        resolveMainClass(configured ? TextView(*configured) : TextView(), classPath, context.baseName);
    if (!resolved.empty()) return resolved;
    return toUtf8(context.baseName);
}

// Step 13: configured, else detected from the interfaces the application defines and the
// applet or screen-saver file beside the launcher.
int runTypeFor(Configuration& config, const LaunchContext& context, const std::string& mainClass) {
    if (const Text* configured = config.get(kRunType); configured && !configured->empty()) return toInt(*configured);
    const auto besideLauncher = [&](const char16_t* extension) {
        return os::pathExists(context.launcherDirectory + os::kPathSeparator + context.baseName + extension);
    };
    int detected = 0;
    if (bindServiceInterface(mainClass)) {
        detected = 1;
    } else {
        bindControlPanelInterface(mainClass);
        if (besideLauncher(u".cpl"))
            detected = 2;
        else if (bindScreenSaverInterface(mainClass) && besideLauncher(u".scr"))
            detected = 3;
    }
    if (detected != 0) config.set(kRunType, fromInt(detected));
    return detected;
}

} // namespace

int runLauncher(const LaunchRequest& request) {
    LaunchContext& context = launchContext();
    context.launchMode = request.launchMode;
    deriveNames(context);
    // Processes the system starts (services, the applet host) begin in a directory of its choosing.
    if (request.launchMode != kModeApplication) (void)os::setCurrentDirectory(context.launcherDirectory);

    Configuration& config = configuration();
    loadConfiguration(config, context.launcherDirectory, context.baseName, context.module);

    const auto home = findRuntimeHome(context.launcherDirectory, config);
    if (!home) return 0;
    if (equalsIgnoreCase(context.baseName, u"Tavrelo")) {
        showMessage(kRenameMessage, kBoxWarning);
        return 0;
    }
    const auto library = findVmLibrary(*home);
    if (!library || !isVmLibrary64(*library)) {
        showMessage(kWidthMessage, kBoxWarning, {u"x86", u"x64"});
        return 0;
    }

    const ClassPathParts parts =
        buildClassPath(config, context.baseName, request.extraClassPath.value_or(Text()),
                       request.extraClassPathOption.value_or(Text()), request.extraOption.value_or(Text()),
                       os::ansiToText(fixedOption(FixedOption::LibraryPath)));
    VmLaunchValues values;
    values.launcherDirectory = context.launcherDirectory;
    values.runtimeHome = *home;
    values.libraryPath = *library;
    values.optionString = parts.optionString;
    values.classPathOption = parts.classPathOption;
    values.classPath = parts.classPath;
    values.programArguments = programArgumentsFor(request, config);
    values.baseName = context.baseName;
    if (!createJavaVm(values)) return 0; // it has told the user

    const bool ordinaryStart = request.launchMode == kModeApplication && request.adminKind == kAdminNone;
    const bool takenOver =
        ordinaryStart && askRunningInstance(context.launcherDirectory, context.baseName, values.programArguments);
    const bool splash = ordinaryStart && !takenOver && startSplashScreen();

    const std::string mainClass = mainClassFor(request, context, config, parts.classPath);
    registerRegistryNatives(mainClass);
    registerServiceControlNatives(mainClass);
    registerSystemNatives(mainClass);
    setMainClassName(mainClass);
    bindAdminSections(mainClass);
    const int desktopSet = desktopFeatures(mainClass, context.serviceSubMode);

    const int runType = runTypeFor(config, context, mainClass);

    if (request.adminKind == kAdminNone && request.actions) {
        if ((*request.actions)[kCreateShortcut]) {
            createRunTypeShortcut(runType);
            return 1;
        }
        if ((*request.actions)[kDeleteShortcut]) {
            deleteRunTypeShortcut(runType);
            return 1;
        }
    }

    // The screen saver's own run follows at once: it was started to cover the screen now.
    if (request.launchMode != kModeScreenSaver) os::sleepMs(kPauseBeforeMainMs);
    if (splash) startSplashFollowUp();

    if (request.adminKind != kAdminSection) {
        switch (request.launchMode) {
        case kModeServiceSide: return runServiceSide(desktopSet);
        case kModeApplet: return runApplet(desktopSet, mainClass);
        case kModeScreenSaver: return runScreenSaver(desktopSet, mainClass);
        default:
            if (startSingleInstance(context.launcherDirectory, context.baseName, mainClass, takenOver)) return 0;
        }
    }

    if (request.adminKind == kAdminNone) {
        switch (runType) {
        case 1:
            if (const int status = runServiceActions(request.actions); status != kGoOnToMain) return status;
            break;
        case 2: return runControlPanelActions(request.actions);
        case 3: return runScreenSaverActions(request.actions);
        default: break;
        }
    }

    if (request.restoreName) restoreSession(*request.restoreName);

    if (request.adminKind == kAdminRestart) runElevatedRestartSections();
    if (request.adminKind == kAdminSection) {
        serveAdminSection();
        return 1;
    }
    return callMain(desktopSet);
}

} // namespace tavrelo
