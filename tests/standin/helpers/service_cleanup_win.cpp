// Stops and deletes the services named on its command line: the service tests' leftovers,
// which wine would otherwise start at every boot of the test prefix. Always ends with 0.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return 0;
    for (int i = 1; i < argc; ++i) {
        SC_HANDLE service = OpenServiceW(manager, argv[i], SERVICE_ALL_ACCESS);
        if (!service) continue;
        SERVICE_STATUS status{};
        ControlService(service, SERVICE_CONTROL_STOP, &status);
        DeleteService(service);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return 0;
}
