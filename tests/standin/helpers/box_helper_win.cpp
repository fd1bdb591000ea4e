// Shows one message box and ends with the button pressed: the process the message-box
// driver's own tests watch. Arguments: style (decimal), caption, text. With "--child" first,
// it starts a copy of itself with the other arguments and ends with that copy's status, so
// that a box two processes down can be tested.
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc == 5 && std::wcscmp(argv[1], L"--child") == 0) {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring line = std::wstring(L"\"") + self + L"\" " + argv[2] + L" \"" + argv[3] + L"\" \"" + argv[4] + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) return 101;
        WaitForSingleObject(info.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return static_cast<int>(code);
    }
    if (argc != 4) return 100;
    const auto style = static_cast<UINT>(std::wcstoul(argv[1], nullptr, 10));
    return MessageBoxW(nullptr, argv[3], argv[2], style);
}
