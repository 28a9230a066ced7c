#include "environment/Accounts.h"

#include <windows.h>

#include <vector>

#include "platform/UniqueHandle.h"

namespace environment {

namespace {

// The built-in Administrators group; an empty owner when it cannot be built.
platform::UniqueSid AdministratorsSid() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    platform::UniqueSid admins;
    AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                             0, 0, 0, 0, 0, 0, admins.receive());
    return admins;
}

// The thread's token when it impersonates, else the process's; empty when
// neither can be opened.
platform::UniqueKernelHandle OpenCallerToken() {
    platform::UniqueKernelHandle token;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.receive())) return token;
    if (GetLastError() != ERROR_NO_TOKEN ||
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive()))
        token.reset();
    return token;
}

// The token's groups, sized by the token rather than a fixed buffer: a user
// in many groups would otherwise read as no administrator. Empty on failure.
std::vector<BYTE> TokenGroupsOf(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) return {};
    return buffer;
}

}  // namespace

bool IsElevatedAdministrator() {
    const platform::UniqueSid admins = AdministratorsSid();
    if (!admins) return false;
    BOOL member = FALSE;
    return CheckTokenMembership(nullptr, admins.get(), &member) && member;
}

bool ListsAdministratorsGroup() {
    std::vector<BYTE> buffer;
    if (const platform::UniqueKernelHandle token = OpenCallerToken())
        buffer = TokenGroupsOf(token.get());
    if (buffer.empty()) return false;
    const platform::UniqueSid admins = AdministratorsSid();
    if (!admins) return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    for (DWORD i = 0; i < groups->GroupCount; ++i)
        if (EqualSid(groups->Groups[i].Sid, admins.get())) return true;
    return false;
}

bool EnableDebugPrivilege() {
    platform::UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.receive()))
        return false;
    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &privileges.Privileges[0].Luid))
        return false;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    privileges.PrivilegeCount = 1;
    return AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) != 0;
}

}  // namespace environment
