#include <windows.h>

#include <atomic>
#include <string>

#include "platform/system.h"
#include "platform/win_text.h"

namespace tavrelo {

namespace {

// One cached address per optional function; a race writes the same value twice.
struct Cached {
    const char16_t* library;
    const char* name;
    std::atomic<void*> address{nullptr};
    std::atomic<bool> looked{false};

    void* get() noexcept {
        if (!looked.load(std::memory_order_acquire)) {
            address.store(loadFunction(library, name), std::memory_order_relaxed);
            looked.store(true, std::memory_order_release);
        }
        return address.load(std::memory_order_relaxed);
    }
};

Cached powerCapabilities{u"PowrProf.dll", "GetPwrCapabilities"};
Cached registerPower{u"User32.dll", "RegisterPowerSettingNotification"};
Cached unregisterPower{u"User32.dll", "UnregisterPowerSettingNotification"};
Cached dllDirectory{u"Kernel32.dll", "SetDllDirectoryW"};
Cached restart{u"Shell32.dll", "RestartDialog"};
Cached stockIcon{u"Shell32.dll", "SHGetStockIconInfo"};
Cached dllGetVersion{u"shell32.dll", "DllGetVersion"};

Cached versionInfoSize{u"version.dll", "GetFileVersionInfoSizeW"};
Cached versionInfo{u"version.dll", "GetFileVersionInfoW"};
Cached versionQuery{u"version.dll", "VerQueryValueW"};

template <class Function>
Function as(void* address) noexcept {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

// Kernel32 is in every process from its start, so its functions need no loading (and looking
// them up cannot recurse into loadSystemLibrary).
void* kernelFunction(const char* name) noexcept {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<void*>(GetProcAddress(kernel, name)) : nullptr;
}

// The LOAD_LIBRARY_SEARCH_ flags came with the same loader update as SetDefaultDllDirectories
// (Windows 7 with KB2533623, and Windows 8 on); without it LoadLibraryExW refuses them.
bool hasSearchFlags() noexcept {
    static const bool present = kernelFunction("SetDefaultDllDirectories") != nullptr;
    return present;
}

} // namespace

void restrictDllSearch() noexcept {
    if (auto call = as<BOOL(WINAPI*)(DWORD)>(kernelFunction("SetDefaultDllDirectories")))
        call(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

void* loadSystemLibrary(TextView name) noexcept {
    try {
        wchar_t directory[MAX_PATH] = {};
        const UINT n = GetSystemDirectoryW(directory, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return nullptr;
        // By its full path: a bare name would be matched against a module already loaded under
        // that name, wherever it came from. Its own dependencies come from the system directory.
        const Text path = Text(tc(directory), n) + u"\\" + Text(name);
        if (!hasSearchFlags()) return LoadLibraryW(wc(path));
        return LoadLibraryExW(wc(path), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    } catch (...) {
        return nullptr;
    }
}

void* loadLibraryWithItsDirectory(TextView path) noexcept {
    try {
        const Text file(path);
        if (!hasSearchFlags()) return LoadLibraryW(wc(file));
        return LoadLibraryExW(wc(file), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    } catch (...) {
        return nullptr;
    }
}

void* loadFunction(TextView library, const char* name) noexcept {
    void* module = loadSystemLibrary(library);
    return module ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name)) : nullptr;
}

std::string fileVersionResource(TextView file) {
    auto size = as<DWORD(WINAPI*)(LPCWSTR, LPDWORD)>(versionInfoSize.get());
    auto read = as<BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID)>(versionInfo.get());
    if (!size || !read) return {};
    const Text name(file);
    DWORD ignored = 0;
    const DWORD bytes = size(wc(name), &ignored);
    if (bytes == 0) return {};
    std::string data(bytes, '\0');
    if (!read(wc(name), 0, bytes, data.data())) return {};
    return data;
}

bool versionValue(std::string& resource, TextView block, const void*& value, unsigned& size) noexcept {
    auto query = as<BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT)>(versionQuery.get());
    if (!query || resource.empty()) return false;
    try {
        void* found = nullptr;
        UINT length = 0;
        if (!query(resource.data(), wc(cstr(block)), &found, &length) || !found) return false;
        value = found;
        size = length;
        return true;
    } catch (...) {
        return false;
    }
}

bool getPowerCapabilities(void* record) noexcept {
    auto call = as<BOOLEAN(WINAPI*)(void*)>(powerCapabilities.get());
    return call && call(record);
}

void* registerPowerNotification(void* window, const void* settingGuid) noexcept {
    auto call = as<void*(WINAPI*)(HANDLE, const GUID*, DWORD)>(registerPower.get());
    if (!call || !settingGuid) return nullptr;
    GUID copy; // the caller's identifier may not outlive the call
    memcpy(&copy, settingGuid, sizeof copy);
    return call(window, &copy, 0);
}

void unregisterPowerNotification(void* registration) noexcept {
    auto call = as<BOOL(WINAPI*)(void*)>(unregisterPower.get());
    if (call && registration) call(registration);
}

bool hasSetDllDirectory() noexcept { return dllDirectory.get() != nullptr; }

void setDllDirectory(TextView directory) noexcept {
    auto call = as<BOOL(WINAPI*)(LPCWSTR)>(dllDirectory.get());
    if (!call) return;
    try {
        call(wc(cstr(directory)));
    } catch (...) {
    }
}

int restartDialog(unsigned flags) noexcept {
    auto call = as<int(WINAPI*)(HWND, LPCWSTR, DWORD)>(restart.get());
    if (!call) return 50;
    SetLastError(0);
    const int result = call(nullptr, nullptr, flags);
    const DWORD error = GetLastError();
    if (error == ERROR_NOT_ALL_ASSIGNED) return (flags & ~4u) != 0 ? 5 : 0;
    if (error != 0) return static_cast<int>(error);
    return (result == 2 || result == 7 || result == 8) ? -1 : 0;
}

void* shieldIcon() noexcept {
    struct StockIconInfo {
        DWORD size;
        HICON icon;
        int systemImageIndex;
        int iconIndex;
        WCHAR path[MAX_PATH];
    };
    static_assert(sizeof(StockIconInfo) == 544 || sizeof(void*) == 4, "record size of the stock icon call");
    auto call = as<HRESULT(WINAPI*)(int, UINT, StockIconInfo*)>(stockIcon.get());
    if (!call) return nullptr;
    StockIconInfo info{};
    info.size = sizeof info;
    if (FAILED(call(77, 0x101, &info))) return nullptr;
    return info.icon;
}

unsigned shellMajorVersion() noexcept {
    struct DllVersionInfo {
        DWORD size, major, minor, build, platform;
    };
    auto call = as<HRESULT(WINAPI*)(DllVersionInfo*)>(dllGetVersion.get());
    if (!call) return 0;
    DllVersionInfo info{};
    info.size = sizeof info; // 20 bytes
    return SUCCEEDED(call(&info)) ? info.major : 0;
}

} // namespace tavrelo
