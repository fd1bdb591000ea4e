#include <windows.h>

#include "platform/os.h"
#include "platform/win_text.h"
#include "test_programs.h"

namespace tavrelo::test {

Text builtFile(TextView relative) {
    // The test programs live in the tree's "tests" directory.
    Text root = os::moduleFileName(nullptr);
    for (int level = 0; level < 2; ++level) {
        const std::size_t cut = root.rfind(u'\\');
        if (cut == Text::npos) return {};
        root.resize(cut);
    }
    const Text file = root + u"\\" + Text(relative);
    return os::pathExists(file) ? file : Text();
}

bool copyFile(TextView from, TextView to) { return CopyFileW(wc(cstr(from)), wc(cstr(to)), FALSE) != 0; }

ProgramRun runProgram(TextView program, TextView arguments, TextView directory, unsigned timeoutMs) {
    ProgramRun run;
    Text commandLine = u"\"" + Text(program) + u"\"";
    if (!arguments.empty()) commandLine += u" " + Text(arguments);
    const Text path(program), where(directory);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(wc(path), wc(commandLine.data()), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        where.empty() ? nullptr : wc(where), &startup, &info))
        return run;
    run.started = true;
    CloseHandle(info.hThread);
    run.finished = WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!run.finished) {
        TerminateProcess(info.hProcess, 99);
        WaitForSingleObject(info.hProcess, 5000);
    }
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    run.exitCode = code;
    CloseHandle(info.hProcess);
    return run;
}

} // namespace tavrelo::test
