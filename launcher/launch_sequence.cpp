#include "bridge/bridge.h"
#include "launcher/hand_overs.h"
#include "launcher/launcher.h"
#include "platform/messages.h"
#include "platform/os.h"
#include "platform/trace.h"

namespace tavrelo {

namespace {

constexpr unsigned kPauseBeforeMainMs = 500;

// main's arguments: the process's own arguments exactly as delivered, then the configured words. Each word
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

// The main class: the entry's finder first, then the configuration and the archives, else the base name.
// Class names go to the JVM in UTF-8, the encoding FindClass reads, so non-ASCII names resolve.
std::string mainClassFor(const LaunchRequest& request, const LaunchContext& context, const Configuration& config,
                         const Text& classPath) {
    if (request.mainClassFinder) {
        char found[1024] = {};
        if (request.mainClassFinder(context.baseName.c_str(), found) != 0) {
            found[sizeof found - 1] = '\0';
            if (found[0]) {
                trace("main class: ", found, ", named by the host");
                return found;
            }
        }
    }
    const Text* configured = config.get(kMainClass);
    if (configured && !configured->empty()) {
        trace("main class: ", *configured, ", configured");
        return toUtf8(*configured);
    }
    std::string resolved =
        resolveMainClass(configured ? TextView(*configured) : TextView(), classPath, context.baseName);
    if (!resolved.empty()) return resolved;
    trace("main class: ", context.baseName, ", the base name");
    return toUtf8(context.baseName);
}

// The run type: configured, else detected from the interfaces the application defines and the
// applet or screen-saver file beside the launcher.
int runTypeFor(Configuration& config, const LaunchContext& context, const std::string& mainClass) {
    if (const Text* configured = config.get(kRunType); configured && !configured->empty()) {
        trace("run type ", toInt(*configured), ", configured by RunType");
        return toInt(*configured);
    }
    const auto besideLauncher = [&](const char16_t* extension) {
        return os::pathExists(context.launcherDirectory + os::kPathSeparator + context.baseName + extension);
    };
    int detected = kRunOrdinary;
    if (bindServiceInterface(mainClass)) {
        detected = kRunService;
    } else {
        bindControlPanelInterface(mainClass);
        if (besideLauncher(u".cpl"))
            detected = kRunApplet;
        else if (bindScreenSaverInterface(mainClass) && besideLauncher(u".scr"))
            detected = kRunScreenSaver;
    }
    if (detected != 0) config.set(kRunType, fromInt(detected));
    trace("run type ", detected,
          detected == kRunService   ? ": the main class defines the service methods"
          : detected == kRunApplet ? ": a .cpl file lies beside the launcher"
          : detected == kRunScreenSaver ? ": the main class paints a screen saver and a .scr file lies beside the launcher"
                          : ": an ordinary application");
    return detected;
}

} // namespace

int runLauncher(const LaunchRequest& request) {
    // Every way out says why in the trace.
    const auto ends = [](int status, const char* why) {
        trace("launch ends with status ", status, ": ", why);
        return status;
    };
    LaunchContext& context = launchContext();
    context.launchMode = request.launchMode;
    deriveNames(context);
    // Processes the system starts (services, the applet host) begin in a directory of its choosing.
    if (request.launchMode != kModeApplication) (void)os::setCurrentDirectory(context.launcherDirectory);

    Configuration& config = configuration();
    loadConfiguration(config, context.launcherDirectory, context.baseName, context.module);

    const auto home = findRuntimeHome(context.launcherDirectory, config);
    if (!home) return ends(0, "no runtime");
    if (equalsIgnoreCase(context.baseName, u"Tavrelo")) {
        showMessage(kMessageRename, kBoxWarning);
        return ends(0, "the launcher still has its delivery name");
    }
    const auto library = findVmLibrary(*home);
    if (!library || !isVmLibrary64(*library)) {
        showMessage(kMessageWrongWidth, kBoxWarning, {u"x86", u"x64"});
        return ends(0, library ? "the VM library is not for this launcher's width" : "the runtime has no VM library");
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
    const bool ordinaryStart = request.launchMode == kModeApplication && request.adminKind == kAdminNone;
    values.classDataArchive = ordinaryStart;
    if (!createJavaVm(values)) return ends(0, "the VM could not be created"); // it has told the user

    const bool takenOver =
        ordinaryStart && askRunningInstance(context.launcherDirectory, context.baseName, values.programArguments);
    if (takenOver) trace("single instance: a running instance took this start's arguments");
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
            return ends(1, "shortcuts made");
        }
        if ((*request.actions)[kDeleteShortcut]) {
            deleteRunTypeShortcut(runType);
            return ends(1, "shortcuts deleted");
        }
    }

    // The screen saver's own run follows at once: it was started to cover the screen now.
    if (request.launchMode != kModeScreenSaver) os::sleepMs(kPauseBeforeMainMs);
    if (splash) startSplashFollowUp();

    if (request.adminKind != kAdminSection) {
        switch (request.launchMode) {
        case kModeServiceSide:
            return ends(runServiceSide(desktopSet), "the service side ended");
        case kModeApplet:
            return ends(runApplet(desktopSet, mainClass), "the applet ended");
        case kModeScreenSaver:
            return ends(runScreenSaver(desktopSet, mainClass), "the screen saver ended");
        default:
            if (startSingleInstance(context.launcherDirectory, context.baseName, mainClass, takenOver))
                return ends(0, "another instance runs");
        }
    }

    if (request.adminKind == kAdminNone) {
        switch (runType) {
        case kRunService:
            if (const int status = runServiceActions(request.actions); status != kGoOnToMain)
                return ends(status, "the service's actions are done");
            break;
        case kRunApplet:
            return ends(runControlPanelActions(request.actions), "the applet's actions are done");
        case kRunScreenSaver:
            return ends(runScreenSaverActions(request.actions), "the screen saver's actions are done");
        default:
            break;
        }
    }

    if (request.restoreName) restoreSession(*request.restoreName);

    if (request.adminKind == kAdminRestart) runElevatedRestartSections();
    if (request.adminKind == kAdminSection) {
        serveAdminSection();
        return ends(1, "the administrator section ended");
    }
    trace("calling main of ", mainClass);
    const int status = callMain(desktopSet);
    return ends(status, status == 1 ? "main was called and the VM has ended" : "main could not be called");
}

} // namespace tavrelo
