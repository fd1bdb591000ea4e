#include <windows.h>

#include "launcher/class_data_archive.h"
#include "platform/handles.h"
#include "platform/win_text.h"

namespace tavrelo {

namespace {

// One argument as the runtime's programs read their command line back into a list.
void appendArgument(Text& line, const Text& argument) {
    if (!line.empty()) line += u' ';
    if (!argument.empty() && argument.find_first_of(u" \t\n\v\"") == Text::npos) {
        line += argument;
        return;
    }
    line += u'"';
    for (std::size_t i = 0;; ++i) {
        std::size_t backslashes = 0;
        for (; i < argument.size() && argument[i] == u'\\'; ++i) ++backslashes;
        if (i == argument.size()) {
            line.append(backslashes * 2, u'\\');
            break;
        }
        line.append(argument[i] == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
        line += argument[i];
    }
    line += u'"';
}

// Starts a program without a window or inherited handles: its process, or none.
KernelHandle start(TextView program, const std::vector<Text>& arguments, DWORD flags) {
    Text line;
    appendArgument(line, Text(program));
    for (const Text& argument : arguments) appendArgument(line, argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(wc(Text(program)), const_cast<wchar_t*>(wc(line)), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | flags, nullptr, nullptr, &startup, &process))
        return {};
    CloseHandle(process.hThread);
    return KernelHandle(process.hProcess);
}

} // namespace

bool startArchiveWriter(TextView launcher, TextView request) noexcept {
    try {
        // The writer inherits this environment; the variable is this process's only while it starts.
        if (!SetEnvironmentVariableW(wc(kClassDataRequestVariable), wc(Text(request)))) return false;
        const KernelHandle process = start(launcher, {}, CREATE_NEW_PROCESS_GROUP | BELOW_NORMAL_PRIORITY_CLASS);
        SetEnvironmentVariableW(wc(kClassDataRequestVariable), nullptr);
        return process.valid();
    } catch (...) {
        return false;
    }
}

int runAndWait(TextView program, const std::vector<Text>& arguments) noexcept {
    try {
        const KernelHandle process = start(program, arguments, 0);
        DWORD status = 0;
        const bool ended = process && WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0 &&
                           GetExitCodeProcess(process.get(), &status);
        return ended ? static_cast<int>(status) : -1;
    } catch (...) {
        return -1;
    }
}

void lowerPriority() noexcept { SetPriorityClass(GetCurrentProcess(), BELOW_NORMAL_PRIORITY_CLASS); }

} // namespace tavrelo
