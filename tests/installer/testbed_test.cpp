// The stand-ins behave like the components they play, observed through the
// real service manager, version resources and file locks of Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include "outside/Outside.h"
#include "WinTestSupport.h"

using namespace testsupport;

namespace {

// A server folder with the service tool and the server stand-ins in it.
class ServiceToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = dir_ / L"Program Files\\srv_x64\\";
        ASSERT_TRUE(MakeDirs(folder_));
        ASSERT_TRUE(CopyInto(DoublesDir() + L"instsvc.exe", folder_ + L"instsvc.exe"));
        ASSERT_TRUE(CopyInto(DoublesDir() + L"firebird.exe", folder_ + L"firebird.exe"));
        name_ = L"tb" + std::to_wstring(GetCurrentProcessId());
        service_ = L"FirebirdServer" + name_;
    }
    void TearDown() override {
        ForgetService(service_);
    }
    long Tool(const std::wstring& command) {
        return RunWait(L"\"" + folder_ + L"instsvc.exe\" " + command + L" -n " + name_);
    }
    std::wstring BinaryPath() {
        std::wstring out;
        SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE svc = OpenServiceW(scm, service_.c_str(), SERVICE_QUERY_CONFIG);
        DWORD need = 0;
        QueryServiceConfigW(svc, nullptr, 0, &need);
        std::string buf(need, '\0');
        auto* cfg = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buf.data());
        if (QueryServiceConfigW(svc, cfg, need, &need))
            out = std::wstring(cfg->lpBinaryPathName) + L"|" + cfg->lpDisplayName;
        CloseServiceHandle(svc);
        CloseServiceHandle(scm);
        return out;
    }

    TempDir dir_{L"svc"};
    std::wstring folder_, name_, service_;
};

TEST_F(ServiceToolTest, InstallStartStopRemoveThroughTheServiceManager) {
    EXPECT_EQ(0, Tool(L"i"));
    EXPECT_EQ(DWORD(SERVICE_STOPPED), ServiceState(service_));
    // Blank in the folder: the binary path is quoted.
    EXPECT_EQ(L"\"" + folder_ + L"firebird.exe\" -s " + name_ + L"|Firebird Server - " + name_,
              BinaryPath());

    EXPECT_EQ(0, Tool(L"sta"));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(service_));

    EXPECT_EQ(0, Tool(L"sto"));
    EXPECT_EQ(DWORD(SERVICE_STOPPED), ServiceState(service_));
    EXPECT_EQ(0, Tool(L"r"));
    EXPECT_EQ(0u, ServiceState(service_));

    std::string log = ReadBytes(folder_ + L"instsvc.log");
    for (const char* cmd : {" i -n ", " sta -n ", " sto -n ", " r -n "})
        EXPECT_NE(std::string::npos, log.find(cmd)) << cmd;
}

TEST_F(ServiceToolTest, MirrorsTheRealToolsExitCodes) {
    EXPECT_EQ(1, Tool(L"sta")) << "start of a missing service";
    EXPECT_EQ(1, Tool(L"sto")) << "stop of a missing service";
    EXPECT_EQ(0, Tool(L"r")) << "remove of a missing service";

    EXPECT_EQ(0, Tool(L"INSTALL"));  // commands are case-insensitive prefixes
    EXPECT_EQ(1, Tool(L"i")) << "install of an existing service";
    EXPECT_EQ(0, Tool(L"sto")) << "stop of a stopped service";

    EXPECT_EQ(0, Tool(L"start"));
    EXPECT_EQ(0, Tool(L"r")) << "remove of a running service";
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(service_)) << "a running service stays";
    EXPECT_EQ(0, Tool(L"STOP"));
    EXPECT_EQ(0, Tool(L"remove"));
    EXPECT_EQ(0u, ServiceState(service_));
}

std::wstring FileVersion(const std::wstring& path) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (!size) return L"";
    std::string buf(size, '\0');
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, buf.data()) ||
        !VerQueryValueW(buf.data(), L"\\", reinterpret_cast<void**>(&info), &len))
        return L"";
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
           std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." +
           std::to_wstring(LOWORD(info->dwFileVersionLS));
}

TEST(ClientLibraryStandIn, CarriesTheVersionItWasBuiltWith) {
    for (const wchar_t* v : {L"4.0.5.3140", L"4.0.2.0", L"10.2.1.0"})
        EXPECT_EQ(v, FileVersion(DoublesDir() + L"fbclient\\" + v + L"\\fbclient.dll"));
    EXPECT_EQ(L"", FileVersion(DoublesDir() + L"noversion.dll"));
}

TEST(FirewallStandIn, LogsItsCommandLine) {
    TempDir dir(L"fw");
    ASSERT_TRUE(CopyInto(DoublesDir() + L"netsh.exe", dir / L"netsh.exe"));
    std::wstring cmd = L"\"" + dir.Path() + L"netsh.exe\" firewall add allowedprogram \"C:\\a b\\firebird.exe\" \"Firebird SQL server\" ENABLE";
    EXPECT_EQ(0, RunWait(cmd));
    EXPECT_EQ(ToUtf8(cmd) + "\r\n", ReadBytes(dir / L"netsh.log"));
}

bool OpensExclusively(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

TEST(ApplicationStandIn, HoldsItsLockAndDescribesItselfUntilTold) {
    TempDir dir(L"app");
    std::wstring lck = dir / L"inst1.lck";
    std::wstring stop = dir / L"stop";
    ChildProcess app(L"\"" + DoublesDir() + L"appinstance.exe\" lock \"" + lck +
                     L"\" PC-UCTO Jana --stop-file \"" + stop + L"\" --ready \"" + dir.Path() + L"ready\"");
    ASSERT_TRUE(WaitForFile(dir / L"ready"));

    EXPECT_FALSE(OpensExclusively(lck));
    wchar_t value[64];
    GetPrivateProfileStringW(L"DATA", outside::kLciComputer, L"x", value, 64, (dir / L"inst1.lci").c_str());
    EXPECT_STREQ(L"PC-UCTO", value);
    GetPrivateProfileStringW(L"DATA", outside::kLciUser, L"x", value, 64, (dir / L"inst1.lci").c_str());
    EXPECT_STREQ(L"Jana", value);

    ASSERT_TRUE(WriteBytes(stop, ""));
    EXPECT_TRUE(app.Wait(10000));
    EXPECT_TRUE(OpensExclusively(lck));
}

TEST(ApplicationStandIn, HoldsTheExecutableForSomeSeconds) {
    TempDir dir(L"exe");
    std::wstring exe = dir / L"Kadrix.exe";
    ASSERT_TRUE(WriteBytes(exe, "MZ"));
    ChildProcess app(L"\"" + DoublesDir() + L"appinstance.exe\" hold \"" + exe +
                     L"\" --seconds 1 --ready \"" + dir.Path() + L"ready\"");
    ASSERT_TRUE(WaitForFile(dir / L"ready"));
    EXPECT_FALSE(OpensExclusively(exe));
    EXPECT_TRUE(app.Wait(10000));
    EXPECT_TRUE(OpensExclusively(exe));
}

}  // namespace
