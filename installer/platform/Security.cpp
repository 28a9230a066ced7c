#include "platform/Security.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/Errors.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"
#include "platform/Trust.h"

namespace platform {

namespace {

// Files get the same entries without the inheritance flags.
std::wstring Sddl(Protection protection, bool container) {
    const std::wstring inherit = container ? L"OICI" : L"";
    std::wstring sddl = L"O:BAD:P(A;" + inherit + L";FA;;;SY)(A;" + inherit + L";FA;;;BA)";
    if (protection == Protection::kUsersReadExecute) sddl += L"(A;" + inherit + L";FRFX;;;BU)";
    return sddl;
}

// TrustedInstaller (NT SERVICE\TrustedInstaller), the account that owns
// Windows' own files: S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464.
UniqueSid TrustedInstaller() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    UniqueSid sid;
    AllocateAndInitializeSid(&nt, 6, 80, 956008885, 3418522649, 1831038044, 1853292631,
                             2271478464, 0, 0, sid.receive());
    return sid;
}

// The user SID of this process's token, copied.
std::vector<BYTE> ProcessUser() {
    UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive())) return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (!size || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    std::vector<BYTE> copy(GetLengthSid(sid));
    CopySid(DWORD(copy.size()), copy.data(), sid);
    return copy;
}

}  // namespace

std::wstring ProtectedSddl(Protection protection, bool container) {
    return Sddl(protection, container);
}

Descriptor::Descriptor(const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd,
                                                              nullptr))
        ThrowLastError();
    memory_.reset(sd);
}

PSID OwnerOf(PSECURITY_DESCRIPTOR sd) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    return GetSecurityDescriptorOwner(sd, &owner, &defaulted) ? owner : nullptr;
}

PSID Descriptor::Owner() const {
    return OwnerOf(get());
}

PACL Descriptor::Dacl() const {
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    GetSecurityDescriptorDacl(get(), &present, &dacl, &defaulted);
    return dacl;
}

bool CreateProtectedFolder(const std::wstring& folder, Protection protection) {
    const std::wstring path = WithoutDelimiter(folder);
    try {
        const Descriptor sd(Sddl(protection, /*container=*/true));
        SECURITY_ATTRIBUTES attributes{sizeof attributes, sd.get(), FALSE};
        // Every folder made on the way gets it too: one inheriting the rights
        // of a folder users may change could be renamed and replaced by them.
        for (size_t at = path.find(L'\\', 3);; at = path.find(L'\\', at + 1)) {
            const std::wstring part = at == std::wstring::npos ? path : path.substr(0, at);
            if (!CreateDirectoryW(part.c_str(), &attributes) && GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
            if (at == std::wstring::npos) return true;
        }
    } catch (const SystemError& e) {
        SetLastError(e.Code());
        return false;
    }
}

std::optional<Protection> NeededProtection(bool database, PSECURITY_DESCRIPTOR sd) {
    if (database) {
        if (OthersMayChange(sd) || OthersMayRead(sd)) return Protection::kAdministratorsOnly;
        return std::nullopt;
    }
    if (OthersMayChange(sd)) return Protection::kUsersReadExecute;
    return std::nullopt;
}

void ProtectEntry(HANDLE entry, Protection protection, bool container) {
    const Descriptor sd(Sddl(protection, container));
    const DWORD status = SetSecurityInfo(
        entry, SE_FILE_OBJECT,
        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
        sd.Owner(), nullptr, sd.Dacl(), nullptr);
    if (status != ERROR_SUCCESS) throw SystemError(status);
}

bool IsReparsePoint(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsTrustedOwner(PSID owner) {
    if (!owner || !IsValidSid(owner)) return false;
    if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsWellKnownSid(owner, WinLocalSystemSid))
        return true;
    // Both asked once: a folder's walk asks for every entry of every DACL,
    // and the token is a round trip to the system each time.
    static const UniqueSid installer = TrustedInstaller();
    if (installer && EqualSid(owner, installer.get())) return true;
    static const std::vector<BYTE> self = ProcessUser();
    return !self.empty() && EqualSid(owner, const_cast<BYTE*>(self.data()));
}

bool HasTrustedOwner(const std::wstring& path) {
    UniqueKernelHandle entry = OpenEntry(path, READ_CONTROL,
                                         kAnySharing,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    if (!entry) return false;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (GetSecurityInfo(entry.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &sd) != ERROR_SUCCESS)
        return false;
    UniqueLocalMemory owned(sd);
    return IsTrustedOwner(owner);
}

UniqueKernelHandle OpenEntry(const std::wstring& path, DWORD access, DWORD share,
                             DWORD disposition, DWORD flags) {
    // Refused by its name first: Wine shows a link as one only there, not
    // through the handle. On Windows the handle's check below is the one
    // that counts, since the entry may change in between.
    if (IsReparsePoint(path)) {
        SetLastError(ERROR_REPARSE_POINT_ENCOUNTERED);
        return UniqueKernelHandle();
    }
    // The check below reads the attributes, whatever the caller asked for.
    UniqueKernelHandle entry(CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES, share,
                                         nullptr, disposition,
                                         flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (entry && IsLinkHandle(entry.get())) {
        entry.reset();
        SetLastError(ERROR_REPARSE_POINT_ENCOUNTERED);
    }
    return entry;
}

bool DeleteEntry(const std::wstring& path) {
    UniqueKernelHandle entry =
        OpenEntry(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                  kAnySharing, OPEN_EXISTING);
    if (!entry) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    return ClearAndMarkForDeletion(entry.get());
}

}  // namespace platform
