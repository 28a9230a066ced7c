#include "environment/ConfigFiles.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveFiles.h"
#include "environment/ConfText.h"
#include "environment/ProfileText.h"
#include "outside/Outside.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/Security.h"
#include "platform/Text.h"
#include "platform/UniqueHandle.h"

namespace environment {

namespace {

using platform::UniqueKernelHandle;

using platform::FileExists;

std::string ReadAllBytes(const UniqueKernelHandle& file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) platform::ThrowLastError();
    if (size.QuadPart > 64 * 1024 * 1024) throw platform::SystemError(ERROR_FILE_TOO_LARGE);
    std::string bytes(size_t(size.QuadPart), '\0');
    DWORD done = 0;
    if (!bytes.empty() &&
        (!ReadFile(file.get(), bytes.data(), DWORD(bytes.size()), &done, nullptr) ||
         done != bytes.size()))
        platform::ThrowLastError();
    return bytes;
}

std::string ReadAllBytes(const std::wstring& path) {
    UniqueKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) platform::ThrowLastError();
    return ReadAllBytes(file);
}

// The file itself, never what a link makes of it: its bytes go into a file
// that every user reads. The error names it as `shownAs`.
std::string ReadPlainFile(const std::wstring& path, const std::wstring& shownAs) {
    UniqueKernelHandle file =
        platform::OpenEntry(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    const bool link = !file && GetLastError() == ERROR_REPARSE_POINT_ENCOUNTERED;
    if (!file && !link) platform::ThrowLastError();
    BY_HANDLE_FILE_INFORMATION info{};
    if (file && !GetFileInformationByHandle(file.get(), &info)) platform::ThrowLastError();
    if (link || info.nNumberOfLinks > 1)
        throw platform::Error(
            L"Súbor " + shownAs +
            L" je odkaz na iné miesto; nastavenia servera z neho neboli prevzaté.");
    return ReadAllBytes(file);
}

// The attributes of a firebird.conf that may be rewritten; nothing when it
// is missing.
std::optional<DWORD> RewritableConf(const std::wstring& confPath) {
    DWORD attributes = GetFileAttributesW(confPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::nullopt;
        throw platform::SystemError(error);
    }
    // Replacing the file by a new one would get round read-only; the user
    // set it for a reason.
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        throw platform::SystemError(ERROR_ACCESS_DENIED);
    return attributes;
}

std::wstring FromAnsi(const std::string& bytes) {
    return platform::FromCodePage(CP_ACP, bytes);
}

std::string ToAnsi(const std::wstring& text) {
    return platform::ToCodePage(CP_ACP, text);
}

std::wstring ReadIniData(const std::wstring& iniPath, const wchar_t* key) {
    if (!FileExists(iniPath)) return {};
    std::vector<wchar_t> buffer(256);
    for (;;) {
        DWORD n = GetPrivateProfileStringW(outside::kIniSection, key, L"", buffer.data(),
                                           DWORD(buffer.size()), iniPath.c_str());
        if (n + 1 < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

// Writes bytes to a new temporary file beside target and moves it into
// target's place; on any failure the temporary file goes and target stays.
void ReplaceFileContent(const std::wstring& target, const std::string& bytes, DWORD attributes) {
    // Named as the archive reader names its own, so that a run cut short
    // leaves nothing a later run could not find and remove.
    std::wstring name;
    DWORD error = ERROR_SUCCESS;
    {
        UniqueKernelHandle file(
            archive::files::CreateTemporary(target, FILE_ATTRIBUTE_NORMAL, name));
        DWORD done = 0;
        if (!file ||
            (!bytes.empty() &&
             (!WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &done, nullptr) ||
              done != bytes.size())) ||
            !FlushFileBuffers(file.get()))
            error = GetLastError();
    }
    if (error == ERROR_SUCCESS && !MoveFileExW(name.c_str(), target.c_str(),
                                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        // Only a file this run made: a name that was taken is someone else's.
        if (!name.empty()) DeleteFileW(name.c_str());
        throw platform::SystemError(error);
    }
    SetFileAttributesW(target.c_str(), attributes);
}

}  // namespace

std::wstring ReadConfPort(const std::wstring& confPath) {
    if (!FileExists(confPath)) return {};
    std::string bytes = ReadAllBytes(confPath);
    bytes.resize(bytes.find('\0') == std::string::npos ? bytes.size() : bytes.find('\0'));
    return ExtractConfPort(FromAnsi(bytes));
}

FoundPort ReadFBPort(const std::wstring& confPath, const std::wstring& iniPath, PortSource source) {
    std::wstring ini = ReadIniData(iniPath, outside::kIniPort);
    std::wstring conf = ReadConfPort(confPath);
    std::wstring text = ChooseFBPort(ini, conf, source);
    // Turned into a port here, where it comes in; the text stays only to be shown.
    const std::optional<Port> port = Port::Parse(text);
    return {std::move(text), port};
}

std::wstring ReadFBServer(const std::wstring& iniPath) {
    return ReadIniData(iniPath, outside::kIniServer);
}

SharedChange WriteDataIni(const std::wstring& iniPath, Port port,
                          const std::wstring& serverExe, const std::wstring& modeCode) {
    // Read and written through the one handle that was checked: the profile
    // functions would open the file by its name once for every key.
    return EditSharedFile(iniPath, [&](const std::string& bytes) {
        return SetProfileValues(bytes, outside::kIniSection,
                                {{outside::kIniPort, port.Text()},
                                 {outside::kIniServer, serverExe},
                                 {outside::kIniMode, modeCode}});
    });
}

std::wstring ReadFBType(const std::wstring& iniPath) {
    return ReadIniData(iniPath, outside::kIniMode);
}

void SetConfValue(const std::wstring& confPath, const std::wstring& key,
                  const std::wstring& value) {
    const std::optional<DWORD> attributes = RewritableConf(confPath);
    if (!attributes) return;
    std::vector<std::wstring> lines = SplitConfLines(FromAnsi(ReadAllBytes(confPath)));
    ReplaceConfLines(lines, key, value);
    ReplaceFileContent(confPath, ToAnsi(JoinConfLines(lines)), *attributes);
}

void CarryConfSettings(const std::wstring& confPath, const std::wstring& oldPath) {
    const std::optional<DWORD> attributes = RewritableConf(confPath);
    if (!attributes) throw platform::SystemError(ERROR_FILE_NOT_FOUND);
    const std::vector<std::wstring> old =
        SplitConfLines(FromAnsi(ReadPlainFile(oldPath, confPath)));
    const std::vector<std::wstring> lines =
        MergeConfSettings(SplitConfLines(FromAnsi(ReadAllBytes(confPath))), old);
    ReplaceFileContent(confPath, ToAnsi(JoinConfLines(lines)), *attributes);
}

}  // namespace environment
