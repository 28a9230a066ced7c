// Discovery against Wine's real registry, version resources, tokens,
// processes and service manager; services are played by the stand-in server.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

#include "WinTestSupport.h"
#include "environment/Messages.h"
#include "environment/Accounts.h"
#include "environment/DevicePaths.h"
#include "environment/Folders.h"
#include "environment/Ports.h"
#include "environment/Services.h"
#include "environment/Versions.h"
#include "outside/Outside.h"
#include "platform/Errors.h"
#include "platform/UniqueHandle.h"

using namespace environment;
using namespace testsupport;

namespace {

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.data(), int(a.size()), b.data(), int(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// ---- Application folder ---------------------------------------------------

// A key of the test's own in the place of the maker's.
class AppDirTest : public ::testing::Test {
protected:
    void TearDown() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, key_.c_str()); }
    void CreateKey() {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegCloseKey(key);
    }
    void SetValue(const std::wstring& value) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_LOCAL_MACHINE, key_.c_str(),
                                                 outside::kAppDirValue, REG_SZ, value.c_str(),
                                                 DWORD((value.size() + 1) * sizeof(wchar_t))));
    }
    const std::wstring key_ =
        L"SOFTWARE\\IstrelTests\\AppDir-" + std::to_wstring(GetCurrentProcessId());
};

TEST_F(AppDirTest, ReadsBaseDirAsStored) {
    SetValue(L"D:\\Účty\\zentaq\\");
    EXPECT_EQ(L"D:\\Účty\\zentaq\\", ReadAppDir(key_));
}

TEST_F(AppDirTest, MissingKeyOrValueGivesNothing) {
    EXPECT_EQ(std::nullopt, ReadAppDir(key_)) << "no key";
    CreateKey();
    EXPECT_EQ(std::nullopt, ReadAppDir(key_)) << "key without BaseDir";
}

TEST(ProgramFilesDir, IsTheSixtyFourBitFolder) {
    EXPECT_EQ(L"C:\\Program Files", GetProgramFilesDir());
}

// ---- Files and versions -----------------------------------------------------

TEST(IsFBInstalled, LooksForTheServerExecutableInTheFolder) {
    TempDir dir(L"inst");
    EXPECT_FALSE(IsFBInstalled(dir.Path()));
    ASSERT_TRUE(WriteBytes(dir / L"fbclient.dll", "MZ"));
    EXPECT_FALSE(IsFBInstalled(dir.Path()));
    ASSERT_TRUE(WriteBytes(dir / L"firebird.exe", "MZ"));
    EXPECT_TRUE(IsFBInstalled(dir.Path()));
}

struct VersionCase {
    const wchar_t* file;  // below the stand-ins' folder
    const wchar_t* number;
    const wchar_t* dotted;
};

class FileVersionTest : public ::testing::TestWithParam<VersionCase> {};

TEST_P(FileVersionTest, GivesBothForms) {
    std::wstring path = DoublesDir() + GetParam().file;
    EXPECT_EQ(GetParam().number, FormatVersion(ReadFileVersion(path), kVersionNumberForm));
    EXPECT_EQ(GetParam().dotted, FormatVersion(ReadFileVersion(path), kVersionDottedForm));
}

// What Windows' own reader (version.dll, which the installer does not load)
// says of the file.
std::optional<FileVersion> WindowsFileVersion(const std::wstring& path) {
    DWORD ignored = 0, size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> info(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (size == 0 || !GetFileVersionInfoW(path.c_str(), 0, size, info.data()) ||
        !VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length))
        return std::nullopt;
    return FileVersion{HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                       HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
}

TEST_P(FileVersionTest, AgreesWithWindowsOwnReader) {
    const std::wstring path = DoublesDir() + GetParam().file;
    const std::optional<FileVersion> ours = ReadFileVersion(path),
                                     windows = WindowsFileVersion(path);
    ASSERT_EQ(windows.has_value(), ours.has_value());
    if (!ours) return;
    EXPECT_EQ(std::tuple(windows->major, windows->minor, windows->release, windows->build),
              std::tuple(ours->major, ours->minor, ours->release, ours->build));
}

struct LibraryTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { FreeLibrary(h); }
};

TEST(FileVersion, OfALibraryInUse) {
    // The installed server's client library may be loaded, or held open
    // for reading, by a running program.
    const std::wstring path = DoublesDir() + L"fbclient\\4.0.5.3140\\fbclient.dll";
    platform::UniqueHandle<LibraryTraits> loaded(LoadLibraryW(path.c_str()));
    ASSERT_TRUE(loaded);
    platform::UniqueKernelHandle held(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(L"4.0.5", FormatVersion(ReadFileVersion(path), kVersionDottedForm));
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileVersionTest,
    ::testing::Values(VersionCase{L"fbclient\\4.0.5.3140\\fbclient.dll", L"004000005", L"4.0.5"},
                      VersionCase{L"fbclient\\10.2.1.0\\fbclient.dll", L"010002001", L"10.2.1"},
                      VersionCase{L"fbclient\\4.0.2.0\\fbclient.dll", L"004000002", L"4.0.2"},
                      VersionCase{L"noversion.dll", L"", L""},
                      VersionCase{L"no-such-file.dll", L"", L""}),
    [](const auto& info) {
        std::string name;
        for (const wchar_t* p = info.param.file; *p; ++p)
            if (iswalnum(*p)) name += char(*p);
        return name;
    });

TEST(FormatVersion, WidensComponentsAboveNineHundredNinetyNine) {
    EXPECT_EQ(L"0011000001", FormatVersion(1, 1000, 1, kVersionNumberForm));
    EXPECT_EQ(L"1.1000.1", FormatVersion(1, 1000, 1, kVersionDottedForm));
}

TEST(ParentDir, GivesTheFolderAboveOrTheFileFolder) {
    EXPECT_EQ(L"C:\\velmora\\", ParentDir(L"C:\\velmora\\zentaq\\"));
    EXPECT_EQ(L"C:\\velmora\\", ParentDir(L"C:\\velmora\\zentaq"));
    EXPECT_EQ(L"C:\\fb\\", ParentDir(L"C:\\fb\\firebird.exe"));
    EXPECT_EQ(L"C:\\", ParentDir(L"C:\\fb\\"));
    EXPECT_EQ(L"C:\\", ParentDir(L"C:\\"));
    EXPECT_EQ(L"C:\\", ParentDir(L"C:"));
    EXPECT_EQ(L"\\\\srv\\share\\", ParentDir(L"\\\\srv\\share\\fb\\"));
    // Applied twice to a server executable: the folder above its own.
    EXPECT_EQ(L"C:\\Program Files\\Firebird\\",
              ParentDir(ParentDir(L"C:\\Program Files\\Firebird\\Firebird_4_0\\firebird.exe")));
    EXPECT_EQ(L"", ParentDir(L"firebird.exe")) << "no folder part";
    EXPECT_EQ(L"", ParentDir(L""));
}

// ---- Tokens -------------------------------------------------------------------

// Independent reading of the token: is this SID an enabled group / this
// privilege enabled?
std::vector<BYTE> TokenInfo(TOKEN_INFORMATION_CLASS kind) {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<BYTE> buf(size);
    GetTokenInformation(token, kind, buf.data(), size, &size);
    CloseHandle(token);
    return buf;
}

TEST(Tokens, AdminMembershipMatchesTheTokenGroups) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins));
    auto buf = TokenInfo(TokenGroups);
    auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buf.data());
    bool enabledMember = false;
    for (DWORD i = 0; i < groups->GroupCount; ++i)
        if (EqualSid(groups->Groups[i].Sid, admins) &&
            (groups->Groups[i].Attributes & SE_GROUP_ENABLED))
            enabledMember = true;
    FreeSid(admins);
    EXPECT_EQ(enabledMember, IsElevatedAdministrator());
}

TEST(Tokens, DebugPrivilegeEndsUpEnabled) {
    ASSERT_TRUE(EnableDebugPrivilege());
    LUID debug{};
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &debug));
    auto buf = TokenInfo(TokenPrivileges);
    auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(buf.data());
    bool enabled = false;
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const auto& p = privileges->Privileges[i];
        if (p.Luid.LowPart == debug.LowPart && p.Luid.HighPart == debug.HighPart)
            enabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    EXPECT_TRUE(enabled);
}

// ---- Processes and devices -----------------------------------------------------

TEST(MapDevicePath, DeviceNamesSharingAPrefixMapToTheirOwnDrive) {
    std::vector<DriveDevice> drives = {{L"C:\\", L"\\Device\\HarddiskVolume1"},
                                       {L"D:\\", L"\\Device\\HarddiskVolume10"}};
    EXPECT_EQ(L"D:\\fb\\firebird.exe",
              MapDevicePath(L"\\Device\\HarddiskVolume10\\fb\\firebird.exe", drives));
    EXPECT_EQ(L"C:\\fb\\firebird.exe",
              MapDevicePath(L"\\Device\\HarddiskVolume1\\fb\\firebird.exe", drives));
    std::vector<DriveDevice> reversed(drives.rbegin(), drives.rend());
    EXPECT_EQ(L"D:\\fb\\firebird.exe",
              MapDevicePath(L"\\Device\\HarddiskVolume10\\fb\\firebird.exe", reversed));
    EXPECT_EQ(L"C:\\fb\\firebird.exe",
              MapDevicePath(L"\\Device\\HarddiskVolume1\\fb\\firebird.exe", reversed));
}

TEST(MapDevicePath, ComparesWithoutCaseAndNeedsTheDelimiter) {
    std::vector<DriveDevice> drives = {{L"E:\\", L"\\Device\\HarddiskVolume2"}};
    EXPECT_EQ(L"E:\\Srv\\x.exe", MapDevicePath(L"\\DEVICE\\harddiskvolume2\\Srv\\x.exe", drives));
    EXPECT_EQ(std::nullopt, MapDevicePath(L"\\Device\\HarddiskVolume2", drives));
    EXPECT_EQ(std::nullopt, MapDevicePath(L"\\Device\\HarddiskVolume3\\x.exe", drives));
    EXPECT_EQ(std::nullopt, MapDevicePath(L"\\Device\\HarddiskVolume2\\x.exe", {}));
}

std::wstring OwnExecutable() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

TEST(ProcessPath, OfThisProcessIsItsExecutable) {
    const std::wstring path = GetProcessPath(GetCurrentProcessId()).value_or(L"");
    EXPECT_TRUE(SameText(OwnExecutable(), path)) << ToUtf8(path);
}

TEST(ProcessPath, DevicePathOfEveryDriveComesBack) {
    wchar_t device[128];
    ASSERT_TRUE(QueryDosDeviceW(L"C:", device, 128));
    EXPECT_EQ(L"C:\\windows\\x.dll", DevicePathToDrive(std::wstring(device) + L"\\windows\\x.dll"));
    ASSERT_TRUE(QueryDosDeviceW(L"Z:", device, 128));
    EXPECT_EQ(L"Z:\\tmp", DevicePathToDrive(std::wstring(device) + L"\\tmp"));
    EXPECT_EQ(std::nullopt, DevicePathToDrive(L"\\Device\\NoSuchVolume77\\x"));
}

TEST(ProcessPath, OfAMissingProcessRaisesTheSystemError) {
    // Process identifiers are multiples of four; this one is never handed out.
    try {
        GetProcessPath(0xFFFFFFF0u);
        FAIL() << "no error raised";
    } catch (const platform::SystemError& e) {
        EXPECT_NE(0u, e.Code());
        EXPECT_NE(std::wstring::npos, e.Message().find(platform::SystemErrorText(e.Code())));
    }
}

// ---- Services --------------------------------------------------------------------

// Services created for a test and removed afterwards.
class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(MakeDirs(folder_)); }
    void TearDown() override {
        for (const auto& name : created_) ForgetService(name);
    }
    // The stand-in server and service tool in a server folder below `sub`.
    std::wstring ServerFolder(const std::wstring& sub) {
        std::wstring f = dir_ / sub;
        EXPECT_TRUE(MakeDirs(f));
        EXPECT_TRUE(CopyInto(DoublesDir() + L"instsvc.exe", f + L"instsvc.exe"));
        EXPECT_TRUE(CopyInto(DoublesDir() + L"firebird.exe", f + L"firebird.exe"));
        return f;
    }
    // Registers (and starts) an instance through the stand-in service tool.
    void Instance(const std::wstring& serverFolder, const std::wstring& name, bool start) {
        created_.push_back(L"FirebirdServer" + name);
        std::wstring tool = L"\"" + serverFolder + L"instsvc.exe\" ";
        ASSERT_EQ(0, RunWait(tool + L"i -n " + name));
        if (start) {
            ASSERT_EQ(0, RunWait(tool + L"sta -n " + name));
        }
    }
    // A service created directly, with any names.
    void Plain(const std::wstring& name, const std::wstring& display) {
        SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
        ASSERT_NE(nullptr, scm);
        std::wstring binary = L"\"" + DoublesDir() + L"firebird.exe\" -s " + name;
        SC_HANDLE svc =
            CreateServiceW(scm, name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                           binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
        DWORD err = GetLastError();
        CloseServiceHandle(scm);
        ASSERT_NE(nullptr, svc) << "CreateService " << err;
        CloseServiceHandle(svc);
        created_.push_back(name);
    }

    TempDir dir_{L"svc"};
    std::wstring folder_ = dir_ / L"fb_x64\\";
    std::vector<std::wstring> created_;
};

// An instance is its whole name, as the service tool names its service:
// no other port and no other prefix finds it.
TEST_F(ServiceTest, FindsAnInstanceByItsExactNameAndGivesItsState) {
    std::wstring srv = ServerFolder(L"a\\");
    EXPECT_EQ(0u, FindFBService(L"velmora64b_47311"));
    Instance(srv, L"velmora64b_47311", false);
    EXPECT_EQ(DWORD(SERVICE_STOPPED), FindFBService(L"velmora64b_47311"));
    EXPECT_EQ(DWORD(SERVICE_STOPPED), FindFBService(L"VELMORA64B_47311")) << "case does not matter";
    for (const wchar_t* other : {L"velmora64b_4731", L"velmora64b_473119", L"velmora32b_47311",
                                 L"47311", L"velmora64b_", L""})
        EXPECT_EQ(0u, FindFBService(other)) << ToUtf8(other);
    ASSERT_EQ(0, RunWait(L"\"" + srv + L"instsvc.exe\" sta -n velmora64b_47311"));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), FindFBService(L"velmora64b_47311"));
}

TEST_F(ServiceTest, ServiceProcessAndItsExecutable) {
    std::wstring srv = ServerFolder(L"b c\\");
    Instance(srv, L"velmora64b_47331", true);
    std::optional<DWORD> pid = GetServicePID(L"FirebirdServervelmora64b_47331");
    ASSERT_TRUE(pid);
    const std::wstring exe = GetProcessPath(*pid).value_or(L"");
    EXPECT_TRUE(SameText(srv + L"firebird.exe", exe)) << ToUtf8(exe);

    Instance(srv, L"velmora64b_47332", false);
    EXPECT_EQ(std::nullopt, GetServicePID(L"FirebirdServervelmora64b_47332")) << "stopped";
    EXPECT_EQ(std::nullopt, GetServicePID(L"FirebirdServerNoSuch47339")) << "missing";
}

// A server folder is known when a registered instance's program lies in
// it, quoted or not in the binary path; every other folder is not, however
// its path is written.
TEST_F(ServiceTest, OnlyAFolderARegisteredInstanceRunsFromIsAKnownServerFolder) {
    using enum ServerFolderTrust;
    const std::wstring plain = ServerFolder(L"known\\"), blank = ServerFolder(L"known b\\");
    Instance(plain, L"velmora64b_47391", false);
    Instance(blank, L"velmora64b_47392", false);
    for (const std::wstring& folder :
         {plain, blank, dir_ / L"KNOWN\\", dir_ / L"known b\\..\\known\\"}) {
        const ServerFolderCheck check = CheckServerFolder(folder);
        EXPECT_EQ(kKnown, check.trust) << ToUtf8(folder);
        EXPECT_EQ(L"", check.reason);
    }

    const std::wstring notTaken = environment::kNotTaken;
    const std::wstring noInstance = environment::kNoInstance;
    // A server nobody registered (what data.ini may name), and the folder
    // above a registered one.
    const std::wstring planted = ServerFolder(L"planted\\");
    ASSERT_TRUE(CopyInto(DoublesDir() + L"firebird.exe", dir_ / L"firebird.exe"));
    for (const std::wstring& folder : {planted, dir_ / L"known\\..\\planted\\", dir_.Path()}) {
        const ServerFolderCheck check = CheckServerFolder(folder);
        EXPECT_EQ(kUnknown, check.trust) << ToUtf8(folder);
        EXPECT_EQ(L"Priečinok " + folder + notTaken + noInstance, check.reason);
    }

    // Neither a UNC nor a device path is touched; nor is a drive's root.
    for (const std::wstring& folder :
         std::vector<std::wstring>{L"\\\\srv\\share\\fb\\", L"\\\\?\\" + plain, L"\\\\.\\" + plain,
                                   L"fb\\", L"C:fb\\", L"C:\\", L"C:\\..\\"}) {
        const ServerFolderCheck check = CheckServerFolder(folder);
        EXPECT_EQ(kUnknown, check.trust) << ToUtf8(folder);
        EXPECT_EQ(
            L"Priečinok " + folder + notTaken + L"nie je to priečinok na lokálnom pevnom disku.",
            check.reason);
    }

    // No server in it: nothing to say.
    for (const std::wstring& folder : {dir_ / L"empty\\", std::wstring()})
        EXPECT_EQ(kNoServer, CheckServerFolder(folder).trust) << ToUtf8(folder);
}

// Every service but the server instances, which suites beside this one
// register and remove while it runs.
std::set<std::wstring> AllServiceNames(size_t bufferBytes) {
    std::set<std::wstring> names;
    size_t seen = 0;
    EXPECT_TRUE(EnumerateServices(
        [&](const ServiceEntry& e) {
            if (e.name.rfind(L"FirebirdServer", 0) != 0) {
                EXPECT_TRUE(names.insert(e.name).second) << "seen twice: " << ToUtf8(e.name);
            }
            return ++seen < 10000;
        },
        bufferBytes));
    return names;
}

TEST_F(ServiceTest, ASmallBufferStillSeesEveryService) {
    auto all = AllServiceNames(1 << 20);
    ASSERT_GT(all.size(), 5u);
    EXPECT_EQ(all, AllServiceNames(1024));
}

// More services than one 48,048-byte buffer holds: an instance listed after
// them is seen all the same (its folder is a known server folder).
TEST_F(ServiceTest, AnInstanceBeyondTheFirstBufferIsFound) {
    std::wstring longText(240, L'p');
    for (int i = 0; i < 100; ++i) {
        wchar_t name[32];
        swprintf(name, 32, L"IstrelPad%03d", i);
        Plain(name, longText + name);
    }
    const auto instances = [] {
        const std::vector<std::wstring> programs = ServerInstancePrograms();
        return std::count(programs.begin(), programs.end(), DoublesDir() + L"firebird.exe");
    };
    const auto before = instances();
    Plain(L"zzFirebirdServervelmora64b_47341", L"Firebird Server - velmora64b_47341");

    // Precondition: one enumeration call does not reach the instance.
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
    std::vector<ENUM_SERVICE_STATUSW> buf(kServiceBufferBytes / sizeof(ENUM_SERVICE_STATUSW));
    DWORD needed = 0, returned = 0, resume = 0;
    BOOL complete =
        EnumServicesStatusW(scm, SERVICE_WIN32, SERVICE_STATE_ALL, buf.data(),
                            DWORD(buf.size() * sizeof buf[0]), &needed, &returned, &resume);
    CloseServiceHandle(scm);
    ASSERT_FALSE(complete);
    for (DWORD i = 0; i < returned; ++i)
        ASSERT_STRNE(L"zzFirebirdServervelmora64b_47341", buf[i].lpServiceName);

    EXPECT_EQ(before + 1, instances());
}

}  // namespace

// ---- Ports of running instances -----------------------------------------------------

// (A port line counts only after a line break, as in the kit's file.)
class PortTest : public ServiceTest {
protected:
    // An instance folder holding firebird.conf (when `conf` is given), with
    // the executable one level further down, registered and started.
    std::wstring RunningInstance(const std::wstring& sub, const std::wstring& name,
                                 const char* conf, bool start = true) {
        std::wstring instance = dir_ / sub;
        std::wstring srv = ServerFolder(sub + L"bin\\");
        if (conf) {
            EXPECT_TRUE(WriteBytes(instance + L"firebird.conf", conf));
        }
        Instance(srv, name, start);
        return instance;
    }
    static Port P(const wchar_t* text) { return *Port::Parse(text); }
};

TEST_F(PortTest, AServerInTheFolderServingThePortNeedsNoServices) {
    // Another running instance on the same port does not matter here.
    RunningInstance(L"other\\", L"velmora64b_47351", "# other\r\nRemoteServicePort = 47351\r\n");
    std::wstring own = ServerFolder(L"own\\");
    ASSERT_TRUE(WriteBytes(own + L"firebird.conf",
                           "#RemoteServicePort = 3050\r\nRemoteServicePort = 47351\r\n"));
    std::wstring other = L"untouched";
    EXPECT_TRUE(IsPortFree(own, P(L"47351"), other));
    EXPECT_EQ(L"untouched", other);

    std::wstring plain = ServerFolder(L"plain\\");  // no port line: 3050
    ASSERT_TRUE(WriteBytes(plain + L"firebird.conf", "#RemoteServicePort = 3050\r\n"));
    EXPECT_TRUE(IsPortFree(plain, P(L"3050"), other));
    EXPECT_EQ(L"untouched", other);

    std::wstring padded = ServerFolder(L"padded\\");
    ASSERT_TRUE(WriteBytes(padded + L"firebird.conf", "#\r\nRemoteServicePort = 047351\r\n"));
    EXPECT_TRUE(IsPortFree(padded, P(L"47351"), other)) << "the number counts, not its digits";
    EXPECT_EQ(L"untouched", other);
}

TEST_F(PortTest, ARunningInstanceOnThePortNamesItsFolderTwoLevelsUp) {
    std::wstring instance =
        RunningInstance(L"inst a\\", L"velmora64b_47361", "#\r\nRemoteServicePort = 47361\r\n");
    std::wstring other;
    EXPECT_FALSE(IsPortFree(dir_ / L"empty\\", P(L"47361"), other));
    EXPECT_TRUE(SameText(instance, other)) << ToUtf8(other);

    // A server in the chosen folder configured for another port: the
    // services are examined all the same.
    std::wstring own = ServerFolder(L"own\\");
    ASSERT_TRUE(WriteBytes(own + L"firebird.conf", "#\r\nRemoteServicePort = 47369\r\n"));
    other.clear();
    EXPECT_FALSE(IsPortFree(own, P(L"47361"), other));
    EXPECT_TRUE(SameText(instance, other));

    other = L"untouched";
    EXPECT_TRUE(IsPortFree(dir_ / L"empty\\", P(L"4736"), other)) << "ports compare exactly";
    EXPECT_EQ(L"untouched", other);
}

TEST_F(PortTest, AConfBesideTheExecutableIsNotSeenAndThePortCountsAsStandard) {
    std::wstring instance = RunningInstance(L"beside\\", L"velmora64b_47371", nullptr);
    ASSERT_TRUE(WriteBytes(instance + L"bin\\firebird.conf", "#\r\nRemoteServicePort = 47371\r\n"));
    std::wstring other;
    EXPECT_TRUE(IsPortFree(dir_ / L"empty\\", P(L"47371"), other));
    EXPECT_FALSE(IsPortFree(dir_ / L"empty\\", P(L"3050"), other));
    EXPECT_TRUE(SameText(instance, other)) << ToUtf8(other);
}

TEST_F(PortTest, StoppedInstancesDoNotHoldAPort) {
    RunningInstance(L"stopped\\", L"velmora64b_47381", "#\r\nRemoteServicePort = 47381\r\n", false);
    std::wstring other;
    EXPECT_TRUE(IsPortFree(dir_ / L"empty\\", P(L"47381"), other));
}

// ---- Version inside the kit ---------------------------------------------------------

class ZipVersionTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A temp folder of our own, so "nothing left behind" can be seen.
        wchar_t old[MAX_PATH];
        DWORD n = GetEnvironmentVariableW(L"temp", old, MAX_PATH);
        saved_ = std::wstring(old, n);
        SetEnvironmentVariableW(L"temp", temp_.Path().c_str());
    }
    void TearDown() override { SetEnvironmentVariableW(L"temp", saved_.c_str()); }
    bool TempIsEmpty() {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((temp_.Path() + L"*").c_str(), &fd);
        bool empty = true;
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = fd.cFileName;
                if (name != L"." && name != L"..") empty = false;
            } while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        return empty;
    }
    TempDir temp_{L"ztemp"};
    std::wstring saved_;
};

TEST_F(ZipVersionTest, ReadsTheClientLibraryOfTheKitAndLeavesNothing) {
    const std::optional<FileVersion> version = ReadEntryVersion(KitArchive(), L"fbclient.dll");
    ASSERT_TRUE(version);
    EXPECT_EQ(L"004000005", FormatVersion(*version, kVersionNumberForm));
    EXPECT_EQ(L"4.0.5", FormatVersion(*version, kVersionDottedForm));
    EXPECT_TRUE(TempIsEmpty());
}

TEST_F(ZipVersionTest, AMissingArchiveOrEntryGivesNothing) {
    EXPECT_FALSE(ReadEntryVersion(temp_.Path() + L"missing.zip", L"fbclient.dll"));
    EXPECT_FALSE(ReadEntryVersion(KitArchive(), L"gds32.dll"));
    EXPECT_FALSE(ReadEntryVersion(KitArchive(), L"firebird.conf")) << "no version resource";
    EXPECT_TRUE(TempIsEmpty());
}
