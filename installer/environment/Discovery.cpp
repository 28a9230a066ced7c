#include "environment/Discovery.h"

#include <psapi.h>

#include <cwchar>
#include <set>

#include "archive/ArchiveReader.h"
#include "environment/ConfigFiles.h"
#include "outside/Outside.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/UniqueHandle.h"

namespace environment {

namespace {

using platform::ContainsNoCase;

bool StartsWithNoCase(const std::wstring& s, const std::wstring& prefix) {
    return s.size() >= prefix.size() &&
           CompareStringOrdinal(s.data(), int(prefix.size()), prefix.data(), int(prefix.size()),
                                TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring ReadAppDir() {
    return platform::ReadRegString(HKEY_LOCAL_MACHINE, outside::kAppKey, outside::kAppDirValue)
        .value_or(L"");
}

bool IsFBInstalled(const std::wstring& folder) {
    return GetFileAttributesW((folder + outside::kServerExe).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FormatVersion(unsigned major, unsigned minor, unsigned release, int form) {
    wchar_t text[64];
    if (form == kVersionNumberForm) {
        swprintf(text, 64, L"%3u%3u%3u", major, minor, release);
        std::wstring out = text;
        for (wchar_t& c : out)
            if (c == L' ') c = L'0';
        return out;
    }
    if (form == kVersionDottedForm) {
        swprintf(text, 64, L"%u.%u.%u", major, minor, release);
        return text;
    }
    return L"";
}

std::wstring GetFileVersionText(const std::wstring& path, int form) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return L"";
    std::vector<BYTE> info(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, info.data())) return L"";
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO))
        return L"";
    return FormatVersion(HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                         HIWORD(fixed->dwFileVersionLS), form);
}

std::wstring GetZipFileVersion(const std::wstring& entry, const std::wstring& archive, int form) {
    if (GetFileAttributesW(archive.c_str()) == INVALID_FILE_ATTRIBUTES) return L"";
    std::wstring temp(MAX_PATH, L'\0');
    DWORD length = GetEnvironmentVariableW(L"temp", temp.data(), DWORD(temp.size()));
    if (length >= temp.size()) {
        temp.resize(length);
        length = GetEnvironmentVariableW(L"temp", temp.data(), DWORD(temp.size()));
    }
    temp.resize(length < temp.size() ? length : 0);
    {
        archive::ArchiveReader zip;
        zip.FileName = archive;
        zip.BaseDir = temp;
        zip.FileMasks = {entry};
        zip.OpenArchive();
        zip.ExtractFiles();
        zip.CloseArchive();
    }
    if (!temp.empty() && temp.back() != L'\\') temp += L'\\';
    const std::wstring extracted = temp + entry;
    std::wstring version;
    if (GetFileAttributesW(extracted.c_str()) != INVALID_FILE_ATTRIBUTES)
        version = GetFileVersionText(extracted, form);
    DeleteFileW(extracted.c_str());
    return version;
}

std::wstring ParentDir(const std::wstring& path) {
    try {
        std::wstring s = path;
        if (!s.empty() && s.back() == L'\\') s.pop_back();
        size_t cut = s.find_last_of(L"\\:");
        if (cut == std::wstring::npos) return L"";
        // A drive ("C:") stays itself; otherwise the delimiter goes with the name.
        std::wstring folder = s[cut] == L':' ? s.substr(0, cut + 1) : s.substr(0, cut);
        if (folder.empty() || folder.back() != L'\\') folder += L'\\';
        return folder;
    } catch (...) {
        return L"";
    }
}

std::wstring GetProgramFilesDir() {
    return platform::ReadRegString(HKEY_LOCAL_MACHINE, outside::kWindowsVersionKey,
                                   outside::kProgramFilesValue, KEY_WOW64_64KEY)
        .value_or(L"");
}

bool IsUserAdmin() {
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    platform::UniqueSid admins;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, admins.receive()))
        return false;
    BOOL member = FALSE;
    return CheckTokenMembership(nullptr, admins.get(), &member) && member;
}

bool EnableDebugPrivilege() {
    platform::UniqueKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.receive()))
        return false;
    TOKEN_PRIVILEGES privileges{};
    if (!LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &privileges.Privileges[0].Luid))
        return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    return AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr) != 0;
}

namespace {

// All zero when the service is missing or cannot be queried.
SERVICE_STATUS_PROCESS QueryService(const std::wstring& serviceName) {
    SERVICE_STATUS_PROCESS status{};
    platform::UniqueServiceHandle scm(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!scm) return status;
    platform::UniqueServiceHandle service(
        OpenServiceW(scm.get(), serviceName.c_str(), SERVICE_QUERY_STATUS));
    if (!service) return status;
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                              reinterpret_cast<BYTE*>(&status), sizeof status, &needed))
        return SERVICE_STATUS_PROCESS{};
    return status;
}

}  // namespace

DWORD GetServicePID(const std::wstring& serviceName) {
    return QueryService(serviceName).dwProcessId;
}

DWORD GetServiceState(const std::wstring& serviceName) {
    return QueryService(serviceName).dwCurrentState;
}

std::wstring GetProcessPath(DWORD pid) {
    platform::UniqueKernelHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) platform::ThrowLastError();
    std::vector<wchar_t> image(4096);
    DWORD length = GetProcessImageFileNameW(process.get(), image.data(), DWORD(image.size()));
    if (length == 0) platform::ThrowLastError();
    process.reset();
    return DevicePathToDrive(std::wstring(image.data(), length));
}

std::wstring MapDevicePath(const std::wstring& devicePath, const std::vector<DriveDevice>& drives) {
    for (const DriveDevice& drive : drives) {
        std::wstring prefix = drive.device + L"\\";
        if (StartsWithNoCase(devicePath, prefix))
            return drive.root + devicePath.substr(prefix.size());
    }
    return L"";
}

std::wstring DevicePathToDrive(const std::wstring& devicePath) {
    std::vector<wchar_t> roots(512);
    DWORD length = GetLogicalDriveStringsW(DWORD(roots.size()), roots.data());
    if (length > roots.size()) {
        roots.resize(length + 1);
        length = GetLogicalDriveStringsW(DWORD(roots.size()), roots.data());
    }
    // Devices are queried drive by drive, in list order, and the search
    // stops at the first match, so a later drive that cannot be queried does
    // not matter.
    for (const wchar_t* root = roots.data(); *root; root += wcslen(root) + 1) {
        std::wstring drive = root;
        if (!drive.empty() && drive.back() == L'\\') drive.pop_back();
        wchar_t device[128];
        if (!QueryDosDeviceW(drive.c_str(), device, 128)) platform::ThrowLastError();
        std::wstring match = MapDevicePath(devicePath, {{root, device}});
        if (!match.empty()) return match;
    }
    return L"";
}

bool EnumerateServices(const std::function<bool(const ServiceEntry&)>& visit, size_t bufferBytes) {
    platform::UniqueServiceHandle scm(
        OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE));
    if (!scm) return false;
    std::vector<ENUM_SERVICE_STATUSW> buffer(bufferBytes / sizeof(ENUM_SERVICE_STATUSW));
    // A long service list does not fit one buffer, and a server instance
    // beyond it must still be found: the enumeration goes on with the resume
    // handle. A manager that does not advance the handle (Wine) gets one more
    // call with a buffer large enough for the whole list; entries already
    // visited are skipped.
    std::set<std::wstring> seen;
    DWORD resume = 0;
    bool grown = false;
    bool any = false;
    for (;;) {
        const DWORD bytes = DWORD(buffer.size() * sizeof(ENUM_SERVICE_STATUSW));
        const DWORD before = resume;
        DWORD needed = 0, returned = 0;
        BOOL complete = EnumServicesStatusW(scm.get(), SERVICE_WIN32, SERVICE_STATE_ALL,
                                            buffer.data(), bytes, &needed, &returned, &resume);
        if (!complete && GetLastError() != ERROR_MORE_DATA) return any;
        for (DWORD i = 0; i < returned; ++i) {
            const ENUM_SERVICE_STATUSW& e = buffer[i];
            ServiceEntry entry{e.lpServiceName ? e.lpServiceName : L"",
                               e.lpDisplayName ? e.lpDisplayName : L"",
                               e.ServiceStatus.dwCurrentState};
            if (!seen.insert(entry.name).second) continue;
            any = true;
            if (!visit(entry)) return true;
        }
        if (complete) return any;
        if (resume == before || returned == 0) {
            if (grown) return any;
            grown = true;
            resume = 0;
            buffer.resize((size_t(needed) + bytes) / sizeof(ENUM_SERVICE_STATUSW) + 1);
        }
    }
}

DWORD FindFBService(const std::wstring& text) {
    // Every name contains the empty text; an empty port names no instance.
    if (text.empty()) return 0;
    DWORD state = 0;
    EnumerateServices([&](const ServiceEntry& e) {
        std::wstring key = e.name + e.displayName;
        if (ContainsNoCase(key, outside::kServiceMarkAny) && ContainsNoCase(key, text)) {
            state = e.currentState;
            return false;
        }
        return true;
    });
    return state;
}

bool IsPortFree(const std::wstring& folder, const std::wstring& port, std::wstring& otherFolder) {
    std::wstring own;
    if (IsFBInstalled(folder)) {
        own = ReadConfPort(folder + outside::kServerConf);
        if (own.empty()) own = outside::kStandardPort;
    }
    if (port == own) return true;

    bool free = true;
    EnumerateServices([&](const ServiceEntry& e) {
        if (e.currentState != SERVICE_RUNNING ||
            !ContainsNoCase(e.name + e.displayName, outside::kServiceMarkInstance))
            return true;
        // The instance's firebird.conf is looked for two levels above its
        // executable.
        const std::wstring instance = ParentDir(ParentDir(GetProcessPath(GetServicePID(e.name))));
        // An image on no drive letter has no folder; its port is not looked
        // for below the current directory.
        std::wstring p = instance.empty() ? L"" : ReadConfPort(instance + outside::kServerConf);
        if (p.empty()) p = outside::kStandardPort;
        if (p != port) return true;
        otherFolder = instance;
        free = false;
        return false;
    });
    return free;
}

}  // namespace environment
