#include <windows.h>

#include "platform/handles.h"

namespace tavrelo {

namespace {
// Closing must not disturb the error the caller is about to report.
template <class Close>
void keepingLastError(Close close) noexcept {
    const DWORD saved = GetLastError();
    close();
    SetLastError(saved);
}
} // namespace

void KernelHandlePolicy::close(Type handle) noexcept { keepingLastError([&] { CloseHandle(handle); }); }
void FileHandlePolicy::close(Type handle) noexcept { keepingLastError([&] { CloseHandle(handle); }); }
void LocalMemoryPolicy::close(Type memory) noexcept { keepingLastError([&] { LocalFree(memory); }); }
void RegistryKeyPolicy::close(Type handle) noexcept { keepingLastError([&] { RegCloseKey(handle); }); }
void ServiceHandlePolicy::close(Type handle) noexcept { keepingLastError([&] { CloseServiceHandle(handle); }); }
void HeldMutexPolicy::close(Type handle) noexcept {
    keepingLastError([&] {
        ReleaseMutex(handle);
        CloseHandle(handle);
    });
}
void FindSearchPolicy::close(Type handle) noexcept { keepingLastError([&] { FindClose(handle); }); }
void ModulePolicy::close(Type handle) noexcept { keepingLastError([&] { FreeLibrary(handle); }); }
void IconPolicy::close(Type handle) noexcept { keepingLastError([&] { DestroyIcon(handle); }); }
void MenuPolicy::close(Type handle) noexcept { keepingLastError([&] { DestroyMenu(handle); }); }
void GdiObjectPolicy::close(Type handle) noexcept { keepingLastError([&] { DeleteObject(handle); }); }
void MemoryDcPolicy::close(Type handle) noexcept { keepingLastError([&] { DeleteDC(handle); }); }

} // namespace tavrelo
