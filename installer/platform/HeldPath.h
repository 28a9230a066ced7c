// The folders on the way from a drive's root to the server folder, held
// while a run works. Each is opened as itself (no link), checked through
// that handle and kept open without delete sharing, so none can be renamed,
// deleted or replaced meanwhile; a folder that is missing is made by the
// run itself, on the spot, with a DACL of its own, never found later.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/UniqueHandle.h"

namespace platform {

class HeldPath {
public:
    struct Problem {
        enum Kind {
            kNone,
            kLink,          // `folder` is a link
            kForeignOwner,  // `folder` belongs to an account a standard user can be
            kUnreadable,    // `folder` could not be opened or read (`error` says why)
            kAppeared,      // `folder` was missing, then someone else made it first
            // The folder above `folder` lets others delete or rename what it
            // holds, `folder` among it, whatever `folder`'s own rights say.
            kParentOpen,
        };
        Kind kind = kNone;
        std::wstring folder;
        DWORD error = 0;
        explicit operator bool() const { return kind != kNone; }
    };

    // Told of a missing folder before it is made (the journal records it
    // first); `last` for the server folder itself. It may raise to stop.
    using BeforeMaking = std::function<void(const std::wstring& folder, bool last)>;

    HeldPath() = default;
    HeldPath(const HeldPath&) = delete;
    HeldPath& operator=(const HeldPath&) = delete;

    // Holds the folders on the way to `folder`, `folder` included; what was
    // held before is let go. Without `making`, folders that do not exist
    // end the walk (nothing of them to hold); with it, each missing one is
    // made, administrators' only and readable by Users, with the folders
    // above it held and none of its name there yet. The first folder that
    // fails ends the walk with nothing held.
    Problem Hold(const std::wstring& folder, const BeforeMaking& making = nullptr);
    void Release();
    // The folder Hold was last given, while held; empty otherwise.
    const std::wstring& Folder() const { return folder_; }
    // The held folder itself, opened for listing; nullptr when it does not
    // exist.
    HANDLE Last() const;
    // The folder is one of those held.
    bool Holds(const std::wstring& folder) const;

    // Renames the held folder itself to `aside` (a full path in the same
    // folder, which stays held), holds it under that name for what lies in
    // it (Aside()), and makes the folder anew as Hold makes a missing one.
    // kUnreadable with the system's error when it cannot be renamed.
    Problem SetAsideLast(const std::wstring& aside, const BeforeMaking& making);
    // The set-aside folder, open and held; nullptr when there is none.
    HANDLE Aside() const { return aside_.get(); }
    const std::wstring& AsidePath() const { return asidePath_; }
    // Renames the set-aside folder back to its old name, which must be free
    // again, or deletes it with everything in it; either lets go of it.
    bool PutAsideBack();
    bool RemoveAside();
    // Deletes a held folder with everything below it (`whole`) or only
    // when it is empty, and lets go of it and of what was held below it; the
    // folders above stay held. True when it is gone. For folders a run made,
    // as its journal says.
    bool RemoveHeld(const std::wstring& folder, bool whole);

    // After a deployment: every held folder above the server folder whose
    // rights let others delete or rename it, or change its DACL or owner,
    // gets an entry that denies everyone those rights on that folder alone
    // (the administrators own it, which keeps them changing its DACL, and
    // delete it through their rights on the folder above). Gives the
    // folders changed; raises SystemError when one cannot be.
    std::vector<std::wstring> SecureAbove();

private:
    struct Entry {
        std::wstring path;
        UniqueKernelHandle handle;
    };
    Problem HoldOne(HANDLE parent, const std::wstring& part, bool last, const BeforeMaking& making);

    std::wstring folder_;
    UniqueKernelHandle root_;
    std::vector<Entry> held_;
    UniqueKernelHandle aside_;
    std::wstring asidePath_, asideOf_;
};

}  // namespace platform
