// Whether a standard user could have written what the elevated installer is
// about to keep, carry over or run (the folders on the way to it are held by
// HeldPath.h). Everything is read through the handle of the entry itself,
// never through a link.
#pragma once

#include <windows.h>

#include <string>

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
        kUnreadable,  // the entry at `path` could not be opened or read
    };
    Kind kind = kNone;
    std::wstring path;
    explicit operator bool() const { return kind != kNone; }
};

// Whether only the administrators could have written the entry open at
// `entry`, judged by its owner and DACL: a file's further name changes
// nobody's rights to it, so it is no finding here (callers that must not
// change or keep such a file ask NameCount). `path` names it in a finding.
Untrusted JudgeEntry(HANDLE entry, const std::wstring& path);

struct TreeEntry;
// JudgeEntry for an entry a walk met (`path` names it): a link, or a file
// that turned out one when opened, is kLink; one that cannot be opened
// kUnreadable. When it is trusted and `sd` is given, its security
// descriptor is handed back there.
Untrusted JudgeTreeEntry(const TreeEntry& entry, const std::wstring& path,
                         UniqueLocalMemory* sd = nullptr);

// Walks the open folder `folder` (at `path`) and everything in it through
// handles (FolderTree.h) and gives the first finding: an entry others may
// change, a link, or one that cannot be read.
Untrusted FindUntrusted(HANDLE folder, const std::wstring& path);
// The same for the folder at `path`, opened as itself. A folder that does
// not exist gives kNone: there is nothing in it to trust.
Untrusted FindUntrusted(const std::wstring& path);

// True when an account a standard user can be may read the data of the
// entry `sd` describes: no DACL, or an entry allowing such an account to
// read it (or everything). What the office's databases must never allow.
bool OthersMayRead(PSECURITY_DESCRIPTOR sd);
bool OthersMayRead(const std::wstring& sddl);

// Rights on a folder on the way to the server that let others take it
// from under the server: delete or rename it, or change its DACL or owner
// (and with them the deny entries that keep them from it).
inline constexpr ACCESS_MASK kTakingRights = DELETE | WRITE_DAC | WRITE_OWNER;

// Of `rights`, those that an entry of the DACL of `sd` allows an account a
// standard user can be on the entry itself (entries only inherited below do
// not count) and that no entry for everyone denies first.
ACCESS_MASK RightsOthersHave(PSECURITY_DESCRIPTOR sd, ACCESS_MASK rights);

// The DACL of `sd` with an entry first that denies everyone `rights` on the
// entry itself (nothing inherits it); nothing when it cannot be made.
UniqueLocalMemory DaclDenying(PSECURITY_DESCRIPTOR sd, ACCESS_MASK rights);
// The same as SDDL of the DACL alone ("D:..."); empty when it cannot be made.
std::wstring DaclDenyingSddl(PSECURITY_DESCRIPTOR sd, ACCESS_MASK rights);

// The owner and the DACL of an open entry; nothing when they cannot be read.
UniqueLocalMemory SecurityOf(HANDLE entry);

}  // namespace platform
