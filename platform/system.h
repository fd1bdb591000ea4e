// Windows platform utilities shared by several subsystems (Windows builds only).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/handles.h"
#include "platform/text.h"

namespace tavrelo {

// ---- DLL loading ------------------------------------------------------------------------------
// A launcher may sit in a folder such as Downloads beside a DLL named like a system one: it
// imports only DLLs that the system always takes from its own directory (KnownDLLs) and loads
// every other system DLL through loadSystemLibrary.
// Makes later loads by name search only the launcher's own directory, the directories added by
// SetDllDirectoryW and the system directory; each launcher entry calls it first. Nothing happens
// where the system lacks SetDefaultDllDirectories (Vista, Windows 7 without its loader update).
void restrictDllSearch() noexcept;
// The library of that file name in the system directory, loaded by its full path with its
// dependencies from the system directory too (LOAD_LIBRARY_SEARCH_SYSTEM32 where the loader has
// it); null when it cannot be loaded. Never freed here.
[[nodiscard]] void* loadSystemLibrary(TextView name) noexcept;
// A library by its full path, its dependencies searched in its own directory, the directories
// added by SetDllDirectoryW and the system directory (plain LoadLibraryW on older loaders).
[[nodiscard]] void* loadLibraryWithItsDirectory(TextView path) noexcept;

// A file's version resource (empty when it has none), and a value of it (`block` as
// VerQueryValueW takes it; `value` points into `resource`, which the call may write to).
// version.dll is loaded on first use.
[[nodiscard]] std::string fileVersionResource(TextView file);
[[nodiscard]] bool versionValue(std::string& resource, TextView block, const void*& value,
                                unsigned& size) noexcept;

// ---- Functions looked up by name on first use; the library is never freed. -----------------
// GetProcAddress of the system directory's library (loadSystemLibrary), null when either is
// missing.
[[nodiscard]] void* loadFunction(TextView library, const char* name) noexcept;
// The same, typed as the function pointer `Function`.
template <class Function>
[[nodiscard]] Function loadFunctionAs(TextView library, const char* name) noexcept {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(loadFunction(library, name)));
}

[[nodiscard]] bool getPowerCapabilities(void* record) noexcept;                  // PowrProf GetPwrCapabilities
[[nodiscard]] void* registerPowerNotification(void* window, const void* settingGuid) noexcept; // 0 when missing
void unregisterPowerNotification(void* registration) noexcept;
void setDllDirectory(TextView directory) noexcept; // nothing when SetDllDirectoryW is missing
[[nodiscard]] bool hasSetDllDirectory() noexcept;
// RestartDialog: 5 when the shutdown privilege is missing (unless the flags are only 4), another
// last error as it is, -1 when cancelled or declined, 0 otherwise; 50 when the function is missing.
[[nodiscard]] int restartDialog(unsigned flags) noexcept;
// The shield stock icon (small) or null.
[[nodiscard]] void* shieldIcon() noexcept;
[[nodiscard]] unsigned shellMajorVersion() noexcept;

// ---- Windows version (from GetVersion / GetVersionExW). -------------------------------------
struct VersionWord {
    std::uint32_t raw; // GetVersion's result
};
[[nodiscard]] bool isWin9x(VersionWord v) noexcept;
[[nodiscard]] bool isWindows2000(VersionWord v) noexcept;
[[nodiscard]] bool isWindowsXP(VersionWord v) noexcept;
[[nodiscard]] bool isXPOrLater(VersionWord v) noexcept;
[[nodiscard]] bool isVistaSP2OrLater(unsigned major, unsigned minor, TextView servicePack) noexcept;
[[nodiscard]] VersionWord systemVersion() noexcept;
[[nodiscard]] bool isWin9x() noexcept;
[[nodiscard]] bool isWindows2000() noexcept;
[[nodiscard]] bool isWindowsXP() noexcept;
[[nodiscard]] bool isXPOrLater() noexcept;
[[nodiscard]] bool isVistaSP2OrLater() noexcept;

// ---- Security, privileges, mutex. ------------------------------------------------------------
// Security attributes (a SECURITY_ATTRIBUTES) whose DACL admits everyone, for objects every user
// must open; keep them for the life of the object. Empty when a step fails.
[[nodiscard]] OpenSecurity openToAllSecurity() noexcept;
[[nodiscard]] bool enableShutdownPrivilege() noexcept;
[[nodiscard]] bool screenSaverMutexExists() noexcept;
// The screen saver's named mutex, held by this thread until the handle goes.
[[nodiscard]] HeldMutex createScreenSaverMutex() noexcept;

// ---- Processes and the shell. ----------------------------------------------------------------
[[nodiscard]] bool isProcessRunning(void* process) noexcept;
// Waits (500 ms steps) until the process ends, `condition` returns false or the launcher is
// ending; closes the handle.
using WaitCondition = bool (*)(void* context);
void waitForProcess(void* process, WaitCondition condition = nullptr, void* context = nullptr) noexcept;
void waitForRequester(unsigned long processId) noexcept;
// Calls visit(processId, parentId, exeName, context) for each process while it returns true.
using ProcessVisitor = bool (*)(unsigned long processId, unsigned long parentId, TextView exeName, void* context);
bool forEachProcess(ProcessVisitor visit, void* context) noexcept;
[[nodiscard]] unsigned long winlogonProcessId() noexcept;
// True when the process may change the system time (elevated administrators may); decided on
// the first call: each test is a time set that Windows broadcasts to every program.
[[nodiscard]] bool canSetSystemTime() noexcept;
// ShellExecuteExW with SW_SHOWNORMAL; `process` receives the handle when given.
[[nodiscard]] bool shellExecute(TextView verb, TextView file, TextView parameters, TextView directory,
                                void** process = nullptr) noexcept;
// "open" when already elevated, "runas" otherwise; the shell shows no error box of its own.
[[nodiscard]] bool shellExecuteElevated(TextView file, TextView parameters, TextView directory,
                                        void** process = nullptr) noexcept;

// ---- Environment. ----------------------------------------------------------------------------
[[nodiscard]] Text userName();
[[nodiscard]] Text userDomain();
[[nodiscard]] Text systemRootDirectory();

} // namespace tavrelo
