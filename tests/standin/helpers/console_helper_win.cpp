// Presses Ctrl+C in a console for a program under test: starts the program in a console of its
// own that this helper shares, waits until a file holds a given text, then sends CTRL_C_EVENT to
// every process of the console (itself excepted).
// Arguments: the file, the text, the program, then the program's command-line arguments.
// Exit status: the program's, or 10 and up when a step failed (20: the text never came, 21: the
// program did not end within 30 s after the event; it is ended then).
#include <windows.h>

#include <string>

namespace {

std::string fileText(const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    CloseHandle(file);
    return text;
}

std::string narrow(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 10;
    // A console of our own: the one the test started us with (if any) is not ours to signal.
    FreeConsole();
    if (!AllocConsole()) return 11;
    std::wstring commandLine = L"\"" + std::wstring(argv[3]) + L"\"";
    for (int i = 4; i < argc; ++i) commandLine += L" " + std::wstring(argv[i]);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(argv[3], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return 12;
    CloseHandle(process.hThread);
    // Set after the start: a child would inherit the ignoring of Ctrl+C.
    SetConsoleCtrlHandler(nullptr, TRUE);
    const std::string wanted = narrow(argv[2]);
    bool seen = false;
    for (int waited = 0; waited < 30000 && !seen; waited += 50) {
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
        seen = fileText(argv[1]).find(wanted) != std::string::npos;
    }
    DWORD status = 20;
    if (seen && GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &status);
        else status = 21;
    }
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}
