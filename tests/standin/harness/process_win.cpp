#include <windows.h>
#include <tlhelp32.h>

#include "harness/box_driver.h"
#include "harness/process.h"
#include "platform/handles.h"
#include "platform/os.h"
#include "platform/win_text.h"

namespace tavrelo::standin::test {

namespace {

HANDLE inheritableFile(const Text& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
    return CreateFileW(wc(path), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &security, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Ends what the program started too, so that a hung child does not outlive the test.
void endFamily(unsigned long root) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == root && entry.th32ProcessID != root) {
            endFamily(entry.th32ProcessID);
            if (HANDLE child = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
                TerminateProcess(child, 1);
                CloseHandle(child);
            }
        }
    CloseHandle(snapshot);
}

} // namespace

ProcessResult runProcess(TextView program, TextView arguments, TextView directory, unsigned timeoutMs,
                         BoxDriver* driver) {
    ProcessResult result;
    static long counter = 0;
    const Text base = os::tempDirectory() + u"\\tavrelo-run-" + fromInt(static_cast<long long>(GetCurrentProcessId())) +
                      u"-" + fromInt(InterlockedIncrement(&counter));
    const Text outPath = base + u".out", errPath = base + u".err";
    {
        FileHandle in(inheritableFile(u"NUL", GENERIC_READ, OPEN_EXISTING));
        FileHandle out(inheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS));
        FileHandle err(inheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in.get();
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        Text commandLine = u"\"" + Text(program) + u"\"";
        if (!arguments.empty()) commandLine += u" " + Text(arguments);
        PROCESS_INFORMATION info{};
        const Text dir(directory);
        if (!CreateProcessW(wc(Text(program)), wc(commandLine.data()), nullptr, nullptr, TRUE,
                            CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, dir.empty() ? nullptr : wc(dir), &startup,
                            &info))
            return result;
        KernelHandle process(info.hProcess), thread(info.hThread);
        result.started = true;
        if (driver) driver->watch(info.dwProcessId);
        ResumeThread(thread.get());
        if (WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) {
            result.timedOut = true;
            endFamily(info.dwProcessId);
            TerminateProcess(process.get(), 259);
            WaitForSingleObject(process.get(), 5000);
        }
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        result.exitCode = code;
    }
    (void)os::readFile(outPath, result.out);
    (void)os::readFile(errPath, result.err);
    (void)os::deleteFile(outPath);
    (void)os::deleteFile(errPath);
    return result;
}

} // namespace tavrelo::standin::test
