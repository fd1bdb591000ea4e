#include <windows.h>

#include <algorithm>

#include "platform/failure.h"
#include "platform/handles.h"
#include "platform/narrow.h"
#include "platform/os.h"
#include "platform/win_text.h"

namespace tavrelo::os {

namespace {

// Keeps GetLastError as the failing call left it, with the step and its path; answers false.
bool failed(const char* what, TextView path) noexcept {
    noteFailure(what, path, GetLastError());
    return false;
}

} // namespace

bool pathExists(TextView path) noexcept {
    try {
        return GetFileAttributesW(wc(cstr(path))) != INVALID_FILE_ATTRIBUTES;
    } catch (...) {
        return false;
    }
}

bool isDirectory(TextView path) noexcept {
    try {
        const DWORD attributes = GetFileAttributesW(wc(cstr(path)));
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    } catch (...) {
        return false;
    }
}

bool isAbsolutePath(TextView path) noexcept {
    if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') return true;
    return path.size() >= 3 && ((path[0] | 0x20) >= u'a' && (path[0] | 0x20) <= u'z') && path[1] == u':' &&
           (path[2] == u'\\' || path[2] == u'/');
}

bool readFile(TextView path, std::string& bytes, std::size_t limit) {
    const FileHandle file(CreateFileW(wc(cstr(path)), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return failed("reading", path);
    bytes.clear();
    char chunk[16384];
    DWORD got = 0;
    bool ok = true;
    while (bytes.size() < limit &&
           (ok = ReadFile(file.get(), chunk, static_cast<DWORD>(std::min(sizeof chunk, limit - bytes.size())), &got,
                          nullptr) != 0) &&
           got > 0)
        bytes.append(chunk, got);
    return ok || failed("reading", path);
}

namespace {

// Writes the bytes to a new file, flushed to the disk when asked; false on any failure.
bool writeNewFile(TextView path, std::string_view bytes, bool flush) {
    const auto size = narrowed<DWORD>(bytes.size());
    if (!size) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return failed("writing", path);
    }
    const FileHandle file(
        CreateFileW(wc(cstr(path)), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return failed("writing", path);
    DWORD written = 0;
    if (!bytes.empty() && !WriteFile(file.get(), bytes.data(), *size, &written, nullptr))
        return failed("writing", path);
    if (written != *size) {
        SetLastError(ERROR_DISK_FULL); // fewer bytes taken and no error given
        return failed("writing", path);
    }
    return !flush || FlushFileBuffers(file.get()) || failed("writing", path);
}

} // namespace

bool writeFile(TextView path, std::string_view bytes) { return writeNewFile(path, bytes, false); }

bool writeFileReplacing(TextView path, std::string_view bytes) {
    const Text target(path);
    const Text temporary = target + u".tmp";
    if (!writeNewFile(temporary, bytes, true)) return false;
    if (GetFileAttributesW(wc(target)) != INVALID_FILE_ATTRIBUTES &&
        ReplaceFileW(wc(target), wc(temporary), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return true;
    return moveFileReplacing(temporary, target);
}

bool moveFileReplacing(TextView from, TextView to) noexcept {
    try {
        return MoveFileExW(wc(cstr(from)), wc(cstr(to)), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
               failed("replacing", to);
    } catch (...) {
        return false;
    }
}

std::optional<FileStamp> fileStamp(TextView path) noexcept {
    try {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(wc(cstr(path)), GetFileExInfoStandard, &data)) {
            failed("examining", path);
            return std::nullopt;
        }
        return FileStamp{(static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                         (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                             data.ftLastWriteTime.dwLowDateTime};
    } catch (...) {
        return std::nullopt;
    }
}

bool deleteFile(TextView path) noexcept {
    try {
        return DeleteFileW(wc(cstr(path))) != 0 || failed("deleting", path);
    } catch (...) {
        return false;
    }
}

bool makeDirectory(TextView path) noexcept {
    try {
        return CreateDirectoryW(wc(cstr(path)), nullptr) != 0 || failed("making the directory", path);
    } catch (...) {
        return false;
    }
}

bool removeDirectory(TextView path) noexcept {
    try {
        return RemoveDirectoryW(wc(cstr(path))) != 0 || failed("removing the directory", path);
    } catch (...) {
        return false;
    }
}

bool listDirectory(TextView directory, DirectoryVisitor visit, void* context) {
    Text pattern(directory);
    pattern += u"\\*.*";
    WIN32_FIND_DATAW found;
    const FindSearch search(FindFirstFileW(wc(pattern), &found));
    if (!search) return failed("listing", directory);
    do {
        const TextView name(tc(found.cFileName));
        if (name == u"." || name == u"..") continue;
        if (!visit(name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, context)) break;
    } while (FindNextFileW(search.get(), &found));
    return true;
}

namespace {

Text pathCall(DWORD(WINAPI* call)(LPCWSTR, LPWSTR, DWORD), TextView path) {
    const Text source(path);
    wchar_t buffer[4096] = {};
    const DWORD n = call(wc(source), buffer, 4096);
    if (n == 0 || n >= 4096) return {};
    return Text(tc(buffer), n);
}

void dropTrailingSeparator(Text& path) {
    if (!path.empty() && (path.back() == u'\\' || path.back() == u'/')) path.pop_back();
}

} // namespace

Text longPathName(TextView path) { return pathCall(GetLongPathNameW, path); }
Text shortPathName(TextView path) { return pathCall(GetShortPathNameW, path); }

Text longOrShortPath(TextView path) {
    Text result = longPathName(path);
    dropTrailingSeparator(result);
    if (!isAscii(result)) {
        result = shortPathName(path);
        dropTrailingSeparator(result);
    }
    return result;
}

Text tempDirectory() {
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    return n ? Text(tc(buffer), n) : Text();
}

Text currentDirectory() {
    wchar_t buffer[4096] = {};
    const DWORD n = GetCurrentDirectoryW(4096, buffer);
    return (n && n < 4096) ? Text(tc(buffer), n) : Text();
}

bool setCurrentDirectory(TextView path) noexcept {
    try {
        return SetCurrentDirectoryW(wc(cstr(path))) != 0 || failed("changing to", path);
    } catch (...) {
        return false;
    }
}

std::optional<Text> environmentValue(TextView name) {
    const Text key(name);
    wchar_t buffer[4096];
    const DWORD n = GetEnvironmentVariableW(wc(key), buffer, 4096);
    if (n == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return Text();
    }
    if (n < 4096) return Text(tc(buffer), n);
    Text big(n, u'\0');
    const DWORD m = GetEnvironmentVariableW(wc(key), wc(big.data()), n);
    big.resize(m < n ? m : 0);
    return big;
}

Text expandEnvironment(TextView text) {
    const Text source(text);
    wchar_t buffer[16384];
    const DWORD n = ExpandEnvironmentStringsW(wc(source), buffer, 16384);
    if (n == 0 || n > 16384) return source;
    return Text(tc(buffer));
}

unsigned long processId() noexcept { return GetCurrentProcessId(); }
unsigned long currentThreadId() noexcept { return GetCurrentThreadId(); }

Text loginSession() {
    DWORD session = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session)) return {};
    return fromInt(static_cast<int>(session));
}

void* executableModule() noexcept { return GetModuleHandleW(nullptr); }

Text moduleFileName(void* module) {
    wchar_t buffer[2048] = {};
    const DWORD n = GetModuleFileNameW(static_cast<HMODULE>(module), buffer, 2047);
    return Text(tc(buffer), n < 2048 ? n : 2047);
}

void sleepMs(unsigned milliseconds) noexcept { Sleep(milliseconds); }

void* loadLibrary(TextView path) noexcept {
    try {
        return LoadLibraryW(wc(cstr(path)));
    } catch (...) {
        return nullptr;
    }
}

void* libraryFunction(void* library, const char* name) noexcept {
    if (!library) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

Text ansiToText(std::string_view bytes) {
    if (bytes.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return {};
    Text out(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wc(out.data()), n);
    return out;
}

std::string textToAnsi(TextView text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, wc(text.data()), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wc(text.data()), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

int systemMessageBox(TextView caption, TextView text, unsigned style) noexcept {
    try {
        return MessageBoxW(nullptr, wc(cstr(text)), wc(cstr(caption)), style | MB_TOPMOST);
    } catch (...) {
        return 0;
    }
}

Text systemErrorDescription(unsigned long code) {
    wchar_t buffer[1024] = {};
    // No insert arguments exist here, so inserts must stay as written: without this flag texts
    // such as that of error 193 fault or come back empty.
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                   buffer, 1024, nullptr);
    return n ? Text(tc(buffer), n < 1024 ? n : 1023) : Text();
}

unsigned long lastError() noexcept { return GetLastError(); }

} // namespace tavrelo::os
