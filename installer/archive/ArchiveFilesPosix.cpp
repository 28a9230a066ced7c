// File side of the archive reader on POSIX systems: paths are UTF-8, the
// attributes kept are the Unix permission bits (or read-only for archives
// made on DOS and Windows).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "archive/ArchiveFiles.h"
#include "archive/ArchiveText.h"

namespace archive::files {

namespace {

std::wstring SystemText(int code) {
    return zip::DecodeUtf8(std::strerror(code));
}

Outcome Failure(const wchar_t* what, const std::wstring& path, int code) {
    return Outcome::Fail(what + path + L" (" + SystemText(code) + L")");
}

}  // namespace

std::wstring DecodeOemName(std::string_view bytes) {
    return zip::DecodeCp852(bytes);
}

InputFile::~InputFile() {
    Close();
}

Outcome InputFile::Open(const std::wstring& path) {
    Close();
    int fd = ::open(zip::EncodeUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        int code = fd < 0 ? errno : EINVAL;
        if (fd >= 0) ::close(fd);
        return Failure(L"Súbor sa nedá otvoriť: ", path, code);
    }
    handle_ = fd;
    size_ = uint64_t(st.st_size);
    return {};
}

void InputFile::Close() {
    if (handle_ != kNone) ::close(int(handle_));
    handle_ = kNone;
    size_ = 0;
}

size_t InputFile::ReadAt(uint64_t offset, void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(int(handle_), static_cast<char*>(buffer) + done, count - done,
                            off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    return done;
}

OutputFile::~OutputFile() {
    Discard();
}

Outcome OutputFile::Create(const std::wstring& target) {
    Discard();
    target_ = target;
    int fd = -1;
    for (int tried = 0; fd < 0 && tried < kTemporaryNames; ++tried) {
        temp_ = TemporaryName(target);
        // O_EXCL never opens what is there, a link least of all.
        fd = ::open(zip::EncodeUtf8(temp_).c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        Outcome failed = Failure(L"Súbor sa nedá vytvoriť: ", target, errno);
        temp_.clear();
        return failed;
    }
    handle_ = fd;
    return {};
}

Outcome OutputFile::Write(const void* data, size_t count) {
    const char* p = static_cast<const char*>(data);
    while (count > 0) {
        ssize_t n = ::write(int(handle_), p, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            return Failure(L"Chyba pri zápise súboru: ", target_, n < 0 ? errno : ENOSPC);
        }
        p += n;
        count -= size_t(n);
    }
    return {};
}

Outcome OutputFile::Commit(uint32_t externalAttributes, uint8_t host) {
    int fd = int(std::exchange(handle_, kNone));
    int code = ::close(fd) == 0 ? 0 : errno;
    mode_t mode = 0;
    if (host == zip::kHostUnix && (externalAttributes >> 16) != 0)
        mode = mode_t((externalAttributes >> 16) & 0777);
    else if (externalAttributes & 0x01)  // DOS read-only
        mode = 0444;
    if (code == 0 && mode != 0 && ::chmod(zip::EncodeUtf8(temp_).c_str(), mode) != 0) code = errno;
    // rename replaces the old file, a read-only one too, in one step.
    if (code == 0 &&
        ::rename(zip::EncodeUtf8(temp_).c_str(), zip::EncodeUtf8(target_).c_str()) != 0)
        code = errno;
    if (code != 0) {
        Outcome failed = Failure(L"Chyba pri zápise súboru: ", target_, code);
        Discard();
        return failed;
    }
    temp_.clear();
    return {};
}

void OutputFile::Discard() {
    if (handle_ != kNone) ::close(int(std::exchange(handle_, kNone)));
    if (!temp_.empty()) ::unlink(zip::EncodeUtf8(temp_).c_str());
    temp_.clear();
}

Outcome MakeFolders(const std::wstring& path) {
    std::string p = zip::EncodeUtf8(path);
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (p.empty()) return {};
    struct stat st;
    if (::stat(p.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return {};
        return Failure(L"Priečinok sa nedá vytvoriť: ", path, ENOTDIR);
    }
    size_t slash = p.rfind('/');
    if (slash != std::string::npos && slash > 0)
        if (Outcome above = MakeFolders(zip::DecodeUtf8(p.substr(0, slash))); !above.Ok())
            return above;
    if (::mkdir(p.c_str(), 0777) != 0 && errno != EEXIST) {
        return Failure(L"Priečinok sa nedá vytvoriť: ", path, errno);
    }
    return {};
}

bool Exists(const std::wstring& path) {
    struct stat st;
    return ::stat(zip::EncodeUtf8(path).c_str(), &st) == 0;
}

}  // namespace archive::files
