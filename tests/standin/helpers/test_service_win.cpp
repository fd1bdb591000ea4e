// A small Windows service for the service-control tests: it accepts stop, pause and continue and
// reports each state at once. With an argument, it writes its process id into that file.
#include <windows.h>

#include <cstdio>

namespace {

SERVICE_STATUS_HANDLE handle = nullptr;
SERVICE_STATUS status{
    SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE, 0, 0, 0, 0};

DWORD WINAPI control(DWORD code, DWORD, void*, void*) {
    switch (code) {
    case SERVICE_CONTROL_STOP:
        status.dwCurrentState = SERVICE_STOPPED;
        break;
    case SERVICE_CONTROL_PAUSE:
        status.dwCurrentState = SERVICE_PAUSED;
        break;
    case SERVICE_CONTROL_CONTINUE:
        status.dwCurrentState = SERVICE_RUNNING;
        break;
    default:
        break;
    }
    SetServiceStatus(handle, &status);
    return NO_ERROR;
}

void WINAPI serviceMain(DWORD, wchar_t** arguments) {
    handle = RegisterServiceCtrlHandlerExW(arguments[0], control, nullptr);
    SetServiceStatus(handle, &status);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1)
        if (FILE* file = _wfopen(argv[1], L"w")) {
            std::fprintf(file, "%lu", GetCurrentProcessId());
            std::fclose(file);
        }
    wchar_t name[] = L"";
    const SERVICE_TABLE_ENTRYW table[] = {{name, serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
