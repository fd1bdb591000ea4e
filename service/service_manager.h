// The service manager's functions, resolved once by name from advapi32.dll into one table that
// every service operation calls through (Windows builds only). A function the system lacks
// fails cleanly with ERROR_PROC_NOT_FOUND. Tests replace entries in process to record what
// would change the machine, or to answer as another system would.
#pragma once

#include "platform/handle.h"
#include "platform/text.h"

struct SC_HANDLE__;
struct SERVICE_STATUS_HANDLE__;
struct _SERVICE_STATUS;
struct _SERVICE_TABLE_ENTRYW;

namespace tavrelo {

#if defined(_WIN32) && !defined(_WIN64)
#define TAVRELO_SCM_CALL __stdcall
#else
#define TAVRELO_SCM_CALL
#endif

using ScHandle = SC_HANDLE__*;
using ServiceStatusHandle = SERVICE_STATUS_HANDLE__*;
using ServiceControlHandler = void(TAVRELO_SCM_CALL*)(unsigned long control);

// Win32 types spelt without <windows.h>: BOOL int, DWORD unsigned long, LPCWSTR const wchar_t*.
struct ServiceManagerApi {
    ScHandle(TAVRELO_SCM_CALL* openSCManager)(const wchar_t* machine, const wchar_t* database, unsigned long access);
    ScHandle(TAVRELO_SCM_CALL* openService)(ScHandle manager, const wchar_t* name, unsigned long access);
    ScHandle(TAVRELO_SCM_CALL* createService)(ScHandle manager, const wchar_t* name, const wchar_t* displayName,
                                              unsigned long access, unsigned long type, unsigned long startType,
                                              unsigned long errorControl, const wchar_t* binaryPath,
                                              const wchar_t* group, unsigned long* tag, const wchar_t* dependencies,
                                              const wchar_t* account, const wchar_t* password);
    int(TAVRELO_SCM_CALL* closeServiceHandle)(ScHandle handle);
    int(TAVRELO_SCM_CALL* controlService)(ScHandle service, unsigned long control, _SERVICE_STATUS* status);
    int(TAVRELO_SCM_CALL* deleteService)(ScHandle service);
    int(TAVRELO_SCM_CALL* startService)(ScHandle service, unsigned long count, const wchar_t** arguments);
    void*(TAVRELO_SCM_CALL* lockServiceDatabase)(ScHandle manager);
    int(TAVRELO_SCM_CALL* unlockServiceDatabase)(void* lock);
    int(TAVRELO_SCM_CALL* changeServiceConfig)(ScHandle service, unsigned long type, unsigned long startType,
                                               unsigned long errorControl, const wchar_t* binaryPath,
                                               const wchar_t* group, unsigned long* tag,
                                               const wchar_t* dependencies, const wchar_t* account,
                                               const wchar_t* password, const wchar_t* displayName);
    int(TAVRELO_SCM_CALL* changeServiceConfig2)(ScHandle service, unsigned long level, void* information);
    int(TAVRELO_SCM_CALL* queryServiceStatus)(ScHandle service, _SERVICE_STATUS* status);
    // The queries and listings of the service-control natives; `level` and `infoLevel` are the
    // SC_STATUS_TYPE and SERVICE_CONFIG_* numbers, buffers are the Win32 records.
    int(TAVRELO_SCM_CALL* queryServiceStatusEx)(ScHandle service, int infoLevel, unsigned char* buffer,
                                                unsigned long size, unsigned long* needed);
    int(TAVRELO_SCM_CALL* queryServiceConfig)(ScHandle service, void* buffer, unsigned long size,
                                              unsigned long* needed);
    int(TAVRELO_SCM_CALL* queryServiceConfig2)(ScHandle service, unsigned long level, unsigned char* buffer,
                                               unsigned long size, unsigned long* needed);
    int(TAVRELO_SCM_CALL* enumServicesStatus)(ScHandle manager, unsigned long type, unsigned long state,
                                              void* buffer, unsigned long size, unsigned long* needed,
                                              unsigned long* returned, unsigned long* resume);
    int(TAVRELO_SCM_CALL* enumDependentServices)(ScHandle service, unsigned long state, void* buffer,
                                                 unsigned long size, unsigned long* needed, unsigned long* returned);
    int(TAVRELO_SCM_CALL* getServiceKeyName)(ScHandle manager, const wchar_t* displayName, wchar_t* buffer,
                                             unsigned long* size);
    int(TAVRELO_SCM_CALL* getServiceDisplayName)(ScHandle manager, const wchar_t* name, wchar_t* buffer,
                                                 unsigned long* size);
    ServiceStatusHandle(TAVRELO_SCM_CALL* registerServiceCtrlHandler)(const wchar_t* name,
                                                                      ServiceControlHandler handler);
    int(TAVRELO_SCM_CALL* setServiceStatus)(ServiceStatusHandle handle, _SERVICE_STATUS* status);
    int(TAVRELO_SCM_CALL* startServiceCtrlDispatcher)(const _SERVICE_TABLE_ENTRYW* table);
    // Not the service manager's, but changes the machine with it: enabling "SeShutdownPrivilege"
    // before a REBOOT action is stored.
    bool (*enableShutdownPrivilege)() noexcept;
    // A line in the Application event log (warning when `warning`, else information).
    void (*reportEvent)(TextView source, TextView text, bool warning) noexcept;
};

// The table in use; resolved on the first call (thread-safe).
[[nodiscard]] const ServiceManagerApi& serviceManagerApi() noexcept;
// Replaces the table (tests); returns the one it replaces. Not while service threads run.
ServiceManagerApi replaceServiceManagerApi(const ServiceManagerApi& api) noexcept;

// A service-manager handle closed through the table.
struct ScHandlePolicy {
    using Type = ScHandle;
    static constexpr Type invalid() noexcept { return nullptr; }
    static void close(Type handle) noexcept;
};
using ScmHandle = UniqueHandle<ScHandlePolicy>;

} // namespace tavrelo
