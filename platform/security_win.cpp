#include <windows.h>

#include "platform/handles.h"
#include "platform/system.h"

namespace tavrelo {

namespace {
constexpr wchar_t kScreenSaverMutex[] = L"Tavrelo_SCR_Mutex";

struct SecurityBlock {
    SECURITY_ATTRIBUTES attributes; // first: the block's address is the attributes'
    SECURITY_DESCRIPTOR descriptor;
};
} // namespace

OpenSecurity openToAllSecurity() noexcept {
    // The attributes open the block: the block is freed through them.
    OpenSecurity owned(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SecurityBlock)));
    auto* block = static_cast<SecurityBlock*>(owned.get());
    if (!block) return owned;
    if (!InitializeSecurityDescriptor(&block->descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&block->descriptor, TRUE, nullptr, FALSE))
        return OpenSecurity();
    block->attributes.nLength = sizeof(SECURITY_ATTRIBUTES);
    block->attributes.lpSecurityDescriptor = &block->descriptor;
    block->attributes.bInheritHandle = TRUE;
    return owned;
}

void OpenSecurityPolicy::close(Type attributes) noexcept { HeapFree(GetProcessHeap(), 0, attributes); }

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

HeldMutex createScreenSaverMutex() noexcept { return HeldMutex(CreateMutexW(nullptr, TRUE, kScreenSaverMutex)); }

} // namespace tavrelo
