// Installing the screen saver: the launcher's actions (install, removal, configuration) and the
// preview's offer to install an application's ".scr" chosen in the settings dialog.
#include <windows.h>

#include "bridge/bridge.h"
#include "launcher/hand_overs.h"
#include "launcher/java_runtime.h"
#include "launcher/launcher.h"
#include "platform/handles.h"
#include "platform/messages.h"
#include "platform/os.h"
#include "platform/system.h"
#include "platform/win_text.h"
#include "resources/resource_writer.h"
#include "resources/resources.h"
#include "screensaver/screensaver.h"
#include "screensaver/screensaver_run.h"

namespace tavrelo {

namespace {

constexpr int kDescriptionString = 1;
constexpr unsigned long kAccessDenied = 5;
constexpr unsigned kPauseBeforeActionMs = 500;

// The installed copy is the application's current one: same description (string 1, exact) and
// not older than the source copy. A time that cannot be read counts as equal.
bool installedIsCurrent(const Text& installed, const Text& source, const Text& description) noexcept {
    if (description.empty()) return false;
    ModuleHandle copy(LoadLibraryExW(wc(installed), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!copy) return false;
    wchar_t text[1024] = {};
    const int length = LoadStringW(copy.get(), kDescriptionString, text, 1024);
    if (trim(TextView(tc(text), length > 0 ? static_cast<std::size_t>(length) : 0)) != description) return false;
    WIN32_FILE_ATTRIBUTE_DATA installedData{};
    WIN32_FILE_ATTRIBUTE_DATA sourceData{};
    if (!GetFileAttributesExW(wc(installed), GetFileExInfoStandard, &installedData) ||
        !GetFileAttributesExW(wc(source), GetFileExInfoStandard, &sourceData))
        return true;
    return CompareFileTime(&installedData.ftLastWriteTime, &sourceData.ftLastWriteTime) >= 0;
}

// The application's launcher beside the source copy: "<base>.exe", else "<base>_console.exe".
Text companionExecutable() {
    const LaunchContext& context = launchContext();
    const Text base = context.launcherDirectory + u"\\" + context.baseName;
    if (os::pathExists(base + u".exe")) return base + u".exe";
    if (os::pathExists(base + u"_console.exe")) return base + u"_console.exe";
    return {};
}

// Writes the description and the source path into the source copy, then copies it over the
// installed one. A failed resource update is not reported; the copy's result is.
bool installScreenSaver(const Text& installed) noexcept {
    try {
        const ScreenSaverInfo info = readScreenSaverInfo();
        const Text source = screenSaverSourceFile();
        ResourceUpdate update(source);
        if (update.valid() && update.put(kStringResource, stringBlockOf(kDescriptionString),
                                         stringBlockBytes({Text(), info.description, Text()})) &&
            putScrambledText(update, kBinScreenSaverSource, source))
            (void)update.commit();
        return CopyFileW(wc(source), wc(installed), FALSE) != 0;
    } catch (...) {
        return false;
    }
}

// The system's screen-saver settings with this screen saver selected; not waited for.
void openScreenSaverDialog(const Text& installed) noexcept {
    try {
        Text line = systemRootDirectory() + u"\\System32\\rundll32.exe desk.cpl,InstallScreenSaver " + installed;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        wchar_t desktop[] = L"WinSta0\\Default";
        startup.lpDesktop = desktop;
        PROCESS_INFORMATION started{};
        if (!CreateProcessW(nullptr, wc(line.data()), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
            return;
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    } catch (...) {
    }
}

} // namespace

bool offerInstallFromPreview(void* previewParent) noexcept {
    try {
        const Text companion = companionExecutable();
        const Text installed = installedScreenSaverFile();
        if (companion.empty() || installed.empty()) return false;
        if (installedIsCurrent(installed, screenSaverSourceFile(), readScreenSaverInfo().description)) return false;
        if (!askScreenSaver(kScrsvIsCreate, kMessageInstallScreenSaver)) return false;
        if (!shellExecuteElevated(companion, u"-installSCR __OpenDialog__", launchContext().launcherDirectory))
            return false;
        // The dialog is reopened by the launcher once the copy is installed.
        using EndTaskFunction = BOOL(WINAPI*)(HWND, BOOL, BOOL);
        if (const auto endTask = loadFunctionAs<EndTaskFunction>(u"user32.dll", "EndTask"))
            endTask(static_cast<HWND>(previewParent), FALSE, TRUE);
        return true;
    } catch (...) {
        return false;
    }
}

int runScreenSaverActions(const CommandLineActions* actions) {
    const CommandLineActions given = actions ? *actions : CommandLineActions{};
    if (given[kConfigScr]) {
        (void)bindScreenSaverMethods(mainClassName());
        callScreenSaver(kScrsvOpenConfig);
        shutdownJavaVm(true);
        return 1;
    }
    if (!canSetSystemTime()) {
        showSystemError(kAccessDenied);
        return 0;
    }
    const Text installed = installedScreenSaverFile();
    int install = given[kInstallScr];
    bool remove = given[kDeleteScr] != 0;
    const bool automatic = install == 0 && !remove;
    if (automatic) {
        remove = !installed.empty() && os::pathExists(installed);
        install = remove ? 0 : -1;
    }
    os::sleepMs(kPauseBeforeActionMs);
    (void)bindScreenSaverMethods(mainClassName());
    if (installed.empty()) return 1;
    if (install != 0) {
        if (!automatic || askScreenSaver(kScrsvIsCreate, kMessageInstallScreenSaver)) {
            if (installScreenSaver(installed) && install == -1) openScreenSaverDialog(installed);
        }
    } else if (remove && (!automatic || askScreenSaver(kScrsvIsDelete, kMessageDeleteScreenSaver))) {
        (void)os::deleteFile(installed);
    }
    return 1;
}

} // namespace tavrelo
