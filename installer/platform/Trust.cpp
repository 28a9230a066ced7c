#include "platform/Trust.h"

#include <aclapi.h>
#include <sddl.h>

#include "platform/Errors.h"
#include "platform/Paths.h"

namespace platform {

namespace {

constexpr DWORD kAnySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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

// An entry of the DACL allows an account a standard user can be one of
// `rights`; entries only inherited below count when `inheritedToo`.
bool AllowsOthers(PACL dacl, ACCESS_MASK rights, bool inheritedToo) {
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) return true;
        PSID sid = nullptr;
        ACCESS_MASK mask = 0;
        if (!AllowedEntry(header, sid, mask) || !(mask & rights)) continue;
        if (!inheritedToo && (header->AceFlags & INHERIT_ONLY_ACE)) continue;
        if (sid && (IsCreatorPlaceholder(sid) || IsTrustedOwner(sid))) continue;
        return true;
    }
    return false;
}

// The owner and the DACL of an open entry; nothing when they cannot be read.
UniqueLocalMemory SecurityOf(HANDLE entry) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetSecurityInfo(entry, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                        &owner, nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS)
        return UniqueLocalMemory();
    return UniqueLocalMemory(sd);
}

PSID OwnerOf(PSECURITY_DESCRIPTOR sd) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    return GetSecurityDescriptorOwner(sd, &owner, &defaulted) ? owner : nullptr;
}

// One entry, not what lies below it: `folder` says whether it is one.
Untrusted CheckEntry(const std::wstring& path, bool& folder) {
    UniqueKernelHandle entry =
        OpenEntry(path, READ_CONTROL, kAnySharing, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (!entry)
        return {GetLastError() == ERROR_REPARSE_POINT_ENCOUNTERED ? Untrusted::kLink
                                                                  : Untrusted::kUnreadable,
                path};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(entry.get(), &info)) return {Untrusted::kUnreadable, path};
    folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!folder && info.nNumberOfLinks > 1) return {Untrusted::kSecondName, path};
    const UniqueLocalMemory sd = SecurityOf(entry.get());
    if (!sd) return {Untrusted::kUnreadable, path};
    if (OthersMayChange(sd.get())) return {Untrusted::kOpen, path};
    return {};
}

Untrusted Walk(const std::wstring& path) {
    bool folder = false;
    if (Untrusted found = CheckEntry(path, folder)) return found;
    if (!folder) return {};
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW((path + L"\\*").c_str(), &data));
    if (!find) return {};
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring inner = path + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return {Untrusted::kLink, inner};
        if (Untrusted found = Walk(inner)) return found;
    } while (FindNextFileW(find.get(), &data));
    return {};
}

std::wstring WithoutDelimiter(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

// Everyone is denied DELETE on the entry itself already.
bool DeniesDelete(PACL dacl) {
    for (WORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)) ||
            header->AceType != ACCESS_DENIED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        const auto* ace = reinterpret_cast<const ACCESS_DENIED_ACE*>(header);
        if ((ace->Mask & DELETE) && IsWellKnownSid(const_cast<DWORD*>(&ace->SidStart), WinWorldSid))
            return true;
    }
    return false;
}

// The DACL of `sd` with the denying entry first; nothing on failure.
UniqueLocalMemory NewDaclDenyingDelete(PSECURITY_DESCRIPTOR sd) {
    bool present = false;
    PACL old = DaclOf(sd, present);
    wchar_t everyone[] = L"S-1-1-0";
    PSID world = nullptr;
    if (!ConvertStringSidToSidW(everyone, &world)) return UniqueLocalMemory();
    const UniqueLocalMemory worldSid(world);
    EXPLICIT_ACCESSW deny{};
    deny.grfAccessPermissions = DELETE;
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

}  // namespace

bool OthersMayChange(PSECURITY_DESCRIPTOR sd) {
    if (!sd || !IsTrustedOwner(OwnerOf(sd))) return true;
    bool present = false;
    const PACL dacl = DaclOf(sd, present);
    // No DACL at all lets everyone do everything.
    if (!present || !dacl) return true;
    return AllowsOthers(dacl, kChangingRights, /*inheritedToo=*/true);
}

bool OthersMayChange(const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd,
                                                              nullptr))
        return true;
    const UniqueLocalMemory owned(sd);
    return OthersMayChange(sd);
}

Untrusted FindUntrusted(const std::wstring& folder) {
    const std::wstring path = WithoutDelimiter(folder);
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    }
    return Walk(path);
}

HeldPath::Problem HeldPath::Hold(const std::wstring& folder) {
    Release();
    folder_.clear();
    const std::wstring path = WithoutDelimiter(folder);
    for (size_t at = path.find(L'\\', 3);; at = path.find(L'\\', at + 1)) {
        const std::wstring part = at == std::wstring::npos ? path : path.substr(0, at);
        // Anyone may read it and add to it; nobody may rename or delete it.
        UniqueKernelHandle handle = OpenEntry(part, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
        if (!handle) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) break;
            Release();
            return {error == ERROR_REPARSE_POINT_ENCOUNTERED ? Problem::kLink : Problem::kUnreadable,
                    part, error};
        }
        BY_HANDLE_FILE_INFORMATION info{};
        const UniqueLocalMemory sd = SecurityOf(handle.get());
        if (!GetFileInformationByHandle(handle.get(), &info) ||
            !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !sd) {
            Release();
            return {Problem::kUnreadable, part, ERROR_DIRECTORY};
        }
        if (!IsTrustedOwner(OwnerOf(sd.get()))) {
            Release();
            return {Problem::kForeignOwner, part, 0};
        }
        held_.push_back({part, std::move(handle)});
        if (at == std::wstring::npos) break;
    }
    folder_ = folder;
    return {};
}

std::vector<std::wstring> HeldPath::DenyDeleteAbove() {
    std::vector<std::wstring> changed;
    const std::wstring last = WithoutDelimiter(folder_);
    for (const Entry& entry : held_) {
        if (CompareStringOrdinal(entry.path.c_str(), -1, last.c_str(), -1, TRUE) == CSTR_EQUAL)
            continue;
        const UniqueLocalMemory sd = SecurityOf(entry.handle.get());
        if (!sd) ThrowLastError();
        bool present = false;
        const PACL dacl = DaclOf(sd.get(), present);
        if (present && dacl && (DeniesDelete(dacl) || !AllowsOthers(dacl, DELETE | GENERIC_ALL, false)))
            continue;
        const UniqueLocalMemory denying = NewDaclDenyingDelete(sd.get());
        if (!denying) throw SystemError(ERROR_INVALID_ACL);
        // Through a handle of its own with the right to change the DACL; the
        // held one keeps the folder in its place meanwhile.
        UniqueKernelHandle writable = OpenEntry(entry.path, READ_CONTROL | WRITE_DAC,
                                                kAnySharing & ~FILE_SHARE_DELETE, OPEN_EXISTING,
                                                FILE_FLAG_BACKUP_SEMANTICS);
        if (!writable) ThrowLastError();
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        GetSecurityDescriptorControl(sd.get(), &control, &revision);
        const SECURITY_INFORMATION what =
            DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED)
                                             ? PROTECTED_DACL_SECURITY_INFORMATION
                                             : UNPROTECTED_DACL_SECURITY_INFORMATION);
        const DWORD status = SetSecurityInfo(writable.get(), SE_FILE_OBJECT, what, nullptr, nullptr,
                                             static_cast<PACL>(denying.get()), nullptr);
        if (status != ERROR_SUCCESS) throw SystemError(status);
        changed.push_back(entry.path);
    }
    return changed;
}

std::wstring DaclDenyingDelete(PSECURITY_DESCRIPTOR sd) {
    const UniqueLocalMemory dacl = NewDaclDenyingDelete(sd);
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

}  // namespace platform
