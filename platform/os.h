// The operating-system seam: plain functions implemented by os_win.cpp and os_posix.cpp.
// Paths are UTF-16 in both builds; the host converts to UTF-8 at the system call.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace tavrelo::os {

#ifdef _WIN32
inline constexpr char16_t kPathSeparator = u'\\';
inline constexpr char16_t kListSeparator = u';';
#else
inline constexpr char16_t kPathSeparator = u'/';
inline constexpr char16_t kListSeparator = u':';
#endif

// True when a file system entry of that name exists (GetFileAttributesW succeeds).
[[nodiscard]] bool pathExists(TextView path) noexcept;
[[nodiscard]] bool isDirectory(TextView path) noexcept;
// Absolute by this platform's rule: "X:\" or "X:/" or "\\" on Windows, a leading "/" on the host.
[[nodiscard]] bool isAbsolutePath(TextView path) noexcept;

// Reads a whole file, or its first `limit` bytes; false when it cannot be opened or read.
[[nodiscard]] bool readFile(TextView path, std::string& bytes, std::size_t limit = static_cast<std::size_t>(-1));
// Creates or replaces a file with these bytes; false on failure.
[[nodiscard]] bool writeFile(TextView path, std::string_view bytes);
// Writes the bytes to "<path>.tmp" beside it, flushed to the disk, and then moves that over the
// path: a process ended midway leaves the old file or the new one, never a part of one. A
// left-over "<path>.tmp" is overwritten.
[[nodiscard]] bool writeFileReplacing(TextView path, std::string_view bytes);
[[nodiscard]] bool deleteFile(TextView path) noexcept;
// Moves a file to `to` in one step, replacing a file of that name; false when it cannot (on
// Windows a file another process holds open is not replaced).
[[nodiscard]] bool moveFileReplacing(TextView from, TextView to) noexcept;
// A file's size in bytes and its last modification time (in the system's own unit); absent
// when the path names nothing.
struct FileStamp {
    unsigned long long size = 0;
    unsigned long long modified = 0;
};
[[nodiscard]] std::optional<FileStamp> fileStamp(TextView path) noexcept;
[[nodiscard]] bool makeDirectory(TextView path) noexcept;
[[nodiscard]] bool removeDirectory(TextView path) noexcept; // an empty one

// Calls `visit(name, isDirectory, context)` for each entry of `directory` in the order the file
// system returns them, leaving out "." and "..". Stops when `visit` returns false.
// Returns false when the directory cannot be listed.
using DirectoryVisitor = bool (*)(TextView name, bool isDirectory, void* context);
bool listDirectory(TextView directory, DirectoryVisitor visit, void* context);

// Long form of an existing path ("" when it does not exist), short form likewise.
[[nodiscard]] Text longPathName(TextView path);
[[nodiscard]] Text shortPathName(TextView path);
// The long form without one trailing separator; the short form when the long one holds a unit
// of 128 or more. "" for a path that does not exist. Kept to 4,095 units.
[[nodiscard]] Text longOrShortPath(TextView path);

[[nodiscard]] Text tempDirectory();
[[nodiscard]] Text currentDirectory();
[[nodiscard]] bool setCurrentDirectory(TextView path) noexcept;

// An environment value, or absent when the variable is not set.
[[nodiscard]] std::optional<Text> environmentValue(TextView name);
// Expands %NAME% references; unknown names stay as written.
[[nodiscard]] Text expandEnvironment(TextView text);

[[nodiscard]] unsigned long processId() noexcept;
[[nodiscard]] unsigned long currentThreadId() noexcept;
// The login session of this process as per-session names carry it: the Windows session number
// in decimal; on the host logind's session id (XDG_SESSION_ID), so that every terminal and the
// desktop of one login share it. Empty when there is none: on the host the user's own pipe
// directory then makes the user alone the scope.
[[nodiscard]] Text loginSession();

// The running executable's module, and a module's full file name (at most 2,047 units).
[[nodiscard]] void* executableModule() noexcept;
[[nodiscard]] Text moduleFileName(void* module);

void sleepMs(unsigned milliseconds) noexcept;

// Dynamic libraries: handle or null; a function address or null. Never freed here.
[[nodiscard]] void* loadLibrary(TextView path) noexcept;
[[nodiscard]] void* libraryFunction(void* library, const char* name) noexcept;

// Narrow text of the platform (ANSI code page on Windows, UTF-8 on the host).
[[nodiscard]] Text ansiToText(std::string_view bytes);
[[nodiscard]] std::string textToAnsi(TextView text);

// The platform's own message box: returns the button pressed (1 OK, 6 Yes, 7 No).
int systemMessageBox(TextView caption, TextView text, unsigned style) noexcept;

// The system's text for an error code ("" when it has none).
[[nodiscard]] Text systemErrorDescription(unsigned long code);
[[nodiscard]] unsigned long lastError() noexcept;

// Set once the virtual machine has ended: every waiting loop polls it and gives up.
[[nodiscard]] bool launcherEnding() noexcept;
void setLauncherEnding() noexcept;

} // namespace tavrelo::os
