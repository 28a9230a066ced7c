#include "engine/DeploymentGuard.h"

#include <windows.h>

#include <optional>

#include "engine/Journal.h"
#include "engine/Messages.h"
#include "platform/Errors.h"
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
    FILE_DISPOSITION_INFO disposition{TRUE};
    SetFileInformationByHandle(file_.get(), FileDispositionInfo, &disposition, sizeof disposition);
    file_.reset();
    RemoveJournalFolders(path_);
}

bool DeploymentGuard::Take() {
    if (file_) return true;
    for (int attempt = 1;; ++attempt) {
        if (const std::optional<std::wstring> unsafe = MakeJournalFolders(path_))
            throw Refused(*unsafe);
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
