// Registering the applet: the Cpls value, its category for the running Windows version, and the
// name, description and category written into the ".cpl" copy.
#include <windows.h>

#include "applet/applet.h"
#include "bridge/bridge.h"
#include "launcher/hand_overs.h"
#include "launcher/launcher.h"
#include "platform/messages.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/win_text.h"
#include "resources/resource_writer.h"
#include "resources/resources.h"

namespace tavrelo {

namespace {

constexpr char16_t kCplsKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cpls";
constexpr char16_t kXpCategoryKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Extended "
                                      u"Properties\\{305CA226-D286-468e-B848-2B2E8E697B74} 2";
constexpr char16_t kCategoryKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Extended "
                                    u"Properties\\System.ControlPanel.Category";
constexpr unsigned long kAccessDenied = 5;

CategoryPlace runningCategoryPlace() noexcept {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&version)) version = OSVERSIONINFOW{};
#pragma GCC diagnostic pop
    return categoryPlaceFor(systemVersion(), version.dwMajorVersion, version.dwMinorVersion, tc(version.szCSDVersion));
}

void writeCategory(const Text& appletFile, const Text& category) {
    switch (runningCategoryPlace()) {
    case CategoryPlace::XpKey: (void)regWriteString(HKEY_LOCAL_MACHINE, kXpCategoryKey, appletFile, category); break;
    case CategoryPlace::CategoryText:
        (void)regWriteString(HKEY_LOCAL_MACHINE, kCategoryKey, appletFile, category);
        break;
    case CategoryPlace::CategoryNumber: {
        const DWORD number = static_cast<DWORD>(toInt(category));
        (void)regWriteValue(HKEY_LOCAL_MACHINE, kCategoryKey, appletFile, REG_DWORD, &number, sizeof number);
        break;
    }
    }
}

// UTF-16LE with its NUL, as the applet reads it back.
std::string textBytes(const Text& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(char16_t));
}

void writeAppletResources(const Text& appletFile, const Text& name, const ControlPanelInfo& info) noexcept {
    ResourceUpdate update(appletFile);
    if (!update.valid() || !update.put(kBinResource, kBinAppletName, textBytes(name))) return;
    if (info.description && !update.put(kBinResource, kBinAppletDescription, textBytes(*info.description))) return;
    if (info.category && !update.put(kBinResource, kBinAppletCategory, textBytes(*info.category))) return;
    (void)update.commit();
}

} // namespace

int runControlPanelActions(const CommandLineActions* actions) {
    const CommandLineActions given = actions ? *actions : CommandLineActions{};
    if (!canSetSystemTime()) {
        showSystemError(kAccessDenied);
        return 0;
    }
    bindControlPanelMethods(mainClassName());
    const ControlPanelInfo info = readControlPanelInfo();
    const LaunchContext& context = launchContext();
    Text appletFile = context.launcherDirectory + u"\\" + context.baseName + u".cpl";
    if (appletFile.size() > 1023) appletFile.resize(1023);
    const Text name = info.name ? *info.name : context.baseName;

    if (regReadText(HKEY_LOCAL_MACHINE, kCplsKey, name)) {
        if (given[kDeleteCpl] || (!given[kInstallCpl] && askControlPanel(kCplIsDelete, kMessageDeleteApplet))) {
            (void)regDeleteValue(HKEY_LOCAL_MACHINE, kCplsKey, name);
            (void)regDeleteValue(HKEY_LOCAL_MACHINE, kXpCategoryKey, appletFile);
            (void)regDeleteValue(HKEY_LOCAL_MACHINE, kCategoryKey, appletFile);
        }
        return 0;
    }
    if (!given[kInstallCpl] && (given[kDeleteCpl] || !askControlPanel(kCplIsCreate, kMessageInstallApplet))) return 0;
    if (!regWriteString(HKEY_LOCAL_MACHINE, kCplsKey, name, appletFile)) return 0;
    if (info.category) writeCategory(appletFile, *info.category);
    writeAppletResources(appletFile, name, info);
    return 1;
}

} // namespace tavrelo
