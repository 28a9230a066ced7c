// Whether a standard user could have written what the elevated installer is
// about to keep, carry over or run, and the folders on the way to it held so
// that nobody can swap them meanwhile. Everything is read through the handle
// of the entry itself, never through a link.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/Security.h"
#include "platform/UniqueHandle.h"

namespace platform {

// Rights that let an account change an entry or what a folder holds: write
// or add, append or add a folder, delete, change its attributes, its
// security or its owner (and the generic rights that include them).
inline constexpr ACCESS_MASK kChangingRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD |
    DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

// True when an account a standard user can be may change the entry that
// `sd` describes: it owns it (an owner may rewrite the DACL), there is no
// DACL, or an entry of the DACL allows such an account a changing right,
// also one that only what lies below inherits. Trusted accounts are those
// IsTrustedOwner accepts; CREATOR OWNER and CREATOR GROUP stand for
// whoever creates an entry below, which the other entries decide.
bool OthersMayChange(PSECURITY_DESCRIPTOR sd);
// The same for a security descriptor written as SDDL; true when it does
// not parse.
bool OthersMayChange(const std::wstring& sddl);

// What makes a folder one that a standard user could have written.
struct Untrusted {
    enum Kind {
        kNone,        // only the administrators could have written it
        kOpen,        // the entry at `path` may be changed by others
        kLink,        // the entry at `path` is a link (a reparse point)
        kSecondName,  // the file at `path` has a further name (a hard link)
        kUnreadable,  // the entry at `path` could not be opened or read
    };
    Kind kind = kNone;
    std::wstring path;
    explicit operator bool() const { return kind != kNone; }
};

// Walks the folder and everything in it through handles and gives the
// first finding. A folder that does not exist gives kNone: there is
// nothing in it to trust.
Untrusted FindUntrusted(const std::wstring& folder);

// The folders from a drive's root down to a folder, each opened as itself
// and checked through that handle: a real folder (no link), owned by an
// account IsTrustedOwner accepts. They stay open without delete sharing
// while held, so that none can be renamed, deleted or replaced by a link in
// the meantime. Folders that do not exist yet are left out: whoever creates
// them gives them a DACL that keeps users from renaming them.
class HeldPath {
public:
    struct Problem {
        enum Kind { kNone, kLink, kForeignOwner, kUnreadable };
        Kind kind = kNone;
        std::wstring folder;
        DWORD error = 0;  // kUnreadable: why
        explicit operator bool() const { return kind != kNone; }
    };

    // Holds the folders on the way to `folder` that exist, `folder`
    // included; what was held before is let go. The first folder that
    // fails its checks ends the walk, with nothing held.
    Problem Hold(const std::wstring& folder);
    void Release() { held_.clear(); }
    // The folder Hold was last given, while held; empty otherwise.
    const std::wstring& Folder() const { return folder_; }

    // Adds an entry denying everyone the right to delete (or rename) the
    // held folders that others than the administrators may delete today,
    // but for `folder` itself, which gets a protection of its own. What users may do inside them stays as it was; the
    // administrators keep deleting them through the right to delete what a
    // folder holds, which they have on the folder above. Gives the folders
    // it changed; raises SystemError when one cannot be changed.
    std::vector<std::wstring> DenyDeleteAbove();

private:
    struct Entry {
        std::wstring path;
        UniqueKernelHandle handle;
    };
    std::wstring folder_;
    std::vector<Entry> held_;
};

// The DACL of `sd` with an entry first that denies everyone DELETE on the
// entry itself (nothing inherits it), as SDDL of the DACL alone ("D:...");
// empty when it cannot be made.
std::wstring DaclDenyingDelete(PSECURITY_DESCRIPTOR sd);

}  // namespace platform
