#include "engine/DeploymentGuard.h"

#include <windows.h>

#include <algorithm>
#include <optional>

#include "engine/Journal.h"
#include "engine/Messages.h"
#include "platform/Errors.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"
#include "platform/Security.h"

namespace engine {

namespace {

// A run that is just ending deletes the file and its folders: an open that
// meets that is tried again for a moment, never for long.
constexpr int kAttempts = 20;
constexpr DWORD kAttemptPauseMs = 50;

platform::Error Refused(std::wstring why) {
    if (why.back() != L'.') why += L'.';
    return platform::Error(kGuardRefused + why + L" Inštalácia nič nezmenila.");
}

}  // namespace

DeploymentGuard::DeploymentGuard(const std::wstring& journalDir)
    : path_(platform::WithDelimiter(journalDir) + kGuardFileName) {}

void DeploymentGuard::Release() {
    if (!file_) return;
    // Deleted through this run's own handle, so never a file another run
    // holds; a run killed before this leaves it for the next to take over.
    platform::MarkForDeletion(file_.get());
    file_.reset();
    // The journal's own folder is the installer's alone, whichever run made
    // it (one cut short, say); the folder above it only when this run made it.
    RemoveJournalFolders(path_, std::max(made_, 1));
    made_ = 0;
}

DeploymentGuard::Look DeploymentGuard::LookAt() const {
    if (const std::optional<std::wstring> unsafe = JournalFoldersProblem(path_))
        return {Look::kUnsafe, Refused(*unsafe).Message()};
    // As another run's would collide with it: data access, no sharing.
    const platform::UniqueKernelHandle file =
        platform::OpenEntry(path_, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    if (!file && GetLastError() == ERROR_SHARING_VIOLATION) return {Look::kHeld, L""};
    if (!file && GetLastError() == ERROR_REPARSE_POINT_ENCOUNTERED)
        return {Look::kUnsafe, Refused(L"súbor " + path_ + L" je odkaz na iné miesto").Message()};
    return {};
}

bool DeploymentGuard::Take() {
    if (file_) return true;
    for (int attempt = 1;; ++attempt) {
        int made = 0;
        const std::optional<std::wstring> unsafe = MakeJournalFolders(path_, made);
        made_ = std::max(made_, made);
        if (unsafe) throw Refused(*unsafe);
        // Data access, so that the missing sharing keeps every other run out.
        file_ = platform::OpenEntry(path_, GENERIC_READ | GENERIC_WRITE | DELETE, 0, OPEN_ALWAYS);
        if (file_) break;
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION) return false;
        if (error == ERROR_REPARSE_POINT_ENCOUNTERED)
            throw Refused(L"súbor " + path_ + L" je odkaz na iné miesto");
        if ((error != ERROR_PATH_NOT_FOUND && error != ERROR_ACCESS_DENIED) || attempt == kAttempts)
            throw Refused(L"súbor " + path_ + L" nie je možné otvoriť: " +
                          platform::SystemErrorText(error));
        Sleep(kAttemptPauseMs);
    }
    // A further name of another file is a link too.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file_.get(), &info) || info.nNumberOfLinks > 1) {
        file_.reset();
        throw Refused(L"súbor " + path_ + L" je odkaz na iné miesto");
    }
    return true;
}

}  // namespace engine
