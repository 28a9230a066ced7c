// What the install sequence's suites stand on, through the window or on the
// engine alone: an application "Lumera" registered with its folders, the
// server folder beside it, and the installer's working folder (the current
// one) holding the kit, the backup tool and a planted netsh.exe that must
// never run; the firewall stand-in as the system's netsh.exe; and what the
// service tool and the firewall command were asked.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "Places.h"
#include "WinTestSupport.h"
#include "archive/ArchiveReader.h"
#include "outside/Outside.h"

namespace sequencebed {

using namespace testsupport;

inline std::wstring Service64(const std::wstring& port) {
    return L"FirebirdServervelmora64b_" + port;
}
inline std::wstring Service32(const std::wstring& port) {
    return L"FirebirdServervelmora32b_" + port;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

inline std::wstring IniValue(const std::wstring& ini, const wchar_t* key) {
    wchar_t buf[512] = L"";
    GetPrivateProfileStringW(L"DATA", key, L"<none>", buf, 512, ini.c_str());
    return buf;
}

inline void ExtractKitInto(const std::wstring& folder) {
    archive::ArchiveReader zip;
    zip.FileName = KitArchive();
    zip.BaseDir = folder;
    zip.FileMasks.push_back(L"*.*");
    zip.OpenArchive();
    zip.ExtractFiles();
    zip.CloseArchive();
}

inline std::wstring SystemFolder() {
    wchar_t dir[MAX_PATH] = L"";
    GetSystemDirectoryW(dir, MAX_PATH);
    return std::wstring(dir) + L"\\";
}

// The firewall stand-in as the system's netsh.exe while the object lives;
// Wine's own comes back at the end. Wine runs its builtin netsh in place of
// the file unless the load order says "native" for netsh.exe.
class SystemFirewallStandIn {
public:
    SystemFirewallStandIn() {
        RegCreateKeyExW(HKEY_CURRENT_USER, kOverrides, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &overrides_, nullptr);
        RegSetValueExW(overrides_, L"netsh.exe", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(L"native"), sizeof L"native");
        if (!Exists(saved_)) CopyInto(program_, saved_);
        CopyInto(DoublesDir() + L"netsh.exe", program_);
        DeleteFileW(Log().c_str());
    }
    ~SystemFirewallStandIn() {
        RegDeleteValueW(overrides_, L"netsh.exe");
        RegCloseKey(overrides_);
        if (CopyInto(saved_, program_)) DeleteFileW(saved_.c_str());
        DeleteFileW(Log().c_str());
    }
    std::wstring Log() const { return SystemFolder() + L"netsh.log"; }

private:
    static constexpr wchar_t kOverrides[] = L"Software\\Wine\\DllOverrides";
    HKEY overrides_ = nullptr;
    std::wstring program_ = SystemFolder() + L"netsh.exe";
    std::wstring saved_ = SystemFolder() + L"netsh.exe.istrel-saved";
};

// Each suite registers instances on ports of its own, Port(0) to Port(9),
// which no other suite uses.
class SequenceBed : public ::testing::Test {
protected:
    explicit SequenceBed(int firstPort) : firstPort_(firstPort) {}

    void SetUp() override {
        app_ = root_ / L"Lumera\\";
        fb_ = root_ / L"firebird\\firebird_4_0_x64\\";
        exe_ = app_ + L"bin\\exe\\";
        ini_ = app_ + outside::kDataIni;
        for (const wchar_t* dir : {L"userdata\\comps\\", L"bin\\exe\\", L"bin\\system\\quenlet\\"})
            ASSERT_TRUE(MakeDirs(app_ + dir));
        places_.App().Set(app_);
        ASSERT_TRUE(CopyInto(KitArchive(), work_ / outside::kKitArchive));
        ASSERT_TRUE(CopyInto(DoublesDir() + L"netsh.exe", work_ / L"netsh.exe"));
        ASSERT_TRUE(WriteBytes(work_ / outside::kToolExe, "MZ backup tool stand-in"));
        // Started from its folder, as Istrel.exe is: a netsh.exe there must
        // not run.
        GetCurrentDirectoryW(MAX_PATH, savedCwd_);
        SetCurrentDirectoryW(work_.Path().c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryW(savedCwd_);
        for (int n = 0; n < 10; ++n) {
            ForgetService(Service64(Port(n)));
            ForgetService(Service32(Port(n)));
        }
    }

    std::wstring Port(int n) const { return std::to_wstring(firstPort_ + n); }

    // A server kept in the folder from an earlier installation: the kit,
    // firebird.conf with the port, data.ini, optionally its instance running.
    void InstallEarlierServer(const std::wstring& port, const std::wstring& mode, bool running) {
        ExtractKitInto(fb_);
        std::string conf =
            "#\r\nRemoteServicePort = " + ToUtf8(port) + "\r\nServerMode = Super\r\n";
        ASSERT_TRUE(WriteBytes(fb_ + L"firebird.conf", conf));
        WriteIni(port, L"C:\\old\\firebird.exe", mode);
        if (running) {
            RunTool(L"i", port);
            StartInstance(port);
        }
        DeleteFileW((fb_ + L"instsvc.log").c_str());
        DeleteFileW((fb_ + L"instsvc.dir.log").c_str());
    }
    // Another server, running for `port` from the folder `other`: its
    // executable one level below the folder that holds its firebird.conf.
    void RunOtherServer(const std::wstring& other, const std::wstring& port) {
        ASSERT_TRUE(MakeDirs(other + L"bin\\"));
        ASSERT_TRUE(CopyInto(DoublesDir() + L"instsvc.exe", other + L"bin\\instsvc.exe"));
        ASSERT_TRUE(CopyInto(DoublesDir() + L"firebird.exe", other + L"bin\\firebird.exe"));
        ASSERT_TRUE(WriteBytes(other + L"firebird.conf",
                               "#\r\nRemoteServicePort = " + ToUtf8(port) + "\r\n"));
        RunWait(L"\"" + other + L"bin\\instsvc.exe\" i -n velmora64b_" + port);
        RunWait(L"\"" + other + L"bin\\instsvc.exe\" sta -n velmora64b_" + port);
        ASSERT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(port)));
    }
    void WriteIni(const std::wstring& port, const std::wstring& server, const std::wstring& mode) {
        WritePrivateProfileStringW(L"DATA", L"PORT", port.c_str(), ini_.c_str());
        WritePrivateProfileStringW(L"DATA", L"FBSERVER", server.c_str(), ini_.c_str());
        WritePrivateProfileStringW(L"DATA", L"FBTYPE", mode.c_str(), ini_.c_str());
    }
    void RunTool(const std::wstring& action, const std::wstring& port) {
        RunWait(L"\"" + fb_ + L"instsvc.exe\" " + action + L" -n velmora64b_" + port);
    }
    // The folder's instance of `port` started and running. The previous
    // case's server of that port may still hold it on a loaded machine, and
    // a server that finds its port taken stops at once: started again.
    void StartInstance(const std::wstring& port) {
        for (int tries = 0; tries < 5 && ServiceState(Service64(port)) != SERVICE_RUNNING; ++tries) {
            if (tries) Sleep(1000);
            RunTool(L"sta", port);
        }
        ASSERT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(port)));
    }

    // The service tool's calls that replace the instance of one port by
    // that of another (or the same) port.
    static std::vector<std::string> Reinstalled(const std::string& from, const std::string& to) {
        return {"sto -n velmora64b_" + from, "r -n velmora64b_" + from, "i -n velmora64b_" + to,
                "sta -n velmora64b_" + to};
    }
    // What the service tool of the server folder was asked, as "action -n instance".
    std::vector<std::string> ToolCalls() const {
        std::vector<std::string> out;
        for (const std::string& line : Lines(ReadBytes(fb_ + L"instsvc.log"))) {
            // After the program, quoted or not.
            size_t n = line.find("instsvc.exe");
            if (n != std::string::npos) n = line.find(' ', n);
            out.push_back(n == std::string::npos ? line : line.substr(n + 1));
        }
        return out;
    }
    // The folders a service tool was started in, one a run.
    static std::vector<std::string> ToolDirs(const std::wstring& toolDir) {
        return Lines(ReadBytes(toolDir + L"instsvc.dir.log"));
    }
    // `runs` times the folder, as a program started there sees it.
    static std::vector<std::string> Times(size_t runs, const std::wstring& dir) {
        return std::vector<std::string>(runs, ToUtf8(dir.substr(0, dir.size() - 1)));
    }
    std::vector<std::string> FirewallCalls() const { return Lines(ReadBytes(netsh_.Log())); }
    std::string Conf() const { return ReadBytes(fb_ + L"firebird.conf"); }

    const int firstPort_;
    TempDir root_{L"seq"}, work_{L"inst"};
    ScratchPlaces places_{work_.Path()};
    SystemFirewallStandIn netsh_;
    std::wstring app_, fb_, exe_, ini_;
    wchar_t savedCwd_[MAX_PATH] = {};
};

}  // namespace sequencebed
