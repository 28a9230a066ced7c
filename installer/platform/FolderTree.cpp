#include "platform/FolderTree.h"

#include <winternl.h>

#include "platform/Errors.h"
#include "platform/PathText.h"
#include "platform/Security.h"

extern "C" NTSYSAPI ULONG NTAPI RtlNtStatusToDosError(NTSTATUS status);

namespace platform {

namespace {

constexpr ULONG kOpenOptions =
    FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT;
// Room for a few hundred entries a call; a folder with more is listed in turns.
constexpr size_t kListingBytes = 64 * 1024;

std::wstring Joined(const std::wstring& relative, const std::wstring& name) {
    return relative.empty() ? name : relative + L"\\" + name;
}

// Opens a listed folder for the walk; a link found through the handle (one
// made after the listing) is marked as one and not entered.
void OpenListed(TreeEntry& entry, UniqueKernelHandle& held, ACCESS_MASK folderAccess) {
    if (!entry.IsFolder() || entry.IsLink()) return;
    held = OpenIn(entry.parent, entry.name, kFolderListing | folderAccess, kHoldingShare, FILE_OPEN,
                  /*folderToo=*/true);
    if (held) {
        entry.handle = held.get();
        return;
    }
    entry.openError = GetLastError();
    if (entry.openError == ERROR_REPARSE_POINT_ENCOUNTERED) {
        entry.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        entry.openError = 0;
    }
}

bool WalkBelow(HANDLE folder, const std::wstring& relative, const WalkVisit& visit,
               const WalkLeave& leave, ACCESS_MASK folderAccess) {
    for (const FolderEntry& listed : ListFolder(folder)) {
        TreeEntry entry;
        static_cast<FolderEntry&>(entry) = listed;
        entry.parent = folder;
        entry.relative = Joined(relative, listed.name);
        UniqueKernelHandle held;
        OpenListed(entry, held, folderAccess);
        const WalkStep step = visit(entry);
        if (step == WalkStep::kStop) return false;
        if (step == WalkStep::kSkip || !entry.handle) continue;
        if (!WalkBelow(entry.handle, entry.relative, visit, leave, folderAccess)) return false;
        if (leave) leave(entry);
    }
    return true;
}

bool DeleteLink(const std::wstring& path, bool folder) {
    // By its name, under folders held all the way: the link itself goes,
    // never what it points to.
    if (folder && RemoveDirectoryW(path.c_str())) return true;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool DeleteFileIn(HANDLE folder, const std::wstring& name) {
    UniqueKernelHandle file =
        OpenIn(folder, name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
               kAnySharing);
    if (!file) return GetLastError() == ERROR_FILE_NOT_FOUND;
    return ClearAndMarkForDeletion(file.get());
}

}  // namespace

UniqueKernelHandle OpenIn(HANDLE folder, const std::wstring& name, ACCESS_MASK access, DWORD share,
                          DWORD disposition, bool folderToo, PSECURITY_DESCRIPTOR sd) {
    UNICODE_STRING text;
    std::wstring copy = name;
    text.Buffer = copy.data();
    text.Length = text.MaximumLength = USHORT(copy.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, sd);
    IO_STATUS_BLOCK status{};
    ULONG options = kOpenOptions;
    if (!folderToo) options |= FILE_NON_DIRECTORY_FILE;
    else if (disposition != FILE_OPEN) options |= FILE_DIRECTORY_FILE;
    HANDLE handle = nullptr;
    const NTSTATUS result =
        NtCreateFile(&handle, access | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &status,
                     nullptr, FILE_ATTRIBUTE_NORMAL, share, disposition, options, nullptr, 0);
    if (result < 0) {
        SetLastError(RtlNtStatusToDosError(result));
        return UniqueKernelHandle();
    }
    UniqueKernelHandle entry(handle);
    if (IsLinkHandle(entry.get())) {
        entry.reset();
        SetLastError(ERROR_REPARSE_POINT_ENCOUNTERED);
    }
    return entry;
}

bool IsLinkHandle(HANDLE entry) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    return GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof tag) &&
           (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

DWORD NameCount(HANDLE entry) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(entry, &info) ? info.nNumberOfLinks : 0;
}

std::vector<FolderEntry> ListFolder(HANDLE held) {
    // Listed through a handle of its own, opened anew from the held one:
    // Wine keeps what a handle listed once and gives it again, so a folder
    // listed before the kit was extracted would seem empty for good.
    const UniqueKernelHandle fresh =
        OpenIn(held, L"", FILE_LIST_DIRECTORY, kAnySharing,
               FILE_OPEN, /*folderToo=*/true);
    const HANDLE folder = fresh ? fresh.get() : held;
    std::vector<FolderEntry> entries;
    std::vector<LONGLONG> buffer(kListingBytes / sizeof(LONGLONG));  // aligned for the records
    for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;;
         kind = FileIdBothDirectoryInfo) {
        if (!GetFileInformationByHandleEx(folder, kind, buffer.data(), DWORD(kListingBytes))) {
            if (GetLastError() == ERROR_NO_MORE_FILES) return entries;
            ThrowLastError();
        }
        const auto* bytes = reinterpret_cast<const BYTE*>(buffer.data());
        for (;;) {
            const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes);
            std::wstring name(record->FileName, record->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..")
                entries.push_back(
                    {std::move(name), record->FileAttributes, uint64_t(record->EndOfFile.QuadPart)});
            if (!record->NextEntryOffset) break;
            bytes += record->NextEntryOffset;
        }
    }
}

bool WalkTree(HANDLE root, const WalkVisit& visit, const WalkLeave& leave, ACCESS_MASK folderAccess) {
    return WalkBelow(root, L"", visit, leave, folderAccess);
}

UniqueKernelHandle OpenFolder(const std::wstring& path, ACCESS_MASK access) {
    UniqueKernelHandle folder = OpenEntry(path, kFolderListing | access, kHoldingShare,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
    BY_HANDLE_FILE_INFORMATION info{};
    if (folder && (!GetFileInformationByHandle(folder.get(), &info) ||
                   !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))) {
        folder.reset();
        SetLastError(ERROR_DIRECTORY);
    }
    return folder;
}

bool MarkForDeletion(HANDLE entry) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(entry, FileDispositionInfo, &disposition, sizeof disposition);
}

bool ClearAndMarkForDeletion(HANDLE entry) {
    FILE_BASIC_INFO basic{};
    if (GetFileInformationByHandleEx(entry, FileBasicInfo, &basic, sizeof basic) &&
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        SetFileInformationByHandle(entry, FileBasicInfo, &basic, sizeof basic);
    }
    return MarkForDeletion(entry);
}

bool DeleteTreeBelow(HANDLE folder, const std::wstring& path) {
    bool whole = true;
    const std::wstring base = WithDelimiter(path);
    WalkTree(
        folder,
        [&](const TreeEntry& entry) {
            if (entry.IsLink())
                whole = DeleteLink(base + entry.relative, entry.IsFolder()) && whole;
            else if (!entry.IsFolder())
                whole = DeleteFileIn(entry.parent, entry.name) && whole;
            else if (!entry.handle)
                whole = false;
            return WalkStep::kGoOn;
        },
        [&](const TreeEntry& entry) { whole = MarkForDeletion(entry.handle) && whole; }, DELETE);
    return whole;
}

}  // namespace platform
