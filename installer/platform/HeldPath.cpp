#include "platform/HeldPath.h"

#include <aclapi.h>

#include "platform/Errors.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"
#include "platform/Security.h"
#include "platform/Trust.h"

namespace platform {

namespace {

// The protected folder made in `parent`, opened as it is made: there is no
// moment in which it exists and is not held.
UniqueKernelHandle MakeIn(HANDLE parent, const std::wstring& name) {
    const Descriptor sd(ProtectedSddl(Protection::kUsersReadExecute));
    return OpenIn(parent, name, kFolderListing, kHoldingShare, FILE_CREATE, /*folderToo=*/true,
                  sd.get());
}

HeldPath::Problem Unreadable(const std::wstring& part, DWORD error) {
    using Problem = HeldPath::Problem;
    return {error == ERROR_REPARSE_POINT_ENCOUNTERED ? Problem::kLink : Problem::kUnreadable, part,
            error};
}

}  // namespace

HeldPath::Problem HeldPath::Hold(const std::wstring& folder, const BeforeMaking& making) {
    Release();
    const std::wstring path = WithoutDelimiter(folder);
    // The drive's root itself, wherever the drive letter leads (under Wine
    // every drive letter is a link by its name).
    root_.reset(CreateFileW(path.substr(0, 3).c_str(), kFolderListing,
                            kAnySharing, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!root_) return Unreadable(path.substr(0, 3), GetLastError());
    for (size_t at = path.find(L'\\', 3);; at = path.find(L'\\', at + 1)) {
        const bool last = at == std::wstring::npos;
        const std::wstring part = last ? path : path.substr(0, at);
        const HANDLE parent = held_.empty() ? root_.get() : held_.back().handle.get();
        if (const Problem problem = HoldOne(parent, part, last, making)) {
            Release();
            return problem;
        }
        if (held_.empty() || !SameName(held_.back().path, part)) break;  // missing, not made
        if (last) break;
    }
    folder_ = folder;
    return {};
}

HeldPath::Problem HeldPath::HoldOne(HANDLE parent, const std::wstring& part, bool last,
                                    const BeforeMaking& making) {
    // Whoever may delete what the folder above holds may rename this one
    // away, whatever its own rights: only a held folder above can be mended
    // (SecureAbove), the drive's root is not the installer's to change.
    if (held_.empty()) {
        const UniqueLocalMemory sd = SecurityOf(parent);
        if (!sd || RightsOthersHave(sd.get(), FILE_DELETE_CHILD))
            return {Problem::kParentOpen, part, 0};
    }
    UniqueKernelHandle handle = OpenFolder(part);
    if (!handle) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return Unreadable(part, error);
        if (!making) return {};
        making(part, last);
        handle = MakeIn(parent, part.substr(part.find_last_of(L'\\') + 1));
        if (!handle) {
            const DWORD why = GetLastError();
            if (why == ERROR_ALREADY_EXISTS || why == ERROR_FILE_EXISTS)
                return {Problem::kAppeared, part, why};
            return Unreadable(part, why);
        }
    }
    const UniqueLocalMemory sd = SecurityOf(handle.get());
    if (!sd) return {Problem::kUnreadable, part, GetLastError()};
    if (!IsTrustedOwner(OwnerOf(sd.get())))
        return {Problem::kForeignOwner, part, 0};
    held_.push_back({part, std::move(handle)});
    return {};
}

void HeldPath::Release() {
    aside_.reset();
    asidePath_.clear();
    // Deepest first, so that no folder is let go while one below it is held.
    while (!held_.empty()) held_.pop_back();
    root_.reset();
    folder_.clear();
}

HANDLE HeldPath::Last() const {
    if (held_.empty() || !SameName(held_.back().path, WithoutDelimiter(folder_))) return nullptr;
    return held_.back().handle.get();
}

bool HeldPath::Holds(const std::wstring& folder) const {
    const std::wstring path = WithoutDelimiter(folder);
    for (const Entry& entry : held_)
        if (SameName(entry.path, path)) return true;
    return false;
}

HeldPath::Problem HeldPath::SetAsideLast(const std::wstring& aside, const BeforeMaking& making) {
    const std::wstring path = WithoutDelimiter(folder_), target = WithoutDelimiter(aside);
    if (!Last()) return {Problem::kUnreadable, path, ERROR_PATH_NOT_FOUND};
    // Let go for the rename by its name, under the folders above, which
    // stay held; what is renamed is then opened as itself again.
    held_.pop_back();
    if (!MoveFileExW(path.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
        return {Problem::kUnreadable, path, GetLastError()};
    aside_ = OpenFolder(target);
    if (!aside_) return {Problem::kUnreadable, target, GetLastError()};
    asidePath_ = target;
    asideOf_ = path;
    const HANDLE parent = held_.empty() ? root_.get() : held_.back().handle.get();
    return HoldOne(parent, path, /*last=*/true, making);
}

bool HeldPath::PutAsideBack() {
    if (!aside_) return false;
    aside_.reset();
    if (!MoveFileExW(asidePath_.c_str(), asideOf_.c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        aside_ = OpenFolder(asidePath_);  // held again for the next try
        SetLastError(error);
        return false;
    }
    asidePath_.clear();
    return true;
}

bool HeldPath::RemoveAside() {
    if (!aside_) return false;
    bool whole = DeleteTreeBelow(aside_.get(), asidePath_);
    aside_.reset();
    whole = (RemoveDirectoryW(asidePath_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) && whole;
    asidePath_.clear();
    return whole;
}

bool HeldPath::RemoveHeld(const std::wstring& folder, bool whole) {
    const std::wstring path = WithoutDelimiter(folder);
    for (size_t i = held_.size(); i-- > 0;) {
        if (!SameName(held_[i].path, path)) continue;
        // What is held below it goes first: it lies inside.
        while (held_.size() > i + 1) held_.pop_back();
        if (whole && !DeleteTreeBelow(held_.back().handle.get(), path)) return false;
        if (SameName(WithoutDelimiter(folder_), path)) folder_.clear();
        // Let go, then by its name: the folders above stay held, and an
        // empty folder's name cannot be turned toward anything else.
        held_.pop_back();
        return RemoveDirectoryW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    return false;
}

std::vector<std::wstring> HeldPath::SecureAbove() {
    std::vector<std::wstring> changed;
    const std::wstring last = WithoutDelimiter(folder_);
    for (const Entry& entry : held_) {
        if (SameName(entry.path, last)) continue;  // the server folder has a protection of its own
        const UniqueLocalMemory sd = SecurityOf(entry.handle.get());
        if (!sd) ThrowLastError();
        const ACCESS_MASK taken = RightsOthersHave(sd.get(), kTakingRights | FILE_DELETE_CHILD);
        if (!taken) continue;
        const UniqueLocalMemory denying = DaclDenying(sd.get(), taken);
        if (!denying) throw SystemError(ERROR_INVALID_ACL);
        // Through a handle of its own with the right to change the DACL; the
        // held one keeps the folder in its place meanwhile.
        UniqueKernelHandle writable =
            OpenEntry(entry.path, READ_CONTROL | WRITE_DAC, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
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

}  // namespace platform
