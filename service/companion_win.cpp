// The service's user-interface companion: one process per user session, started with
// "-startServiceUI" at installation and at each logon through a Run value, showing the tray
// icon and exchanging the application's objects with the service.
#include <windows.h>

#include "bridge/bridge.h"
#include "desktop/desktop.h"
#include "ipc/pipes.h"
#include "launcher/hand_overs.h"
#include "launcher/java_runtime.h"
#include "launcher/launcher.h"
#include "platform/handles.h"
#include "platform/messages.h"
#include "platform/os.h"
#include "platform/system.h"
#include "platform/registry.h"
#include "platform/win_text.h"
#include "service/service.h"
#include "service/service_manager.h"
#include "service/service_pump.h"

namespace tavrelo {

namespace {

constexpr std::size_t kRunCommandLimit = 4096;
constexpr unsigned kWatchPeriodMs = 3000;
constexpr unsigned kSettleMs = 1000;

FeatureInterface noServiceFeature{1, "TaskbarManagement"};

enum class ServicePresence { Present, Missing, ManagerUnreachable, Unknown };

// Whether the service exists, as the companion may ask: connect and enumerate rights only.
ServicePresence testService(TextView name) {
    const ServiceManagerApi& api = serviceManagerApi();
    ScmHandle manager(api.openSCManager(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager) {
        showLastError();
        return ServicePresence::ManagerUnreachable;
    }
    ScmHandle service(api.openService(manager.get(), wc(Text(name)), SERVICE_QUERY_STATUS));
    if (service) return ServicePresence::Present;
    return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? ServicePresence::Missing : ServicePresence::Unknown;
}

// Ends the companion once its service is gone. Only a service that no longer exists takes the
// Run value with it: a refusal or a busy manager says nothing about the installation.
void serviceWatch(void*) {
    const Text name = launchContext().baseName;
    for (;;) {
        Sleep(kWatchPeriodMs);
        if (os::launcherEnding()) break;
        const ServicePresence presence = testService(name);
        if (presence == ServicePresence::Present) continue;
        if (presence == ServicePresence::Missing) unregisterCompanion(name);
        exitJava();
        break;
    }
    releaseJavaThread();
}

void reAddTrayIcon() { markIconHidden(); }

Text runCommand() {
    Text command = u"\"" + launchContext().longFileName + u"\" -startServiceUI";
    if (command.size() > kRunCommandLimit - 1) command.resize(kRunCommandLimit - 1);
    return command;
}

// An elevated setup would start the companion elevated in the user's session: the companion is
// started with the desktop shell's token instead, or not at all (the Run value starts it at
// the next logon).
bool processIsFullyElevated() {
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return false;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &size)) return false;
    return type == TokenElevationTypeFull;
}

using CreateWithToken = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW,
                                      LPPROCESS_INFORMATION);

bool startWithShellToken(Text& command, STARTUPINFOW& startup, PROCESS_INFORMATION& started) {
    const HWND shell = GetShellWindow();
    if (!shell) return false;
    DWORD shellProcessId = 0;
    GetWindowThreadProcessId(shell, &shellProcessId);
    KernelHandle shellProcess(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, shellProcessId));
    if (!shellProcess) return false;
    KernelHandle shellToken;
    if (!OpenProcessToken(shellProcess.get(), TOKEN_DUPLICATE, shellToken.receive())) return false;
    KernelHandle token;
    if (!DuplicateTokenEx(shellToken.get(), TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT |
                                                TOKEN_ADJUST_SESSIONID,
                          nullptr, SecurityImpersonation, TokenPrimary, token.receive()))
        return false;
    if (CreateProcessAsUserW(token.get(), nullptr, const_cast<wchar_t*>(wc(command)), nullptr, nullptr, FALSE,
                             NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &started))
        return true;
    // Administrators lack the right to assign a primary token; this one asks for impersonation
    // rights they have.
    const auto withToken = reinterpret_cast<CreateWithToken>(loadFunction(u"advapi32.dll", "CreateProcessWithTokenW"));
    return withToken && withToken(token.get(), 0, nullptr, const_cast<wchar_t*>(wc(command)), NORMAL_PRIORITY_CLASS,
                                  nullptr, nullptr, &startup, &started);
}

void startCompanionProcess() {
    Text command = runCommand();
    wchar_t desktop[] = L"WinSta0\\Default";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop;
    PROCESS_INFORMATION started{};
    const bool ok = processIsFullyElevated()
                        ? startWithShellToken(command, startup, started)
                        : CreateProcessW(nullptr, const_cast<wchar_t*>(wc(command)), nullptr, nullptr, FALSE,
                                         NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &started) != FALSE;
    if (!ok) return;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
}

} // namespace

void registerCompanion(TextView serviceName) {
    if (!hasCompanion()) return;
    const Text valueName = companionRunValueName(serviceName);
    (void)deleteUserRunEntry(valueName);
    (void)setUserRunEntry(valueName, runCommand());
    startCompanionProcess();
}

void unregisterCompanion(TextView serviceName) {
    if (!hasCompanion()) return;
    (void)deleteUserRunEntry(companionRunValueName(serviceName));
}

int runCompanion(int desktopFeatureSet, TextView directory, TextView applicationName) {
    // One companion per service in a session: a second one (a logon's Run value while the
    // installer's companion runs) ends before it shows anything.
    KernelHandle mutex(CreateMutexW(nullptr, TRUE, wc(companionMutexName(applicationName))));
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
        shutdownJavaVm(true);
        return 1;
    }
    if (testService(applicationName) != ServicePresence::Present) {
        (void)bindMethod(noServiceFeature, mainClassName().c_str(), 0, "taskErrorNoService", "()V");
        callVoid(noServiceFeature, 0);
        shutdownJavaVm(true);
        return 1;
    }
    (void)startCompanionPump(directory, applicationName);
    PipeProcessHooks hooks = pipeProcessHooks();
    hooks.reAddTrayIcon = reAddTrayIcon;
    setPipeProcessHooks(hooks);
    // Without the watch the companion ends with its application or on the service's quit.
    (void)startPipeThread(serviceWatch, nullptr);
    startDesktopThread(desktopFeatureSet, mainClassName());
    Sleep(kSettleMs);
    // The companion lives as long as its application's threads (the tray's, the windows the pump's
    // methods open) or until the service's quit ends it.
    while (!os::launcherEnding() && isApplicationAlive(true)) Sleep(kSettleMs);
    shutdownJavaVm(true);
    return 1;
}

} // namespace tavrelo
