// The access list of a live pipe as Windows reports it (Windows test programs).
#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include "pipe_test_support.h"
#include "platform/win_text.h"

namespace tavrelo::test {

namespace {

std::string sidText(PSID sid) {
    char name[256] = {}, domain[256] = {};
    DWORD nameSize = sizeof name, domainSize = sizeof domain;
    SID_NAME_USE use;
    if (LookupAccountSidA(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) return name;
    return "?";
}

bool sameSid(PSID sid, WELL_KNOWN_SID_TYPE type) {
    unsigned char known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof known;
    return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

bool isCurrentUser(PSID sid) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    unsigned char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    const bool ok = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
                    EqualSid(sid, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
    CloseHandle(token);
    return ok;
}

} // namespace

std::map<std::string, unsigned long> pipeAccess(const Text& name) {
    std::map<std::string, unsigned long> entries;
    HANDLE client = CreateFileW(wc(name), READ_CONTROL, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(client, INVALID_HANDLE_VALUE) << GetLastError();
    if (client == INVALID_HANDLE_VALUE) return entries;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    EXPECT_EQ(GetSecurityInfo(client, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_NE(dacl, nullptr) << "a present access list, never a null one";
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) continue;
        auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            entries["denied or other"] = 0;
            continue;
        }
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        PSID sid = &allowed->SidStart;
        std::string who = isCurrentUser(sid)                          ? "user"
                          : sameSid(sid, WinLocalSystemSid)           ? "system"
                          : sameSid(sid, WinBuiltinAdministratorsSid) ? "administrators"
                          : sameSid(sid, WinInteractiveSid)           ? "interactive"
                                                                      : "other " + sidText(sid);
        entries[who] |= allowed->Mask;
    }
    LocalFree(descriptor);
    CloseHandle(client);
    return entries;
}

} // namespace tavrelo::test
