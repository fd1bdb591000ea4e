// The setup flow of a service application started by a user, and the service's creation and
// configuration (shared with the service-control natives).
#include <windows.h>

#include "bridge/bridge.h"
#include "launcher/hand_overs.h"
#include "launcher/launcher.h"
#include "platform/messages.h"
#include "platform/win_text.h"
#include "service/service.h"
#include "service/service_manager.h"

namespace tavrelo {

namespace {

constexpr unsigned kStopWaitSlackMs = 5000;
constexpr unsigned kStopPollMs = 100;

const wchar_t* optionalText(const std::optional<Text>& text) { return text ? wc(*text) : L""; }

unsigned long successOrError(BOOL ok) {
    if (ok) return 0;
    const DWORD error = GetLastError();
    // Systems without an information level go on as if it had been stored.
    return error == ERROR_INVALID_LEVEL ? 0 : error;
}

class SetupFlow {
  public:
    SetupFlow(TextView applicationName, const CommandLineActions* actions)
        : name_(applicationName), api_(serviceManagerApi()) {
        if (actions) {
            install_ = (*actions)[kInstallService] != 0;
            delete_ = (*actions)[kDeleteService] != 0;
            start_ = (*actions)[kStartService] != 0;
            stop_ = (*actions)[kStopService] != 0;
        }
        const Text* options = configuration().get(kPersonalOptions);
        stopTimeoutMs_ = stopTimeoutFrom(options ? TextView(*options) : TextView());
    }

    int run(TextView directory) {
        const ServiceInfo info = readServiceInfo();
        ScmHandle manager(api_.openSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager) {
            showLastError();
            return 0;
        }
        manager_ = manager.get();
        const bool installed = ScmHandle(api_.openService(manager_, wc(name_), SERVICE_INTERROGATE)).valid();
        if (installed) {
            if (start_ || install_)
                startStep();
            else if (stop_)
                stopStep();
            else if (delete_ || callBooleanOrAsk(serviceMethods(), kServiceIsDelete, kMessageDeleteService))
                deleteStep();
        } else if (install_ ||
                   (!start_ && !stop_ && !delete_ &&
                    callBooleanOrAsk(serviceMethods(), kServiceIsCreate, kMessageInstallService))) {
            const unsigned long error = createService(manager_, name_, serviceCommandLine(directory, name_), info);
            if (error != 0) {
                fail(error);
            } else {
                registerCompanion(name_);
                startStep();
            }
        }
        return failed_ ? 0 : 1;
    }

  private:
    void fail(unsigned long error) {
        failed_ = true;
        showSystemError(error);
    }

    void startStep() {
        if (!start_ && !callBooleanOrAsk(serviceMethods(), kServiceIsLaunch, kMessageStartService)) return;
        ScmHandle service(api_.openService(manager_, wc(name_), SERVICE_START));
        if (!service || !api_.startService(service.get(), 0, nullptr)) fail(GetLastError());
    }

    // A stopping service may take its stop method's time: a delete or a start right after must
    // find it stopped, so the step waits while it is STOP_PENDING (the service ends itself
    // after its stop time-out at the latest).
    void stopStep() {
        ScmHandle service(api_.openService(manager_, wc(name_), SERVICE_STOP | SERVICE_QUERY_STATUS));
        SERVICE_STATUS status{};
        if (!service || !api_.controlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
            const DWORD error = GetLastError();
            if (error != ERROR_INVALID_SERVICE_CONTROL && error != ERROR_SERVICE_NOT_ACTIVE) fail(error);
            if (!service) return;
        }
        const ULONGLONG deadline = GetTickCount64() + stopTimeoutMs_ + kStopWaitSlackMs;
        while (api_.queryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_STOP_PENDING &&
               GetTickCount64() < deadline)
            Sleep(kStopPollMs);
    }

    void deleteStep() {
        stopStep();
        ScmHandle service(api_.openService(manager_, wc(name_), DELETE));
        if (!service || !api_.deleteService(service.get())) {
            fail(GetLastError());
            return;
        }
        unregisterCompanion(name_);
    }

    Text name_;
    const ServiceManagerApi& api_;
    ScHandle manager_ = nullptr;
    bool install_ = false, delete_ = false, start_ = false, stop_ = false;
    bool failed_ = false;
    unsigned stopTimeoutMs_ = kDefaultStopTimeoutMs;
};

} // namespace

int serviceSetup(TextView directory, TextView applicationName, const CommandLineActions* actions) {
    try {
        return SetupFlow(applicationName, actions).run(directory);
    } catch (...) {
        return 0;
    }
}

int runServiceActions(const CommandLineActions* actions) {
    const LaunchContext& context = launchContext();
    return serviceSetup(context.launcherDirectory, context.baseName, actions);
}

int runServiceSide(int features) {
    const LaunchContext& context = launchContext();
    if (context.serviceSubMode == kSubModeCompanion)
        return runCompanion(features, context.launcherDirectory, context.baseName);
    return runService(features, context.launcherDirectory, context.baseName);
}

unsigned long createService(void* manager, TextView serviceName, TextView commandLine, const ServiceInfo& info) {
    const ServiceManagerApi& api = serviceManagerApi();
    const Text name(serviceName);
    const Text line(commandLine);
    ScmHandle service(api.createService(static_cast<ScHandle>(manager), wc(name),
                                        info.displayName ? wc(*info.displayName) : wc(name), SERVICE_ALL_ACCESS,
                                        SERVICE_WIN32_OWN_PROCESS,
                                        info.autoStart ? SERVICE_AUTO_START : SERVICE_DEMAND_START,
                                        SERVICE_ERROR_NORMAL, wc(line), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service) return GetLastError();
    return configureService(manager, service.get(), info);
}

unsigned long applyFailureActions(void* service, const ServiceInfo& info) {
    return applyFailureActions(service, failureActions(info), failureCommand(info),
                               info.rebootMessage.value_or(Text()), info.resetPeriod);
}

unsigned long applyFailureActions(void* service, const std::vector<FailureAction>& actions, TextView command,
                                  TextView rebootMessage, int resetPeriod) {
    const ServiceManagerApi& api = serviceManagerApi();
    std::vector<SC_ACTION> records;
    bool reboot = false;
    for (const FailureAction& action : actions) {
        records.push_back({static_cast<SC_ACTION_TYPE>(action.type), action.delayMs});
        reboot = reboot || action.type == kFailureReboot;
    }
    // The manager refuses to store a REBOOT action for a process that cannot shut the system down.
    if (reboot) (void)api.enableShutdownPrivilege();
    Text commandText(command);
    Text message(rebootMessage);
    SC_ACTION none{};
    SERVICE_FAILURE_ACTIONSW record{};
    record.dwResetPeriod = resetPeriod < 0 ? INFINITE : static_cast<DWORD>(resetPeriod);
    record.lpRebootMsg = const_cast<wchar_t*>(wc(message));
    record.lpCommand = const_cast<wchar_t*>(wc(commandText));
    record.cActions = static_cast<DWORD>(records.size());
    record.lpsaActions = records.empty() ? &none : records.data();
    return successOrError(api.changeServiceConfig2(static_cast<ScHandle>(service), SERVICE_CONFIG_FAILURE_ACTIONS,
                                                   &record));
}

unsigned long configureService(void* manager, void* service, const ServiceInfo& info) {
    const ServiceManagerApi& api = serviceManagerApi();
    const auto handle = static_cast<ScHandle>(service);
    void* lock = api.lockServiceDatabase(static_cast<ScHandle>(manager));
    if (!lock) return GetLastError();
    unsigned long error = 0;
    if (info.description) {
        SERVICE_DESCRIPTIONW description{const_cast<wchar_t*>(optionalText(info.description))};
        error = successOrError(api.changeServiceConfig2(handle, SERVICE_CONFIG_DESCRIPTION, &description));
    }
    const Text dependencies = dependencyList(info.dependencies);
    if (error == 0 && !dependencies.empty()) {
        error = successOrError(api.changeServiceConfig(handle, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE,
                                                       nullptr, nullptr, nullptr, wc(dependencies), nullptr, nullptr,
                                                       nullptr));
        if (error != 0) {
            api.unlockServiceDatabase(lock);
            return error;
        }
    }
    if (!failureActions(info).empty()) {
        if (const unsigned long failure = applyFailureActions(service, info); failure != 0) {
            api.unlockServiceDatabase(lock);
            return failure;
        }
    }
    SERVICE_DELAYED_AUTO_START_INFO delayed{info.delayedStart ? TRUE : FALSE};
    const unsigned long delayedError =
        successOrError(api.changeServiceConfig2(handle, SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &delayed));
    if (error == 0) error = delayedError;
    api.unlockServiceDatabase(lock);
    return error;
}

} // namespace tavrelo
