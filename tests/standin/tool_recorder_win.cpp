// Stands in for the resource tool in the hand-over tests. Copied beside a launcher as
// Tavpack.exe, it writes the command line it was started with and its current directory, one
// per line in UTF-16LE, to "tool-record.txt" beside itself. With TAVRELO_TOOL_DELAY_MS set it
// first waits that long, so a test can tell whether the launcher waited for it.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t delay[32] = {};
    if (GetEnvironmentVariableW(L"TAVRELO_TOOL_DELAY_MS", delay, 32) > 0) Sleep(static_cast<DWORD>(_wtoi(delay)));

    wchar_t self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 2;
    std::wstring directory(self, length);
    directory.resize(directory.rfind(L'\\'));
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    const std::wstring record = std::wstring(GetCommandLineW()) + L"\n" + current;

    // Written aside and renamed, so the test never reads half a record.
    const std::wstring partial = directory + L"\\tool-record.tmp";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    DWORD written = 0;
    const DWORD bytes = static_cast<DWORD>(record.size() * sizeof(wchar_t));
    const bool ok = WriteFile(file, record.data(), bytes, &written, nullptr) && written == bytes;
    CloseHandle(file);
    if (!ok) return 4;
    return MoveFileExW(partial.c_str(), (directory + L"\\tool-record.txt").c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 5;
}
