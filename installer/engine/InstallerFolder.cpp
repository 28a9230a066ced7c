// The installer's own folder: where Istrel.exe and the kit lie. The run is
// elevated and loads, extracts and runs what lies there, so it starts only
// from a folder no standard user could have written, holds the folders on
// the way to it until it ends, and deletes the kit at the end through a
// handle that never follows a link.
#include "engine/InstallerFolder.h"

#include "engine/Messages.h"
#include "engine/ServerFolder.h"
#include "outside/Outside.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"
#include "platform/Security.h"
#include "platform/Text.h"
#include "platform/Trust.h"

namespace engine {

namespace {

using platform::Fill;

// Nobody on this PC is given a right there: a CD (read only), or a
// removable drive whose file system keeps no rights (a USB stick), which
// is the one of whoever brought it.
bool NobodysToWrite(HANDLE entry) {
    DWORD flags = 0;
    if (!GetVolumeInformationByHandleW(entry, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
        return false;
    if (flags & FILE_READ_ONLY_VOLUME) return true;
    if (flags & FILE_PERSISTENT_ACLS) return false;
    std::wstring path(MAX_PATH, L'\0');
    const DWORD n = GetFinalPathNameByHandleW(entry, path.data(), DWORD(path.size()), VOLUME_NAME_DOS);
    if (n == 0 || n >= path.size()) return false;
    path.resize(n);
    const size_t start = path.rfind(L"\\\\?\\", 0) == 0 ? 4 : 0;
    return GetDriveTypeW(path.substr(start, 3).c_str()) == DRIVE_REMOVABLE;
}

// The entry open at `entry` (`what` names it) could have been written by
// another user: why, for the sentence; nothing when not.
std::optional<std::wstring> OpenToOthers(HANDLE entry, const std::wstring& what) {
    if (NobodysToWrite(entry)) return std::nullopt;
    if (const platform::Untrusted found = platform::JudgeEntry(entry, what))
        return FindingText(found);
    return std::nullopt;
}

// A folder on the way to the installer's that fails its checks, as the clause
// the sentence takes.
std::wstring WayProblemText(const platform::HeldPath::Problem& problem) {
    using Problem = platform::HeldPath::Problem;
    switch (problem.kind) {
        case Problem::kLink: return Fill(kEntryLink, {problem.folder});
        case Problem::kForeignOwner:
        case Problem::kParentOpen: return Fill(kEntryOpen, {problem.folder});
        default: return Fill(kEntryUnreadable, {problem.folder});
    }
}

std::wstring Refusal(const std::wstring& folder, const std::wstring& why) {
    return Fill(kInstallerFolderOpen, {folder, why});
}

}  // namespace

std::optional<std::wstring> InstallerFolder::Check(const std::wstring& programDir,
                                                   const std::wstring& installerDir) {
    kitDir_.clear();
    // Each folder held from here to the run's end, and judged through that.
    const auto held = [](const std::wstring& folder,
                         platform::HeldPath& way) -> std::optional<std::wstring> {
        if (const platform::HeldPath::Problem problem = way.Hold(folder))
            return Refusal(folder, WayProblemText(problem));
        if (!way.Last()) return Refusal(folder, Fill(kEntryUnreadable, {folder}));
        if (const std::optional<std::wstring> why = OpenToOthers(way.Last(), folder))
            return Refusal(folder, *why);
        return std::nullopt;
    };
    const std::wstring programFolder = platform::WithDelimiter(programDir);
    const std::wstring kitDir = platform::WithDelimiter(installerDir);
    if (std::optional<std::wstring> refused = held(programFolder, programPath_)) return refused;
    if (!platform::SameName(programFolder, kitDir))
        if (std::optional<std::wstring> refused = held(kitDir, kitPath_)) return refused;
    kitDir_ = kitDir;
    const std::wstring kit = kitDir_ + outside::kKitArchive;
    const platform::UniqueKernelHandle file = platform::OpenEntry(
        kit, READ_CONTROL, platform::kAnySharing, OPEN_EXISTING);
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
        return Refusal(kitDir_, Fill(error == ERROR_REPARSE_POINT_ENCOUNTERED ? kEntryLink
                                                                                 : kEntryUnreadable,
                                     {kit}));
    }
    if (const std::optional<std::wstring> why = OpenToOthers(file.get(), kit))
        return Refusal(kitDir_, *why);
    return std::nullopt;
}

void InstallerFolder::DeleteFile(const std::wstring& name) const {
    if (kitDir_.empty()) return;
    platform::UniqueKernelHandle file =
        platform::OpenEntry(kitDir_ + name, DELETE | FILE_READ_ATTRIBUTES,
                            platform::kAnySharing, OPEN_EXISTING);
    // A further name of another file stays: deleting would take that name's
    // file with it from here, never the file itself, but nothing of it is ours.
    if (file && platform::NameCount(file.get()) == 1) platform::MarkForDeletion(file.get());
}

}  // namespace engine
