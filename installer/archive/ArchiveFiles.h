// The archive reader's contact with the file system, one implementation per
// platform (ArchiveFilesWin.cpp, ArchiveFilesPosix.cpp). Failures come back
// as a failed Outcome with a text for the user; nothing here throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/Outcome.h"
#include "archive/ZipRecords.h"

namespace archive::files {

#ifdef _WIN32
inline constexpr wchar_t kSeparator = L'\\';
#else
inline constexpr wchar_t kSeparator = L'/';
#endif

// Names not flagged UTF-8: the system's OEM code page on Windows, code page
// 852 elsewhere.
std::wstring DecodeOemName(std::string_view bytes);

class InputFile : public zip::ByteSource {
public:
    InputFile() = default;
    ~InputFile() override;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    Outcome Open(const std::wstring& path);
    void Close();
    bool IsOpen() const { return handle_ != kNone; }
    uint64_t Size() const override { return size_; }
    size_t ReadAt(uint64_t offset, void* buffer, size_t count) override;

private:
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;
    uint64_t size_ = 0;
};

// A name for a temporary file beside `target` that this process has not
// used before: target + ".~" + the process id + "-" + a serial number. A
// run cut short leaves such a file, and the next run finds it by the
// target's name.
std::wstring TemporaryName(const std::wstring& target);

// How many names a temporary file is tried under. A name that is taken is
// never opened (someone may have put a file or a link there); the next one
// is tried.
inline constexpr int kTemporaryNames = 16;

#ifdef _WIN32
// Creates a temporary file beside `target` for writing (share mode none),
// under the first of its names that nothing lies under; `name` gets it.
// INVALID_HANDLE_VALUE, `name` empty and GetLastError() saying why when no
// file was made. A HANDLE; this header stays free of <windows.h>.
void* CreateTemporary(const std::wstring& target, unsigned long flags, std::wstring& name);
#endif

// One extracted file. Data goes to a temporary file beside the target;
// Commit puts it in the target's place (a read-only target included) and
// sets the stored attributes. A file that is not committed is removed, so
// a failed entry never leaves a half-written file under the real name.
class OutputFile : public zip::ByteSink {
public:
    OutputFile() = default;
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    Outcome Create(const std::wstring& target);
    Outcome Write(const void* data, size_t count) override;
    // externalAttributes and host as stored in the central directory.
    Outcome Commit(uint32_t externalAttributes, uint8_t host);
    void Discard();

private:
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;
    std::wstring target_;
    std::wstring temp_;
};

// Creates the folder and every missing folder above it; succeeds when it
// exists afterwards.
Outcome MakeFolders(const std::wstring& path);

// Whether anything (a file or a folder) is at the path.
bool Exists(const std::wstring& path);

}  // namespace archive::files
