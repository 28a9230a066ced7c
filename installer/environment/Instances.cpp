#include "environment/Instances.h"

#include <functional>
#include <vector>

#include "environment/SharedFolder.h"
#include "outside/Outside.h"
#include "platform/Errors.h"
#include "platform/FolderTree.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/UniqueHandle.h"

namespace environment {

namespace {

// What a lock file says of its instance, opened as an instance's own open
// would collide with it; a stale one's handle is given back.
enum class LockProbe { kHeld, kStale, kGone, kLink };
LockProbe ProbeLock(const std::wstring& lck, platform::UniqueKernelHandle& stale) {
    stale = OpenSharedFile(lck, GENERIC_WRITE | DELETE, 0, OPEN_EXISTING);
    if (stale) return LockProbe::kStale;
    const DWORD error = GetLastError();
    if (error == ERROR_REPARSE_POINT_ENCOUNTERED) return LockProbe::kLink;
    // Whatever else keeps it from being opened, an instance may hold it.
    return error == ERROR_FILE_NOT_FOUND ? LockProbe::kGone : LockProbe::kHeld;
}

// The reason written into stop requests and no-run markers.
constexpr wchar_t kReason[] = L"Aktualizácia SQL servera.";

constexpr wchar_t kComputerNameKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName";
constexpr wchar_t kComputerNameValue[] = L"ComputerName";

// Each lock file's name in the application's lock folder.
void ForEachLockFile(const std::wstring& lockDir,
                     const std::function<void(const std::wstring& name)>& visit) {
    WIN32_FIND_DATAW fd;
    platform::UniqueFindHandle find(FindFirstFileW((lockDir + outside::kLockMask).c_str(), &fd));
    if (!find) return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) visit(fd.cFileName);
    } while (FindNextFileW(find.get(), &fd));
}

platform::UniqueKernelHandle OpenExclusive(const std::wstring& path, DWORD access,
                                           DWORD disposition) {
    return platform::UniqueKernelHandle(
        CreateFileW(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Lines in the ANSI code page, each ending in CR LF, into a new or emptied file.
SharedChange WriteLines(const std::wstring& path, const std::vector<std::wstring>& lines) {
    std::string bytes;
    for (const std::wstring& line : lines) bytes += platform::ToCodePage(CP_ACP, line) + "\r\n";
    return WriteSharedFile(path, bytes);
}

void Tell(const LinkNotice& onLink, const std::wstring& path) {
    if (onLink) onLink(path);
}

std::wstring ReadLci(const std::wstring& lci, const wchar_t* key) {
    wchar_t value[256];
    GetPrivateProfileStringW(outside::kIniSection, key, outside::kLciMissing, value, 256,
                             lci.c_str());
    return value;
}

// A computer name from an instance's ".lci" names a folder below
// "userdata\comps\"; one that would lead elsewhere gets no request.
bool IsPlainFolderName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"\\/:") == std::wstring::npos;
}

// Users write the ".lci": the request goes only into the application's
// folder, whatever the name turns into when the path is resolved.
void RequestStop(const std::wstring& appDir, const std::wstring& computer,
                 const ErrorNotice& onUnreadable, const LinkNotice& onLink) {
    const std::wstring request =
        appDir + outside::kCompsDir + computer + L"\\" + outside::kKillRequest;
    if (!IsPlainFolderName(computer) || !LiesInside(appDir, request)) return;
    if (WriteKillRequest(request, onUnreadable) == SharedChange::kLinkLeft) Tell(onLink, request);
}

}  // namespace

std::wstring ReadComputerName(const ErrorNotice& onUnreadable) {
    return ReadComputerNameFrom(kComputerNameKey, onUnreadable);
}

std::wstring ReadComputerNameFrom(const std::wstring& key, const ErrorNotice& onUnreadable) {
    std::wstring name;
    try {
        name = platform::ReadRegString(HKEY_LOCAL_MACHINE, key, kComputerNameValue).value_or(L"");
    } catch (const platform::Error&) {
        if (onUnreadable) onUnreadable(L"Chyba pri čítaní z registrov!");
        name.clear();
    }
    if (!name.empty()) CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

bool IsAppRunning(const std::wstring& appDir, InstanceListView* list, bool requestStop,
                  const ErrorNotice& onUnreadable, const LinkNotice& onLink) {
    bool found = false;
    const std::wstring lockDir = appDir + outside::kLockDir;
    ForEachLockFile(lockDir, [&](const std::wstring& name) {
        const std::wstring lci =
            lockDir + name.substr(0, name.find_last_of(L'.')) + outside::kLockInfoExt;
        if (!IsLockHeld(lockDir + name, lci, onLink)) return;
        found = true;
        if (!list) return;
        const std::wstring computer = ReadLci(lci, outside::kLciComputer);
        list->AddRow(computer, ReadLci(lci, outside::kLciUser));
        if (requestStop) RequestStop(appDir, computer, onUnreadable, onLink);
    });
    if (!found && IsFileLocked(appDir + outside::kAppExe)) {
        found = true;
        if (list) list->ShowExecutableNotice();
    }
    return found;
}

int CountRunningInstances(const std::wstring& appDir) {
    int count = 0;
    const std::wstring lockDir = appDir + outside::kLockDir;
    ForEachLockFile(lockDir, [&](const std::wstring& name) {
        // By the rule the wait goes by, but a stale lock stays.
        platform::UniqueKernelHandle stale;
        if (ProbeLock(lockDir + name, stale) == LockProbe::kHeld) ++count;
    });
    if (count == 0 && IsFileLocked(appDir + outside::kAppExe)) count = 1;
    return count;
}

bool IsLockHeld(const std::wstring& lck, const std::wstring& lci, const LinkNotice& onLink) {
    platform::UniqueKernelHandle stale;
    switch (ProbeLock(lck, stale)) {
        case LockProbe::kHeld: return true;
        case LockProbe::kGone: return false;
        // A link is no instance's lock, and stays.
        case LockProbe::kLink: Tell(onLink, lck); return false;
        case LockProbe::kStale: break;
    }
    // Deleted when closed: a stale lock goes while it is still ours, so an
    // instance starting meanwhile cannot take it and then lose it, nor its
    // ".lci". (Not opened delete-on-close: a link found by the open would
    // go with its handle.)
    platform::MarkForDeletion(stale.get());
    if (DeleteSharedFile(lci) == SharedChange::kLinkLeft) Tell(onLink, lci);
    return false;
}

bool IsFileLocked(const std::wstring& path) {
    if (!platform::EntryExists(path)) return false;
    return !OpenExclusive(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
}

SharedChange CreateMarkerFile(const std::wstring& path) {
    return WriteSharedFile(path, "", /*keepExisting=*/true);
}

std::wstring NoRunMarkerPath(const std::wstring& folder, const ErrorNotice& onUnreadable) {
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path + outside::kNoRunPrefix + ReadComputerName(onUnreadable);
}

std::wstring NoRunUntilText(const SYSTEMTIME& localNow) {
    FILETIME ft;
    if (!SystemTimeToFileTime(&localNow, &ft)) return L"";
    ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
    t.QuadPart += 300ULL * 10'000'000ULL;
    ft = {t.LowPart, t.HighPart};
    SYSTEMTIME until;
    if (!FileTimeToSystemTime(&ft, &until)) return L"";
    wchar_t separator[8] = L":";
    GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STIME, separator, 8);
    wchar_t text[64];
    swprintf(text, 64, L"%02u.%02u.%04u %02u%ls%02u", until.wDay, until.wMonth, until.wYear,
             until.wHour, separator, until.wMinute);
    return text;
}

SharedChange WriteNoRunMarker(const std::wstring& folder, const ErrorNotice& onUnreadable) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return WriteNoRunMarker(folder, now, onUnreadable);
}

SharedChange WriteNoRunMarker(const std::wstring& folder, const SYSTEMTIME& localNow,
                              const ErrorNotice& onUnreadable) {
    const std::wstring until = NoRunUntilText(localNow);
    if (until.empty()) return SharedChange::kFailed;
    return WriteLines(NoRunMarkerPath(folder, onUnreadable), {until, kReason});
}

SharedChange WriteKillRequest(const std::wstring& path, const ErrorNotice& onUnreadable) {
    return WriteLines(path, {ReadComputerName(onUnreadable), kReason});
}

}  // namespace environment
