#include "engine/Journal.h"

#include <windows.h>
#include <shlobj.h>

#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace engine {

namespace {

constexpr wchar_t kJournalFolder[] = L"Velmora\\Istrel\\";
constexpr wchar_t kJournalName[] = L"deployment.journal";

std::string Encode(const JournalRecord& record) {
    std::wstring line = record.kind;
    for (const std::wstring& field : record.fields) line += L'\t' + field;
    return platform::ToCodePage(CP_UTF8, line) + '\n';
}

JournalRecord Decode(const std::wstring& line) {
    JournalRecord record;
    size_t start = 0;
    bool first = true;
    for (;;) {
        const size_t tab = line.find(L'\t', start);
        std::wstring part = line.substr(start, tab == std::wstring::npos ? tab : tab - start);
        if (first)
            record.kind = std::move(part);
        else
            record.fields.push_back(std::move(part));
        first = false;
        if (tab == std::wstring::npos) return record;
        start = tab + 1;
    }
}

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

void MakeFolders(const std::wstring& folder) {
    if (!platform::CreateFolders(folder)) platform::ThrowLastError();
}

}  // namespace

const std::wstring& JournalRecord::Field(size_t i) const {
    static const std::wstring kNone;
    return i < fields.size() ? fields[i] : kNone;
}

std::wstring Journal::DefaultPath() {
    wchar_t common[MAX_PATH] = L"C:\\ProgramData";
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common);
    std::wstring path = common;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path + kJournalFolder + kJournalName;
}

Journal::Journal(std::wstring path) : path_(std::move(path)) {}

bool Journal::Exists() const {
    return platform::EntryExists(path_);
}

void Journal::Append(const std::vector<JournalRecord>& records) {
    if (!file_) {
        MakeFolders(FolderOf(path_));
        file_.reset(CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file_) platform::ThrowLastError();
    }
    std::string bytes;
    for (const JournalRecord& record : records) bytes += Encode(record);
    DWORD written = 0;
    if (!WriteFile(file_.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
        written != bytes.size() || !FlushFileBuffers(file_.get()))
        platform::ThrowLastError();
}

std::vector<JournalRecord> Journal::Read() const {
    std::vector<JournalRecord> records;
    platform::UniqueKernelHandle file(CreateFileW(path_.c_str(), GENERIC_READ,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return records;
    std::string bytes;
    char buffer[64 * 1024];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    size_t start = 0;
    for (size_t end = bytes.find('\n'); end != std::string::npos;
         start = end + 1, end = bytes.find('\n', start))
        records.push_back(Decode(platform::FromCodePage(
            CP_UTF8, std::string_view(bytes).substr(start, end - start))));
    return records;
}

void Journal::Remove() {
    file_.reset();
    if (!DeleteFileW(path_.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) return;
    // The folders go only when empty: someone else's files stay.
    std::wstring folder = FolderOf(path_);
    for (int level = 0; level < 2 && folder.size() > 3; ++level) {
        folder.pop_back();
        if (!RemoveDirectoryW(folder.c_str())) return;
        folder = FolderOf(folder);
    }
}

}  // namespace engine
