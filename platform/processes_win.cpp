#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include "platform/handles.h"
#include "platform/os.h"
#include "platform/system.h"
#include "platform/win_text.h"

namespace tavrelo {

bool isProcessRunning(void* process) noexcept {
    DWORD code = 0;
    return process && GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
}

void waitForProcess(void* process, WaitCondition condition, void* context) noexcept {
    KernelHandle owned(process);
    while (!os::launcherEnding()) {
        if (!isProcessRunning(owned.get())) break;
        if (condition && !condition(context)) break;
        Sleep(500);
    }
}

void waitForRequester(unsigned long processId) noexcept {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (process) waitForProcess(process);
}

bool forEachProcess(ProcessVisitor visit, void* context) noexcept {
    KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid() || snapshot.get() == INVALID_HANDLE_VALUE) {
        (void)snapshot.release();
        return false;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry; // 568 bytes
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (!visit(entry.th32ProcessID, entry.th32ParentProcessID, tc(entry.szExeFile), context)) break;
    }
    return true;
}

unsigned long winlogonProcessId() noexcept {
    unsigned long found = 0;
    forEachProcess(
        [](unsigned long id, unsigned long, TextView name, void* context) {
            if (!equalsIgnoreCase(name, u"winlogon.exe")) return true;
            *static_cast<unsigned long*>(context) = id;
            return false;
        },
        &found);
    return found;
}

bool canSetSystemTime() noexcept {
    // Windows broadcasts every time set to all programs: decided once, the answer cannot change
    // within a process anyway.
    static const bool allowed = [] {
        SYSTEMTIME now;
        GetLocalTime(&now);
        return SetLocalTime(&now) != 0;
    }();
    return allowed;
}

namespace {

bool execute(TextView verb, TextView file, TextView parameters, TextView directory, void** process,
             bool quiet) noexcept {
    try {
        const Text verbText(verb), fileText(file), parameterText(parameters), directoryText(directory);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info; // 112 bytes on 64-bit
        info.fMask = (process ? SEE_MASK_NOCLOSEPROCESS : 0) | (quiet ? SEE_MASK_FLAG_NO_UI : 0);
        info.lpVerb = wc(verbText);
        info.lpFile = wc(fileText);
        info.lpParameters = parameterText.empty() ? nullptr : wc(parameterText);
        info.lpDirectory = directoryText.empty() ? nullptr : wc(directoryText);
        info.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&info)) return false;
        if (process) *process = info.hProcess;
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

bool shellExecute(TextView verb, TextView file, TextView parameters, TextView directory, void** process) noexcept {
    return execute(verb, file, parameters, directory, process, false);
}

bool shellExecuteElevated(TextView file, TextView parameters, TextView directory, void** process) noexcept {
    // The caller reports the failure (a declined prompt, a missing program): the shell shows none.
    return execute(canSetSystemTime() ? u"open" : u"runas", file, parameters, directory, process, true);
}

} // namespace tavrelo
