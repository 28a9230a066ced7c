// Who may write what the elevated installer keeps or runs, and entries
// opened in folders that standard users can write without following a link
// they planted there (a junction or a symbolic link turns an elevated
// create or delete toward any other file).
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/UniqueHandle.h"

// Windows' code for "the entry is a reparse point"; mingw's headers lack it.
#ifndef ERROR_REPARSE_POINT_ENCOUNTERED
#define ERROR_REPARSE_POINT_ENCOUNTERED 4395L
#endif

namespace platform {

enum class Protection {
    kAdministratorsOnly,  // SYSTEM and Administrators full control
    kUsersReadExecute,    // the same, and Users may read and run
};

// The security descriptor the installer gives its own folders and files:
// owner Administrators and a protected DACL (nothing inherited from the
// parent), inherited by everything below a folder (`container`). As SDDL.
std::wstring ProtectedSddl(Protection protection, bool container = true);

// A security descriptor made from SDDL, owned. Raises SystemError when the
// text does not parse.
class Descriptor {
public:
    explicit Descriptor(const std::wstring& sddl);
    PSECURITY_DESCRIPTOR get() const { return memory_.get(); }
    PSID Owner() const;
    PACL Dacl() const;

private:
    UniqueLocalMemory memory_;
};

// Creates `folder` and the folders above it that are missing with that
// security; folders that exist are left as they are, for the caller to
// judge. False, with GetLastError() saying why, when one cannot be created.
bool CreateProtectedFolder(const std::wstring& folder, Protection protection);

// What an entry of the server folder must be given, judged by its security
// `sd`: nothing when it may stay as it is. Whatever others may change gets
// the folder's protection; a database (`database`) is SYSTEM's and the
// administrators' alone, so one that others may read gets
// kAdministratorsOnly. Rights that are already tighter stay.
std::optional<Protection> NeededProtection(bool database, PSECURITY_DESCRIPTOR sd);

// Gives the open entry (opened with WRITE_DAC and WRITE_OWNER) the
// protection: owner Administrators and a DACL of its own, inherited by what
// a folder (`container`) holds. Raises SystemError.
void ProtectEntry(HANDLE entry, Protection protection, bool container);

// The entry itself (not where it points) is a reparse point: a junction, a
// symbolic link or a mount point. False when there is no such entry.
bool IsReparsePoint(const std::wstring& path);

// The owner is one that a standard user cannot be: Administrators, SYSTEM,
// TrustedInstaller, or the account this process runs as (an elevated
// administrator's own files may carry it; Wine gives it to every file).
bool IsTrustedOwner(PSID owner);
// The owner `sd` names; nullptr when it names none (no owner is trusted).
PSID OwnerOf(PSECURITY_DESCRIPTOR sd);
// The entry's owner, read from the entry itself, is trusted. False when it
// is missing, a link, or its owner cannot be read.
bool HasTrustedOwner(const std::wstring& path);

// Opens the entry itself with CreateFileW's `access`, `share` and
// `disposition`, never what a link points to. An entry that turns out to
// be a reparse point is closed again and the result is invalid, with
// GetLastError() = ERROR_REPARSE_POINT_ENCOUNTERED.
UniqueKernelHandle OpenEntry(const std::wstring& path, DWORD access, DWORD share,
                             DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL);

// Deletes a file unless it is a reparse point (then it stays, and the
// result is false with ERROR_REPARSE_POINT_ENCOUNTERED). A file that is not
// there counts as deleted; a read-only one is deleted too.
bool DeleteEntry(const std::wstring& path);

}  // namespace platform
