#include "engine/Journal.h"

#include <objbase.h>
#include <windows.h>

#include <cstdio>

#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/FolderTree.h"
#include "platform/Security.h"
#include "platform/Trust.h"

namespace engine {

namespace {

constexpr wchar_t kRejected[] = L".rejected-";
constexpr LONGLONG kMaxBytes = 16 << 20;  // a kit's records take a few dozen kB
// The folders the journal's place makes (Velmora\Istrel on a PC).
constexpr int kOwnLevels = 2;

constexpr wchar_t kPrevious[] = L"Záznam o predchádzajúcej inštalácii ";
constexpr wchar_t kNothingChanged[] = L" Inštalácia nič nezmenila.";

// Why a record cannot be written, for the user.
platform::Error NotWritten(const std::wstring& why) {
    return platform::Error(L"Záznam o inštalácii nie je možné zapísať: " + why + L".");
}

std::wstring FolderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

// Why an entry of the journal's (`what` names it) is not safe to act from:
// an owner a standard user could be, or a DACL that lets others change it.
std::optional<std::wstring> NotTheAdministrators(HANDLE entry, const std::wstring& what) {
    const platform::UniqueLocalMemory sd = platform::SecurityOf(entry);
    if (!sd || !platform::IsTrustedOwner(platform::OwnerOf(sd.get())))
        return what + L" nepatrí administrátorom ani systému";
    if (platform::OthersMayChange(sd.get())) return what + L" môžu meniť aj iní používatelia";
    return std::nullopt;
}

// Why the folders the journal lies in are not safe to act from: a link to
// elsewhere, an owner that a standard user could be, or rights that let
// others change them. Each is judged through its own handle.
std::optional<std::wstring> UnsafeFolder(const std::wstring& path) {
    std::wstring folder = FolderOf(path);
    for (int level = 0; level < kOwnLevels && folder.size() > 3; ++level) {
        const std::wstring shown = folder;
        folder.pop_back();
        const platform::UniqueKernelHandle handle = platform::OpenFolder(folder);
        if (!handle && GetLastError() == ERROR_REPARSE_POINT_ENCOUNTERED)
            return L"priečinok " + shown + L" je odkaz na iné miesto";
        if (!handle) return L"priečinok " + shown + L" nepatrí administrátorom ani systému";
        if (auto why = NotTheAdministrators(handle.get(), L"priečinok " + shown)) return why;
        folder = FolderOf(folder);
    }
    return std::nullopt;
}

std::string NewRunId() {
    GUID guid{};
    if (const HRESULT result = CoCreateGuid(&guid); FAILED(result))
        throw platform::SystemError(DWORD(HRESULT_CODE(result)));
    const auto* bytes = reinterpret_cast<const unsigned char*>(&guid);
    std::string id;
    for (size_t i = 0; i < sizeof guid; ++i) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        id += two;
    }
    return id;
}

std::wstring TimeStamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u%02u%02u-%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    return stamp;
}

// The whole file, at most kMaxBytes + 1 of it, through its open handle;
// nothing when it cannot be read (GetLastError says why).
std::optional<std::string> ReadWhole(HANDLE file) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) return std::nullopt;
    std::string bytes(size_t(std::min(size.QuadPart, kMaxBytes + 1)), '\0');
    DWORD got = 0;
    if (!ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr)) return std::nullopt;
    bytes.resize(got);
    return bytes;
}

// Cuts a torn last line off, so that a journal that stays is whole. When
// that fails the next start cuts it.
void CutTo(const std::wstring& path, size_t size) {
    platform::UniqueKernelHandle file =
        platform::OpenEntry(path, GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, OPEN_EXISTING);
    LARGE_INTEGER at{};
    at.QuadPart = LONGLONG(size);
    if (file && SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) && SetEndOfFile(file.get()))
        FlushFileBuffers(file.get());
}

std::wstring UnsettledText(const std::wstring& path) {
    return kPrevious + path +
           L" ešte nie je vybavený; nová inštalácia sa nezačne, kým ho ďalšie spustenie "
           L"inštalácie nevybaví.";
}

}  // namespace

std::optional<std::wstring> MakeJournalFolders(const std::wstring& path, int& made) {
    const std::wstring folder = FolderOf(path);
    made = 0;
    if (!platform::EntryExists(folder)) {
        made = platform::EntryExists(FolderOf(folder.substr(0, folder.size() - 1))) ? 1 : 2;
        if (!platform::CreateProtectedFolder(folder, platform::Protection::kAdministratorsOnly)) {
            made = 0;
            return L"priečinok " + folder + L" nie je možné vytvoriť: " +
                   platform::SystemErrorText(GetLastError());
        }
    }
    return UnsafeFolder(path);
}

std::optional<std::wstring> JournalFoldersProblem(const std::wstring& path) {
    if (!platform::EntryExists(FolderOf(path))) return std::nullopt;
    return UnsafeFolder(path);
}

void RemoveJournalFolders(const std::wstring& path, int made) {
    std::wstring folder = FolderOf(path);
    for (int level = 0; level < made && folder.size() > 3; ++level) {
        folder.pop_back();
        if (!RemoveDirectoryW(folder.c_str())) return;
        folder = FolderOf(folder);
    }
}

Journal::Journal(std::wstring path, journal::Limits limits)
    : path_(std::move(path)), limits_(std::move(limits)), checker_(limits_) {}

bool Journal::Exists() const {
    return platform::EntryExists(path_);
}

Journal::Examined Journal::Examine() const {
    if (const std::optional<std::wstring> unsafe = UnsafeFolder(path_))
        return {Examined::kFolderUnsafe, *unsafe};
    // Read through the one handle it is checked by.
    const platform::UniqueKernelHandle file =
        platform::OpenEntry(path_, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file && GetLastError() == ERROR_REPARSE_POINT_ENCOUNTERED)
        return {Examined::kRefused, L"súbor je odkaz na iné miesto"};
    if (!file) return {Examined::kUnreadable, platform::SystemErrorText(GetLastError())};
    if (platform::NameCount(file.get()) != 1)
        return {Examined::kRefused, L"súbor má ešte ďalšie meno (pevný odkaz)"};
    if (std::optional<std::wstring> why = NotTheAdministrators(file.get(), L"súbor"))
        return {Examined::kRefused, *why};
    const std::optional<std::string> bytes = ReadWhole(file.get());
    if (!bytes) return {Examined::kUnreadable, platform::SystemErrorText(GetLastError())};
    if (LONGLONG(bytes->size()) > kMaxBytes) return {Examined::kRefused, L"súbor je väčší ako 16 MB"};
    Examined examined{Examined::kRead, L""};
    examined.contents = journal::ReadJournal(*bytes, limits_);
    if (examined.contents.problem) return {Examined::kRefused, *examined.contents.problem};
    examined.torn = examined.contents.complete < bytes->size();
    return examined;
}

Journal::Loaded Journal::Load() {
    if (!runId_.empty()) return {Loaded::kRecords, written_, {}};
    if (!Exists()) return {};
    Examined examined = Examine();
    switch (examined.kind) {
        case Examined::kFolderUnsafe:
            return Refuse(kPrevious + path_ + L" nebol použitý, pretože " + examined.why + L"." +
                          kNothingChanged);
        case Examined::kUnreadable:
            return Refuse(kPrevious + path_ + L" sa nedá prečítať, a preto nebol použitý: " +
                          examined.why + kNothingChanged);
        case Examined::kRefused: return SetAside(examined.why);
        case Examined::kRead: break;
    }
    if (examined.torn) CutTo(path_, examined.contents.complete);
    return {Loaded::kRecords, std::move(examined.contents.records), {}};
}

std::optional<std::wstring> Journal::Inspect() const {
    if (!Exists()) return std::nullopt;
    const Examined examined = Examine();
    switch (examined.kind) {
        case Examined::kFolderUnsafe:
            return kPrevious + path_ + L" by nebol použitý, pretože " + examined.why + L".";
        case Examined::kUnreadable: return kPrevious + path_ + L" sa nedá prečítať: " + examined.why;
        case Examined::kRefused:
            return kPrevious + path_ +
                   L" je poškodený; inštalácia by ho odložila a nič by nezmenila. Príčina: " +
                   examined.why + L".";
        case Examined::kRead: break;
    }
    return std::nullopt;
}

Journal::Loaded Journal::Refuse(const std::wstring& why) {
    Hold();
    return {Loaded::kRefused, {}, why};
}

// Renamed in its own protected folder, for the administrator to read; an
// earlier one set aside in the same second is kept too.
Journal::Loaded Journal::SetAside(const std::wstring& reason) {
    const std::wstring stamp = TimeStamp();
    std::wstring aside = path_ + kRejected + stamp;
    for (int n = 2; !MoveFileExW(path_.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH); ++n) {
        const DWORD error = GetLastError();
        if ((error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) || n > 9)
            return Refuse(kPrevious + path_ +
                          L" je poškodený, a preto nebol použitý; odložiť ho "
                          L"nebolo možné: " +
                          platform::SystemErrorText(error) + kNothingChanged + L" Príčina: " +
                          reason + L".");
        aside = path_ + kRejected + stamp + L"-" + std::to_wstring(n);
    }
    return Refuse(std::wstring(kPrevious) +
                  L"je poškodený, a preto nebol použitý; bol odložený ako " + aside + L"." +
                  kNothingChanged + L" Príčina: " + reason + L".");
}

void Journal::Append(const std::vector<JournalRecord>& records) {
    if (unsettled_) throw platform::Error(UnsettledText(path_));
    journal::Checker next = checker_;
    for (const JournalRecord& record : records)
        if (const std::optional<std::wstring> why = next.Check(record))
            throw NotWritten(*why);
    const std::string runId = runId_.empty() ? NewRunId() : runId_;
    std::string bytes = runId_.empty() ? journal::EncodeHeader(runId) : "";
    for (const JournalRecord& record : records) bytes += journal::EncodeRecord(runId, record);
    if (!file_) Create();
    DWORD written = 0;
    if (!WriteFile(file_.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
        written != bytes.size() || !FlushFileBuffers(file_.get()))
        platform::ThrowLastError();
    runId_ = runId;
    checker_ = std::move(next);
    written_.insert(written_.end(), records.begin(), records.end());
}

// A new journal in a folder for SYSTEM and administrators only; one that
// is there already belongs to a run not yet settled.
void Journal::Create() {
    if (!platform::CreateProtectedFolder(FolderOf(path_),
                                         platform::Protection::kAdministratorsOnly))
        platform::ThrowLastError();
    if (const std::optional<std::wstring> unsafe = UnsafeFolder(path_))
        throw NotWritten(*unsafe);
    file_ = platform::OpenEntry(path_, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                CREATE_NEW);
    if (file_) return;
    if (GetLastError() == ERROR_FILE_EXISTS) throw platform::Error(UnsettledText(path_));
    platform::ThrowLastError();
}

void Journal::Remove() {
    file_.reset();
    runId_.clear();
    written_.clear();
    checker_ = journal::Checker(limits_);
    unsettled_ = false;
    // Its folders are the deployment guard's, which made them or found them.
    DeleteFileW(path_.c_str());
}

void Journal::Hold() {
    file_.reset();
    unsettled_ = true;
}

}  // namespace engine
