// Stands in for the system's desk.cpl, which wine lacks: rundll32 finds this one in its working
// directory, and its InstallScreenSaverW writes the line it was given to "desk-record.txt" there.
#include <windows.h>

extern "C" __declspec(dllexport) void CALLBACK InstallScreenSaverW(HWND, HINSTANCE, LPWSTR line, int) {
    HANDLE file = CreateFileW(L"desk-record.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(lstrlenW(line) * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}
