#include "platform/Trust.h"

#include <aclapi.h>
#include <sddl.h>

#include "platform/Errors.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"

namespace platform {

namespace {

// The account an allowing entry of a DACL names, and the rights it allows;
// nothing for entries that deny, audit or label.
bool AllowedEntry(const ACE_HEADER* header, PSID& sid, ACCESS_MASK& mask) {
    switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE: {
            const auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
            sid = const_cast<DWORD*>(&ace->SidStart);
            mask = ace->Mask;
            return true;
        }
        case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
            // Not used for files; counted as allowing anyone what it says.
            sid = nullptr;
            mask = reinterpret_cast<const ACCESS_ALLOWED_OBJECT_ACE*>(header)->Mask;
            return true;
        default:
            return false;
    }
}

bool IsCreatorPlaceholder(PSID sid) {
    return IsWellKnownSid(sid, WinCreatorOwnerSid) || IsWellKnownSid(sid, WinCreatorGroupSid);
}

PACL DaclOf(PSECURITY_DESCRIPTOR sd, bool& present) {
    PACL dacl = nullptr;
    BOOL has = FALSE, defaulted = FALSE;
    present = GetSecurityDescriptorDacl(sd, &has, &dacl, &defaulted) && has;
    return dacl;
}

// Rights of `rights` that an entry for everyone denies on the entry itself.
ACCESS_MASK DeniedToEveryone(PACL dacl, ACCESS_MASK rights) {
    ACCESS_MASK denied = 0;
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)) ||
            header->AceType != ACCESS_DENIED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        const auto* ace = reinterpret_cast<const ACCESS_DENIED_ACE*>(header);
        if (IsWellKnownSid(const_cast<DWORD*>(&ace->SidStart), WinWorldSid))
            denied |= ace->Mask & rights;
    }
    return denied;
}

// The rights of `rights` that allowing entries give an account a standard
// user can be, on the entry itself; entries only inherited below count too
// when `inheritedToo`. An entry that cannot be read allows all of them.
ACCESS_MASK AllowedToOthers(PACL dacl, ACCESS_MASK rights, bool inheritedToo = false) {
    ACCESS_MASK allowed = 0;
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) return rights;
        PSID sid = nullptr;
        ACCESS_MASK mask = 0;
        if (!AllowedEntry(header, sid, mask)) continue;
        if (!inheritedToo && (header->AceFlags & INHERIT_ONLY_ACE)) continue;
        if (sid && (IsCreatorPlaceholder(sid) || IsTrustedOwner(sid))) continue;
        if (mask & (GENERIC_ALL | MAXIMUM_ALLOWED)) mask |= rights;
        allowed |= mask & rights;
    }
    return allowed;
}

template <typename Question>
bool AskSddl(const std::wstring& sddl, Question question) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd,
                                                              nullptr))
        return true;
    const UniqueLocalMemory owned(sd);
    return question(sd);
}

}  // namespace

UniqueLocalMemory SecurityOf(HANDLE entry) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetSecurityInfo(entry, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                        &owner, nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS)
        return UniqueLocalMemory();
    return UniqueLocalMemory(sd);
}

bool OthersMayChange(PSECURITY_DESCRIPTOR sd) {
    if (!sd || !IsTrustedOwner(OwnerOf(sd))) return true;
    bool present = false;
    const PACL dacl = DaclOf(sd, present);
    // No DACL at all lets everyone do everything.
    if (!present || !dacl) return true;
    return AllowedToOthers(dacl, kChangingRights, /*inheritedToo=*/true) != 0;
}

bool OthersMayChange(const std::wstring& sddl) {
    return AskSddl(sddl, [](PSECURITY_DESCRIPTOR sd) { return OthersMayChange(sd); });
}

bool OthersMayRead(PSECURITY_DESCRIPTOR sd) {
    bool present = false;
    const PACL dacl = sd ? DaclOf(sd, present) : nullptr;
    if (!present || !dacl) return true;
    return AllowedToOthers(dacl, FILE_READ_DATA | GENERIC_READ | GENERIC_ALL | MAXIMUM_ALLOWED) != 0;
}

bool OthersMayRead(const std::wstring& sddl) {
    return AskSddl(sddl, [](PSECURITY_DESCRIPTOR sd) { return OthersMayRead(sd); });
}

ACCESS_MASK RightsOthersHave(PSECURITY_DESCRIPTOR sd, ACCESS_MASK rights) {
    bool present = false;
    const PACL dacl = sd ? DaclOf(sd, present) : nullptr;
    if (!present || !dacl) return rights;
    return AllowedToOthers(dacl, rights) & ~DeniedToEveryone(dacl, rights);
}

UniqueLocalMemory DaclDenying(PSECURITY_DESCRIPTOR sd, ACCESS_MASK rights) {
    bool present = false;
    PACL old = DaclOf(sd, present);
    wchar_t everyone[] = L"S-1-1-0";
    PSID world = nullptr;
    if (!ConvertStringSidToSidW(everyone, &world)) return UniqueLocalMemory();
    const UniqueLocalMemory worldSid(world);
    EXPLICIT_ACCESSW deny{};
    deny.grfAccessPermissions = rights;
    deny.grfAccessMode = DENY_ACCESS;
    deny.grfInheritance = NO_INHERITANCE;
    deny.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    deny.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    deny.Trustee.ptstrName = static_cast<LPWSTR>(world);
    PACL made = nullptr;
    if (SetEntriesInAclW(1, &deny, present ? old : nullptr, &made) != ERROR_SUCCESS)
        return UniqueLocalMemory();
    return UniqueLocalMemory(made);
}

std::wstring DaclDenyingSddl(PSECURITY_DESCRIPTOR sd, ACCESS_MASK rights) {
    const UniqueLocalMemory dacl = DaclDenying(sd, rights);
    if (!dacl) return L"";
    SECURITY_DESCRIPTOR made;
    if (!InitializeSecurityDescriptor(&made, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&made, TRUE, static_cast<PACL>(dacl.get()), FALSE))
        return L"";
    LPWSTR text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(&made, SDDL_REVISION_1,
                                                              DACL_SECURITY_INFORMATION, &text,
                                                              nullptr))
        return L"";
    const UniqueLocalMemory owned(text);
    return text;
}

Untrusted JudgeEntry(HANDLE entry, const std::wstring& path) {
    const UniqueLocalMemory sd = SecurityOf(entry);
    if (!sd) return {Untrusted::kUnreadable, path};
    if (OthersMayChange(sd.get())) return {Untrusted::kOpen, path};
    return {};
}

Untrusted JudgeTreeEntry(const TreeEntry& entry, const std::wstring& path, UniqueLocalMemory* sd) {
    if (entry.IsLink()) return {Untrusted::kLink, path};
    UniqueKernelHandle file;
    HANDLE handle = entry.handle;
    if (!entry.IsFolder()) {
        file = OpenIn(entry.parent, entry.name, READ_CONTROL, kAnySharing);
        handle = file.get();
    }
    if (!handle)
        return {!entry.IsFolder() && GetLastError() == ERROR_REPARSE_POINT_ENCOUNTERED
                    ? Untrusted::kLink
                    : Untrusted::kUnreadable,
                path};
    UniqueLocalMemory security = SecurityOf(handle);
    if (!security) return {Untrusted::kUnreadable, path};
    if (OthersMayChange(security.get())) return {Untrusted::kOpen, path};
    if (sd) *sd = std::move(security);
    return {};
}

Untrusted FindUntrusted(HANDLE folder, const std::wstring& path) {
    const std::wstring base = WithDelimiter(path);
    if (Untrusted found = JudgeEntry(folder, path)) return found;
    Untrusted found;
    WalkTree(folder, [&](const TreeEntry& entry) {
        found = JudgeTreeEntry(entry, base + entry.relative);
        return found ? WalkStep::kStop : WalkStep::kGoOn;
    });
    return found;
}

Untrusted FindUntrusted(const std::wstring& path) {
    const std::wstring folder = WithoutDelimiter(path);
    const UniqueKernelHandle held = OpenFolder(folder);
    if (held) return FindUntrusted(held.get(), folder);
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    return {error == ERROR_REPARSE_POINT_ENCOUNTERED ? Untrusted::kLink : Untrusted::kUnreadable,
            folder};
}

}  // namespace platform
