#include <windows.h>

#include <cstddef>

#include "ipc/pipe_security.h"
#include "platform/handles.h"

namespace tavrelo {

static_assert(kInteractivePipeRights == ((FILE_GENERIC_READ | FILE_GENERIC_WRITE) & ~FILE_CREATE_PIPE_INSTANCE));

namespace {

// One heap block: the attributes point at the descriptor, the descriptor at the list.
struct SecurityBlock {
    SECURITY_ATTRIBUTES attributes;
    SECURITY_DESCRIPTOR descriptor;
    alignas(8) unsigned char acl[1024];
};

bool addWellKnown(ACL* acl, WELL_KNOWN_SID_TYPE type, DWORD rights) {
    unsigned char sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    return CreateWellKnownSid(type, nullptr, sid, &size) && AddAccessAllowedAce(acl, ACL_REVISION, rights, sid);
}

bool addUserOf(HANDLE process, ACL* acl, DWORD rights) {
    KernelHandle token;
    if (!OpenProcessToken(process, TOKEN_QUERY, token.receive())) return false;
    alignas(8) unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size)) return false;
    return AddAccessAllowedAce(acl, ACL_REVISION, rights, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) != 0;
}

bool addCurrentUser(ACL* acl, DWORD rights) { return addUserOf(GetCurrentProcess(), acl, rights); }

// The account of the parent process, which may differ from ours when the user elevated with an
// administrator's credentials. A parent we cannot read leaves the list as it is: our own account
// (the same one in the usual case) is on it already.
bool addParentUser(ACL* acl, DWORD rights) {
    const unsigned long parent = pipeParentProcess();
    if (parent == 0) return true;
    KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent));
    if (process) (void)addUserOf(process.get(), acl, rights);
    return true;
}

} // namespace

PipeAttributes createPipeSecurity(PipeAccess access) noexcept {
    // The attributes open the block, so the owner frees the block through them.
    static_assert(offsetof(SecurityBlock, attributes) == 0, "the attributes open the block");
    auto* block = static_cast<SecurityBlock*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(SecurityBlock)));
    PipeAttributes owned(block ? &block->attributes : nullptr);
    if (!block) return owned;
    auto* acl = reinterpret_cast<ACL*>(block->acl);
    // The serving account needs full rights even on the service pipes: creating the further
    // instances of its own pipe is checked against this list too.
    bool ok = InitializeAcl(acl, sizeof block->acl, ACL_REVISION) && addCurrentUser(acl, FILE_ALL_ACCESS) &&
              addWellKnown(acl, WinLocalSystemSid, FILE_ALL_ACCESS);
    if (ok && access == PipeAccess::Service)
        ok = addWellKnown(acl, WinBuiltinAdministratorsSid, FILE_ALL_ACCESS) &&
             addWellKnown(acl, WinInteractiveSid, kInteractivePipeRights);
    // Peers read and write; none of them may create instances of our names.
    if (ok && access == PipeAccess::AdminPeer)
        ok = addWellKnown(acl, WinBuiltinAdministratorsSid, kInteractivePipeRights);
    if (ok && access == PipeAccess::ParentOnly) ok = addParentUser(acl, kInteractivePipeRights);
    ok = ok && InitializeSecurityDescriptor(&block->descriptor, SECURITY_DESCRIPTOR_REVISION) &&
         SetSecurityDescriptorDacl(&block->descriptor, TRUE, acl, FALSE);
    if (!ok) return PipeAttributes();
    block->attributes.nLength = sizeof(SECURITY_ATTRIBUTES);
    block->attributes.lpSecurityDescriptor = &block->descriptor;
    block->attributes.bInheritHandle = FALSE;
    return owned;
}

void PipeAttributesPolicy::close(Type attributes) noexcept {
    const DWORD saved = GetLastError();
    HeapFree(GetProcessHeap(), 0, attributes);
    SetLastError(saved);
}

} // namespace tavrelo
