// Folders walked through handles. Each folder is opened as itself (never
// what a link points to) and held, without delete sharing, while what lies
// in it is opened by name relative to that handle: no entry is reached
// through a name that could have been swapped for a link after it was
// looked at. The one walk of a folder tree the installer makes; what it
// reports about links and further names is its callers' to decide.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/UniqueHandle.h"

namespace platform {

// Access a walk or a hold takes on a folder: listing takes part in sharing,
// so without delete sharing nobody can rename, delete or replace the folder
// while it is open. Write sharing stays: a rename into the folder opens it
// for writing, also this installer's own.
inline constexpr ACCESS_MASK kFolderListing =
    FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
inline constexpr DWORD kHoldingShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
// Sharing that keeps nobody from anything: for a look that must not get in
// the way of another program.
inline constexpr DWORD kAnySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens `name` (one plain name) inside the open folder `folder` with
// `access` and `share`; `disposition` is NtCreateFile's (FILE_OPEN,
// FILE_CREATE...), `folderToo` whether the entry may (or must, for a
// creation) be a folder. A link there is never followed: it is closed again
// and the result is invalid with GetLastError() = ERROR_REPARSE_POINT_ENCOUNTERED.
// A creation gets `sd` (nullptr: inherited).
UniqueKernelHandle OpenIn(HANDLE folder, const std::wstring& name, ACCESS_MASK access, DWORD share,
                          DWORD disposition = FILE_OPEN, bool folderToo = false,
                          PSECURITY_DESCRIPTOR sd = nullptr);

// What the handle was opened on is a reparse point (a junction, a symbolic
// link, a mount point).
bool IsLinkHandle(HANDLE entry);

// How many names the file has (1 for a folder); 0 when unknown.
DWORD NameCount(HANDLE entry);

// An entry of a folder as its listing gives it.
struct FolderEntry {
    std::wstring name;
    DWORD attributes = 0;
    uint64_t size = 0;
    bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// The entries of an open folder, "." and ".." left out. Raises SystemError
// when it cannot be listed.
std::vector<FolderEntry> ListFolder(HANDLE folder);

// An entry met by WalkTree.
struct TreeEntry : FolderEntry {
    HANDLE parent = nullptr;  // the held folder it lies in
    std::wstring relative;    // below the walk's root, "\" between names
    // A folder that is no link: opened as itself and held while the walk is
    // inside it, with the walk's folder access; nullptr when it could not
    // be opened (openError says why) or for a file or a link.
    HANDLE handle = nullptr;
    DWORD openError = 0;
};

enum class WalkStep {
    kGoOn,  // into a folder, or on to the next entry
    kSkip,  // not into this folder
    kStop,  // the walk ends
};

using WalkVisit = std::function<WalkStep(const TreeEntry& entry)>;
// A folder whose entries were all visited, its handle still open.
using WalkLeave = std::function<void(const TreeEntry& folder)>;

// Visits everything below the open folder `root`, a folder before what it
// holds (and `leave` after it), never entering a link. Folders are opened
// with kFolderListing and `folderAccess`. False when a visit stopped the
// walk. Raises SystemError when a folder it entered cannot be listed.
bool WalkTree(HANDLE root, const WalkVisit& visit, const WalkLeave& leave = nullptr,
              ACCESS_MASK folderAccess = 0);

// Opens the folder at the full path `path` as itself with kFolderListing
// and `access`, shared as kHoldingShare; invalid (GetLastError() says why,
// ERROR_REPARSE_POINT_ENCOUNTERED for a link, ERROR_DIRECTORY for a file).
UniqueKernelHandle OpenFolder(const std::wstring& path, ACCESS_MASK access = 0);

// Deletes the entry the handle is open on (opened with DELETE); a folder
// must be empty. Its name goes once the last handle to it is closed.
bool MarkForDeletion(HANDLE entry);
// The same after clearing a read-only attribute, which would keep it from
// going (opened with DELETE and FILE_WRITE_ATTRIBUTES too).
bool ClearAndMarkForDeletion(HANDLE entry);

// Deletes everything below the open folder (opened with DELETE to go too,
// then marked), never through a link: a link goes as a link. False when
// something could not be deleted; the rest goes regardless.
bool DeleteTreeBelow(HANDLE folder, const std::wstring& path);

}  // namespace platform
