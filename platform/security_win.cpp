#include <windows.h>

#include "platform/handles.h"
#include "platform/system.h"

namespace tavrelo {

namespace {
constexpr wchar_t kScreenSaverMutex[] = L"Tavrelo_SCR_Mutex";

struct OpenSecurity {
    SECURITY_ATTRIBUTES attributes;
    SECURITY_DESCRIPTOR descriptor;
};
} // namespace

void* openToAllSecurity() noexcept {
    auto* block = static_cast<OpenSecurity*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(OpenSecurity)));
    if (!block) return nullptr;
    if (!InitializeSecurityDescriptor(&block->descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&block->descriptor, TRUE, nullptr, FALSE)) {
        HeapFree(GetProcessHeap(), 0, block);
        return nullptr;
    }
    block->attributes.nLength = sizeof(SECURITY_ATTRIBUTES);
    block->attributes.lpSecurityDescriptor = &block->descriptor;
    block->attributes.bInheritHandle = TRUE;
    return &block->attributes;
}

void freeSecurity(void* attributes) noexcept {
    if (attributes) HeapFree(GetProcessHeap(), 0, attributes); // the attributes open the block
}

bool enableShutdownPrivilege() noexcept {
    KernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, token.receive())) return false;
    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid)) return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    return AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) != 0;
}

bool screenSaverMutexExists() noexcept {
    KernelHandle mutex(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, kScreenSaverMutex));
    return mutex.valid();
}

void* createScreenSaverMutex() noexcept { return CreateMutexW(nullptr, TRUE, kScreenSaverMutex); }

void releaseMutex(void* mutex) noexcept {
    if (!mutex) return;
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

} // namespace tavrelo
