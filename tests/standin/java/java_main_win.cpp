// bin\java.exe of the stand-in runtime. The launcher reads its version resource, and runs it to
// write a class-data archive from a class list ("-Xshare:dump"): it writes a small file that
// begins as a real archive does, and fails as a real one would without a list. Run otherwise it
// says what it is.
#include <windows.h>

#include <string>

namespace {

std::wstring valueOf(int count, wchar_t** arguments, const std::wstring& prefix) {
    for (int i = 1; i < count; ++i)
        if (std::wstring(arguments[i]).rfind(prefix, 0) == 0) return std::wstring(arguments[i]).substr(prefix.size());
    return {};
}

int dump(int count, wchar_t** arguments) {
    const std::wstring list = valueOf(count, arguments, L"-XX:SharedClassListFile=");
    const std::wstring archive = valueOf(count, arguments, L"-XX:SharedArchiveFile=");
    WIN32_FILE_ATTRIBUTE_DATA listed{};
    if (list.empty() || archive.empty() || !GetFileAttributesExW(list.c_str(), GetFileExInfoStandard, &listed) ||
        listed.nFileSizeLow == 0)
        return 1;
    const HANDLE file = CreateFileW(archive.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    const char bytes[] = "\xa2\xab\x0b\xf0 stand-in class data";
    DWORD written = 0;
    const bool wrote = WriteFile(file, bytes, sizeof bytes - 1, &written, nullptr) && written == sizeof bytes - 1;
    CloseHandle(file);
    return wrote ? 0 : 1;
}

} // namespace

int wmain(int count, wchar_t** arguments) {
    for (int i = 1; i < count; ++i)
        if (std::wstring(arguments[i]) == L"-Xshare:dump") return dump(count, arguments);
    static const char text[] = "Tavrelo stand-in runtime: bin\\java.exe writes archives and carries the version resource.\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, sizeof text - 1, &written, nullptr);
    return 1;
}
