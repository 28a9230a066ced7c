#include "environment/SharedFolder.h"

#include <cstdint>
#include <cwctype>
#include <string>
#include <utility>
#include <vector>

#include "platform/FolderTree.h"
#include "platform/Paths.h"
#include "platform/Security.h"

namespace environment {

namespace {

using platform::FullPath;

bool IsUncOrDevice(const std::wstring& fullPath) {
    return fullPath.rfind(L"\\\\", 0) == 0;
}

bool IsDriveRoot(const std::wstring& path, size_t at) {
    return path.size() >= at + 3 && std::iswalpha(path[at]) && path[at + 1] == L':' &&
           path[at + 2] == L'\\';
}

// Where the folders below a full path's root begin: after "C:\" or
// "\\server\share\", also behind "\\?\"; 0 for a device.
size_t RootLength(const std::wstring& path) {
    size_t at = 0;
    if (path.rfind(L"\\\\?\\", 0) == 0) {
        if (IsDriveRoot(path, 4)) return 7;
        if (path.compare(4, 4, L"UNC\\") != 0) return 0;
        at = 8;
    } else if (path.rfind(L"\\\\", 0) == 0) {
        at = 2;
    } else {
        return IsDriveRoot(path, 0) ? 3 : 0;
    }
    const size_t server = path.find(L'\\', at);
    const size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    return share == std::wstring::npos ? 0 : share + 1;
}

// The folders on the way to a file, from the one below the root down to
// the file's own, each opened as the entry itself and held with read
// sharing only: while they are held none can be renamed, removed or
// replaced by a link (nor can a folder above them be renamed), and none can
// be made a mount point, which takes a handle with write access.
class HeldFolders {
public:
    explicit HeldFolders(const std::wstring& fullPath) {
        const size_t root = RootLength(fullPath);
        if (root == 0) {
            SetLastError(ERROR_BAD_PATHNAME);
            return;
        }
        for (size_t end = fullPath.find(L'\\', root); end != std::wstring::npos;
             end = fullPath.find(L'\\', end + 1)) {
            // Listing access takes part in sharing, so the missing write
            // and delete sharing keeps others from opening the folder to
            // set reparse data or to rename it. Entries are still created
            // in it: that opens the entry, not the folder.
            platform::UniqueKernelHandle folder = platform::OpenEntry(
                fullPath.substr(0, end), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
            if (!folder) return;
            folders_.push_back(std::move(folder));
        }
        held_ = true;
    }
    bool Held() const { return held_; }

private:
    std::vector<platform::UniqueKernelHandle> folders_;
    bool held_ = false;
};

SharedChange Failure() {
    return GetLastError() == ERROR_REPARSE_POINT_ENCOUNTERED ? SharedChange::kLinkLeft
                                                             : SharedChange::kFailed;
}

bool IsMissing() {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

platform::UniqueKernelHandle Refused(platform::UniqueKernelHandle& file, DWORD error) {
    file.reset();
    SetLastError(error);
    return {};
}

// OpenSharedFile's work on the file once its folders are held.
platform::UniqueKernelHandle OpenFile(const std::wstring& fullPath, DWORD access, DWORD share,
                                      DWORD disposition) {
    // Overwriting before the checks would empty a hard link's other file.
    const bool empty = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    if (disposition == CREATE_ALWAYS) disposition = OPEN_ALWAYS;
    if (disposition == TRUNCATE_EXISTING) disposition = OPEN_EXISTING;
    platform::UniqueKernelHandle file = platform::OpenEntry(fullPath, access, share, disposition);
    if (!file) return file;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) return Refused(file, GetLastError());
    if (info.nNumberOfLinks > 1) return Refused(file, ERROR_REPARSE_POINT_ENCOUNTERED);
    if (empty && !SetEndOfFile(file.get())) return Refused(file, GetLastError());
    return file;
}

// The bytes and then the last write time.
bool CopyContent(HANDLE from, HANDLE to) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD got = 0, written = 0;
        if (!ReadFile(from, buffer.data(), DWORD(buffer.size()), &got, nullptr)) return false;
        if (got == 0) break;
        if (!WriteFile(to, buffer.data(), got, &written, nullptr) || written != got) return false;
    }
    FILETIME lastWrite;
    return GetFileTime(from, nullptr, nullptr, &lastWrite) &&
           SetFileTime(to, nullptr, nullptr, &lastWrite);
}

// The whole file, read through the handle that was checked. The files
// edited there are small profile files; a huge one is refused.
bool ReadWhole(HANDLE file, std::string& bytes) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) return false;
    if (size.QuadPart > 16 * 1024 * 1024) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return false;
    }
    bytes.resize(size_t(size.QuadPart));
    DWORD got = 0;
    return bytes.empty() || (ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr) &&
                             got == bytes.size());
}

bool SetLength(HANDLE file, uint64_t length) {
    LARGE_INTEGER at{};
    at.QuadPart = LONGLONG(length);
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

// `bytes` replace the file's `oldLength` bytes in place. A longer file is
// grown first, which takes the drive's space before any byte changes, so a
// full drive leaves the old content; only a power cut during the one write
// can leave it half new.
bool Rewrite(HANDLE file, size_t oldLength, const std::string& bytes) {
    if (bytes.size() > oldLength && !SetLength(file, bytes.size())) {
        const DWORD error = GetLastError();
        SetLength(file, oldLength);
        SetLastError(error);
        return false;
    }
    DWORD written = 0;
    return SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) &&
           (bytes.empty() ||
            (WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
             written == bytes.size())) &&
           SetEndOfFile(file) && FlushFileBuffers(file);
}

}  // namespace

std::wstring LinkLeftText(const std::wstring& path) {
    return L"Súbor " + path + L" je odkaz na iné miesto; inštalácia ho nezmenila.";
}

bool LiesInside(const std::wstring& folder, const std::wstring& path) {
    const std::wstring base = platform::WithDelimiter(FullPath(folder));
    const std::wstring full = FullPath(path);
    if (RootLength(base) == 0 || IsUncOrDevice(base) || IsUncOrDevice(full) ||
        full.size() <= base.size())
        return false;
    return platform::StartsWithName(full, base);
}

platform::UniqueKernelHandle OpenSharedFile(const std::wstring& path, DWORD access, DWORD share,
                                            DWORD disposition) {
    const std::wstring full = FullPath(path);
    const HeldFolders folders(full);
    if (!folders.Held()) return {};
    return OpenFile(full, access, share, disposition);
}

SharedChange WriteSharedFile(const std::wstring& path, const std::string& bytes,
                             bool keepExisting) {
    platform::UniqueKernelHandle file =
        OpenSharedFile(path, GENERIC_WRITE, 0, keepExisting ? CREATE_NEW : CREATE_ALWAYS);
    if (!file) return Failure();
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                   written == bytes.size()
               ? SharedChange::kDone
               : SharedChange::kFailed;
}

SharedChange CopySharedFile(const std::wstring& from, const std::wstring& to, bool keepExisting) {
    // A source that is a link is not read either: its bytes would land where
    // every user reads them.
    platform::UniqueKernelHandle source = OpenSharedFile(
        from, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, OPEN_EXISTING);
    if (!source) return SharedChange::kFailed;
    platform::UniqueKernelHandle target =
        OpenSharedFile(to, GENERIC_WRITE | DELETE, 0, keepExisting ? CREATE_NEW : CREATE_ALWAYS);
    if (!target) return Failure();
    if (CopyContent(source.get(), target.get())) return SharedChange::kDone;
    const DWORD error = GetLastError();
    platform::MarkForDeletion(target.get());
    SetLastError(error);
    return SharedChange::kFailed;
}

SharedChange DeleteSharedFile(const std::wstring& path) {
    const std::wstring full = FullPath(path);
    const HeldFolders folders(full);
    if (!folders.Held()) return IsMissing() ? SharedChange::kDone : Failure();
    return platform::DeleteEntry(full) ? SharedChange::kDone : Failure();
}

SharedChange EditSharedFile(const std::wstring& path,
                            const std::function<std::string(const std::string&)>& edit) {
    platform::UniqueKernelHandle file =
        OpenSharedFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS);
    if (!file) return Failure();
    std::string old;
    if (!ReadWhole(file.get(), old)) return SharedChange::kFailed;
    return Rewrite(file.get(), old.size(), edit(old)) ? SharedChange::kDone : SharedChange::kFailed;
}

}  // namespace environment
