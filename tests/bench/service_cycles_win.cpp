// The service benchmark's driver (scripts/bench-service.sh), run under wine:
//   service_cycles.exe <directory> <application name> <cycles>
// Each cycle installs and starts the service with the console launcher, stops it through the
// service manager and deletes it with the console launcher, timing each step until the manager
// shows its outcome. Prints the step times, failures, hangs, leftovers and the service
// process's kernel handles (the stand-in's "handles" lines) of the first and last cycle.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kStepLimitMs = 60000;

struct Counts {
    int failures = 0;
    int hangs = 0;
};

DWORD stateOf(const std::wstring& name) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceW(manager, name.c_str(), SERVICE_QUERY_STATUS) : nullptr;
    SERVICE_STATUS status{};
    const DWORD state = service && QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
    if (service) CloseServiceHandle(service);
    if (manager) CloseServiceHandle(manager);
    return state;
}

// Waits until the state is `state` (0: the service is gone); false after the limit.
bool waitFor(const std::wstring& name, DWORD state, DWORD limitMs) {
    const ULONGLONG end = GetTickCount64() + limitMs;
    while (stateOf(name) != state)
        if (GetTickCount64() > end) return false;
        else Sleep(20);
    return true;
}

// Runs a launcher; false when it did not end within the limit (it is ended) or failed to start.
bool run(const std::wstring& program, const std::wstring& arguments, Counts& counts) {
    std::wstring line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &started)) {
        ++counts.failures;
        return false;
    }
    CloseHandle(started.hThread);
    const bool ended = WaitForSingleObject(started.hProcess, kStepLimitMs) == WAIT_OBJECT_0;
    if (!ended) {
        ++counts.hangs;
        TerminateProcess(started.hProcess, 1);
    }
    CloseHandle(started.hProcess);
    return ended;
}

int processesNamed(const std::wstring& exe) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, exe.c_str()) == 0) ++count;
    CloseHandle(snapshot);
    return count;
}

void report(const char* step, std::vector<double> times) {
    if (times.empty()) {
        std::printf("%-14s no successful step\n", step);
        return;
    }
    std::sort(times.begin(), times.end());
    std::printf("%-14s median %6.0f ms   worst %6.0f ms   (%zu steps)\n", step, times[times.size() / 2], times.back(),
                times.size());
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: service_cycles <directory> <application name> <cycles>\n");
        return 2;
    }
    const std::wstring directory = argv[1];
    const std::wstring name = argv[2];
    const int cycles = _wtoi(argv[3]);
    const std::wstring console = directory + L"\\" + name + L"_console.exe";
    Counts counts;
    std::vector<double> installs, stops, deletes;

    for (int cycle = 1; cycle <= cycles; ++cycle) {
        ULONGLONG start = GetTickCount64();
        if (!run(console, L"-installService -startService", counts)) continue;
        if (!waitFor(name, SERVICE_RUNNING, 15000)) {
            ++counts.failures;
            run(console, L"-deleteService", counts);
            continue;
        }
        installs.push_back(static_cast<double>(GetTickCount64() - start));

        start = GetTickCount64();
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE service = OpenServiceW(manager, name.c_str(), SERVICE_STOP);
        SERVICE_STATUS status{};
        if (!ControlService(service, SERVICE_CONTROL_STOP, &status)) ++counts.failures;
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        if (waitFor(name, SERVICE_STOPPED, 40000))
            stops.push_back(static_cast<double>(GetTickCount64() - start));
        else
            ++counts.hangs;

        start = GetTickCount64();
        if (run(console, L"-deleteService", counts) && waitFor(name, 0, 10000))
            deletes.push_back(static_cast<double>(GetTickCount64() - start));
        else
            ++counts.failures;
    }
    Sleep(2000); // the last service process's own end
    const int leftovers = (stateOf(name) != 0 ? 1 : 0) + processesNamed(name + L".exe");

    std::printf("service cycles: %d\n", cycles);
    report("install+start", installs);
    report("stop", stops);
    report("delete", deletes);
    std::printf("failures %d   hangs %d   leftovers %d\n", counts.failures, counts.hangs, leftovers);

    std::vector<std::string> handles;
    if (std::FILE* log = _wfopen((directory + L"\\jre\\standin.log").c_str(), L"rb")) {
        char buffer[4096];
        while (std::fgets(buffer, sizeof buffer, log)) {
            std::string line(buffer);
            line.erase(line.find_last_not_of("\r\n") + 1);
            if (const auto at = line.find(" handles "); at != std::string::npos) handles.push_back(line.substr(at + 9));
        }
        std::fclose(log);
    }
    if (handles.empty())
        std::printf("service process handles: not logged\n");
    else
        std::printf("service process handles at stop: cycle 1: %s   cycle %d: %s\n", handles.front().c_str(), cycles,
                    handles.back().c_str());
    return counts.failures + counts.hangs + leftovers == 0 ? 0 : 1;
}
