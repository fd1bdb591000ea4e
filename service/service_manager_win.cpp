#include <windows.h>

#include "platform/handles.h"
#include "platform/system.h"
#include "platform/win_text.h"
#include "service/service_manager.h"

namespace tavrelo {

namespace {

// Stand-ins for functions the system lacks: each fails as the callers expect a failure.
template <class Result, class... Arguments> Result TAVRELO_SCM_CALL missing(Arguments...) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return Result{};
}

template <class Function, class Result, class... Arguments>
void resolve(Function& slot, const char* name, Result (TAVRELO_SCM_CALL*)(Arguments...)) {
    if (void* address = loadFunction(u"advapi32.dll", name))
        slot = reinterpret_cast<Function>(address);
    else
        slot = &missing<Result, Arguments...>;
}
template <class Function> void resolve(Function& slot, const char* name) { resolve(slot, name, Function{}); }

void reportToEventLog(TextView source, TextView text, bool warning) noexcept {
    HANDLE log = RegisterEventSourceW(nullptr, wc(Text(source)));
    if (!log) return;
    const Text line(text);
    const wchar_t* strings[] = {wc(line)};
    ReportEventW(log, warning ? EVENTLOG_WARNING_TYPE : EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, strings,
                 nullptr);
    DeregisterEventSource(log);
}

ServiceManagerApi resolveAll() {
    ServiceManagerApi api{};
    resolve(api.openSCManager, "OpenSCManagerW");
    resolve(api.openService, "OpenServiceW");
    resolve(api.createService, "CreateServiceW");
    resolve(api.closeServiceHandle, "CloseServiceHandle");
    resolve(api.controlService, "ControlService");
    resolve(api.deleteService, "DeleteService");
    resolve(api.startService, "StartServiceW");
    resolve(api.lockServiceDatabase, "LockServiceDatabase");
    resolve(api.unlockServiceDatabase, "UnlockServiceDatabase");
    resolve(api.changeServiceConfig, "ChangeServiceConfigW");
    resolve(api.changeServiceConfig2, "ChangeServiceConfig2W");
    resolve(api.queryServiceStatus, "QueryServiceStatus");
    resolve(api.queryServiceStatusEx, "QueryServiceStatusEx");
    resolve(api.queryServiceConfig, "QueryServiceConfigW");
    resolve(api.queryServiceConfig2, "QueryServiceConfig2W");
    resolve(api.enumServicesStatus, "EnumServicesStatusW");
    resolve(api.enumDependentServices, "EnumDependentServicesW");
    resolve(api.getServiceKeyName, "GetServiceKeyNameW");
    resolve(api.getServiceDisplayName, "GetServiceDisplayNameW");
    resolve(api.registerServiceCtrlHandler, "RegisterServiceCtrlHandlerW");
    resolve(api.setServiceStatus, "SetServiceStatus");
    resolve(api.startServiceCtrlDispatcher, "StartServiceCtrlDispatcherW");
    api.enableShutdownPrivilege = &tavrelo::enableShutdownPrivilege;
    api.reportEvent = &reportToEventLog;
    return api;
}

ServiceManagerApi& resolvedTable() noexcept {
    static ServiceManagerApi table = resolveAll(); // resolved once, on the first call of any thread
    return table;
}

} // namespace

const ServiceManagerApi& serviceManagerApi() noexcept { return resolvedTable(); }

ServiceManagerApi replaceServiceManagerApi(const ServiceManagerApi& api) noexcept {
    ServiceManagerApi& current = resolvedTable();
    const ServiceManagerApi old = current;
    current = api;
    return old;
}

void ScHandlePolicy::close(Type handle) noexcept {
    const DWORD error = GetLastError();
    serviceManagerApi().closeServiceHandle(handle);
    SetLastError(error);
}

} // namespace tavrelo
