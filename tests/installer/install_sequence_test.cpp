// The install sequence behind "Dokončiť", in this process against real
// folders, the registry, the service manager and the stand-in kit, service
// tool and firewall command. Dialogs are answered at the toolkit's seam.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "Places.h"
#include "Later.h"
#include "ScriptedUi.h"
#include "ZipBuilder.h"
#include "WinTestSupport.h"
#include "environment/Messages.h"
#include "engine/Messages.h"
#include "archive/ArchiveReader.h"
#include "engine/Journal.h"
#include "engine/Transaction.h"
#include "engine/CommandLines.h"
#include "engine/Processes.h"
#include "environment/Accounts.h"
#include "wizard/NewFrame.h"
#include "outside/Outside.h"
#include "platform/Errors.h"
#include "ComputerName.h"
#include "wizard/Dialogs.h"
#include "wizard/Wizard.h"
#include "toolkit/Application.h"

using namespace testsupport;
using wizard::TWizard;

namespace {

using engine::kGdsDeleteError;
using engine::kNothingLeft;
using engine::kRestored;
using engine::kServerInUse;
const std::string kOldClient = "old client library";

// Ports of this suite; no other suite registers instances for them.
std::wstring Port(int n) {
    return std::to_wstring(47100 + n);
}

std::wstring Service64(const std::wstring& port) {
    return L"FirebirdServervelmora64b_" + port;
}
std::wstring Service32(const std::wstring& port) {
    return L"FirebirdServervelmora32b_" + port;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

std::wstring IniValue(const std::wstring& ini, const wchar_t* key) {
    wchar_t buf[512] = L"";
    GetPrivateProfileStringW(L"DATA", key, L"<none>", buf, 512, ini.c_str());
    return buf;
}

void ExtractKitInto(const std::wstring& folder) {
    archive::ArchiveReader zip;
    zip.FileName = KitArchive();
    zip.BaseDir = folder;
    zip.FileMasks.push_back(L"*.*");
    zip.OpenArchive();
    zip.ExtractFiles();
    zip.CloseArchive();
}

int64_t KitTotal() {
    archive::ArchiveReader zip;
    zip.FileName = KitArchive();
    zip.OpenArchive();
    int64_t total = 0;
    archive::TZFArchiveItem item;
    for (bool more = zip.FindFirst(L"*.*", item, archive::faAnyFile & ~archive::faDirectory); more;
         more = zip.FindNext(item))
        total += item.UncompressedSize;
    return total;
}

std::wstring SystemFolder() {
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

// An application "Lumera" registered in the registry with its folders, the
// server folder beside it, and the installer's working folder holding the
// kit, the backup tool and a planted netsh.exe that must never run.
class InstallSequenceTest : public ::testing::Test {
protected:
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

    std::unique_ptr<TWizard> Make(std::vector<std::wstring> args = {}) {
        auto w = std::make_unique<TWizard>(places_.Places(), std::move(args));
        return w;
    }
    // The page as the user leaves it.
    void Choose(TWizard& w, bool install, const std::wstring& port, toolkit::RadioButton* mode,
                const std::wstring& folder = L"") {
        w.NewFrame->chFB->SetChecked(install);
        w.NewFrame->lAppInfoFolder->SetCaption(app_);
        w.NewFrame->edFbFolder->SetText(folder);
        w.NewFrame->edPort->SetText(port);
        if (mode) mode->SetChecked(true);
    }

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
            RunTool(L"sta", port);
            ASSERT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(port)));
        }
        DeleteFileW((fb_ + L"instsvc.log").c_str());
    }
    void WriteIni(const std::wstring& port, const std::wstring& server, const std::wstring& mode) {
        WritePrivateProfileStringW(L"DATA", L"PORT", port.c_str(), ini_.c_str());
        WritePrivateProfileStringW(L"DATA", L"FBSERVER", server.c_str(), ini_.c_str());
        WritePrivateProfileStringW(L"DATA", L"FBTYPE", mode.c_str(), ini_.c_str());
    }
    void RunTool(const std::wstring& action, const std::wstring& port) {
        RunWait(L"\"" + fb_ + L"instsvc.exe\" " + action + L" -n velmora64b_" + port);
    }

    // What the service tool of the server folder was asked, as "action port".
    // The service tool's calls that replace the instance of one port by
    // that of another (or the same) port.
    static std::vector<std::string> Reinstalled(const std::string& from, const std::string& to) {
        return {"sto -n velmora64b_" + from, "r -n velmora64b_" + from, "i -n velmora64b_" + to,
                "sta -n velmora64b_" + to};
    }
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
    std::vector<std::string> FirewallCalls() const { return Lines(ReadBytes(netsh_.Log())); }
    std::string Conf() const { return ReadBytes(fb_ + L"firebird.conf"); }
    bool OnEndPage(const TWizard& w) const {
        return w.m_ActiveFrame == w.EndFrame.get() && w.EndFrame->Visible() &&
               !w.NewFrame->Visible() && w.OK->Enabled() && w.OK->Caption() == L"Koniec" &&
               !w.Back->Visible() && !w.Next->Visible() && !w.Cancel->Visible();
    }
    bool StillOnParameters(const TWizard& w) const {
        return w.m_ActiveFrame == w.NewFrame.get() && w.NewFrame->Visible() && w.OK->Enabled() &&
               w.OK->Caption() == L"Dokončiť" && !w.Closed();
    }

    toolkit::Application application_;
    ScriptedUi ui_;
    ScratchPlaces places_;
    SystemFirewallStandIn netsh_;
    TempDir root_{L"seq"}, work_{L"inst"};
    std::wstring app_, fb_, exe_, ini_;
    wchar_t savedCwd_[MAX_PATH] = {};
};

// ---- A new server ----------------------------------------------------------------------

TEST_F(InstallSequenceTest, FreshInstallPutsTheServerTheClientAndTheToolInPlace) {
    ASSERT_TRUE(WriteBytes(exe_ + L"gds32.dll", kOldClient));
    auto w = Make();
    w->Show();
    // Leading zeros are dropped wherever the port goes.
    Choose(*w, true, L"00" + Port(0), w->NewFrame->gSC);
    w->OKClick();

    EXPECT_TRUE(ui_.messages.empty()) << ToUtf8(ui_.messages[0].text);
    // The server folder defaults to "firebird\firebird_4_0_x64\" beside the application.
    for (const wchar_t* entry : outside::kKitEntries)
        EXPECT_TRUE(Exists(fb_ + entry)) << ToUtf8(entry);
    std::string conf = Conf();
    EXPECT_NE(std::string::npos, conf.find("\r\nServerMode = SuperClassic\r\n"));
    EXPECT_NE(std::string::npos, conf.find("\r\nDataTypeCompatibility = 3.0\r\n"));
    EXPECT_NE(std::string::npos, conf.find("\r\n#UdfAccess = Restrict UDF;" + ToUtf8(app_) +
                                           "bin\\system\\udf\\64\r\n"));
    EXPECT_NE(std::string::npos, conf.find("\r\nRemoteServicePort = " + ToUtf8(Port(0)) + "\r\n"));

    EXPECT_EQ((std::vector<std::string>{"i -n velmora64b_" + ToUtf8(Port(0)),
                                        "sta -n velmora64b_" + ToUtf8(Port(0))}),
              ToolCalls());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(0))));
    EXPECT_EQ((std::vector<std::string>{ToUtf8(SystemFolder()) +
                                        "netsh.exe firewall add allowedprogram \"" + ToUtf8(fb_) +
                                        "firebird.exe\" \"Firebird SQL server\" ENABLE"}),
              FirewallCalls());
    EXPECT_FALSE(Exists(work_ / L"netsh.log")) << "the netsh.exe beside the installer ran";

    // The client library of the new server replaces the old one.
    std::string client = ReadBytes(fb_ + L"32b\\fbclient.dll");
    EXPECT_EQ(client, ReadBytes(exe_ + L"gds32.dll"));
    EXPECT_EQ(client, ReadBytes(exe_ + L"fbclient.dll"));
    EXPECT_EQ(ReadBytes(fb_ + L"firebird.msg"), ReadBytes(exe_ + L"firebird.msg"));
    EXPECT_EQ(ReadBytes(fb_ + L"32b\\msvcp140.dll"), ReadBytes(exe_ + L"msvcp140.dll"));
    EXPECT_EQ(ReadBytes(fb_ + L"32b\\vcruntime140.dll"), ReadBytes(exe_ + L"vcruntime140.dll"));
    EXPECT_EQ("MZ backup tool stand-in", ReadBytes(app_ + L"bin\\system\\quenlet\\Quenlet.exe"));

    EXPECT_EQ(Port(0), IniValue(ini_, L"PORT"));
    EXPECT_EQ(fb_ + L"firebird.exe", IniValue(ini_, L"FBSERVER"));
    EXPECT_EQ(L"SC", IniValue(ini_, L"FBTYPE"));

    // The bar's maximum is the kit's size, reached exactly at the end.
    EXPECT_EQ(KitTotal(), w->ProgressFrame->pbSetup->Max());
    EXPECT_EQ(KitTotal(), w->ProgressFrame->pbSetup->Position());
    EXPECT_EQ(L"Inštalácia SQL servera", w->ProgressFrame->lStatus->Caption());
    EXPECT_TRUE(OnEndPage(*w));

    // Markers hold the application still until "Koniec" closes the wizard.
    EXPECT_TRUE(Exists(app_ + L"userdata\\vorsel.stop"));
    SendMessageW(w->OK->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(w->Closed());
    EXPECT_EQ(wizard::kExitDone, w->Run().m_nExitCode);
    EXPECT_FALSE(Exists(app_ + L"userdata\\vorsel.stop"));
    EXPECT_FALSE(Exists(work_ / outside::kKitArchive));
}

TEST_F(InstallSequenceTest, FolderWithoutX64GetsThe32BitInstanceName) {
    std::wstring folder = root_ / L"Server SQL";  // typed without the trailing "\"
    auto w = Make();
    Choose(*w, true, Port(1), w->NewFrame->gSS, folder);
    w->OKClick();

    fb_ = folder + L"\\";
    EXPECT_EQ((std::vector<std::string>{"i -n velmora32b_" + ToUtf8(Port(1)),
                                        "sta -n velmora32b_" + ToUtf8(Port(1))}),
              ToolCalls());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service32(Port(1))));
    // The folder has a blank: the tool is started by its quoted path.
    EXPECT_EQ("\"" + ToUtf8(fb_) + "instsvc.exe\" i -n velmora32b_" + ToUtf8(Port(1)),
              Lines(ReadBytes(fb_ + L"instsvc.log")).at(0));
    EXPECT_NE(std::string::npos, Conf().find("\r\nServerMode = Super\r\n"));
    EXPECT_EQ(L"SS", IniValue(ini_, L"FBTYPE"));
    EXPECT_TRUE(OnEndPage(*w));
}

TEST_F(InstallSequenceTest, UnattendedRunLogsOkAndCloses) {
    std::wstring log = std::wstring(outside::kMakerDir) + outside::kSetupLog;
    bool madeMakerDir = !Exists(outside::kMakerDir);
    MakeDirs(std::wstring(outside::kMakerDir) + L"userdata\\");
    DeleteFileW(log.c_str());
    {
        auto w = Make({L"/S"});
        Choose(*w, true, Port(2), w->NewFrame->gSS);
        w->Show();
        EXPECT_TRUE(w->Closed());
        EXPECT_TRUE(toolkit::App().Terminated());
        EXPECT_TRUE(ui_.messages.empty());
        EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(2))));
        EXPECT_EQ(Port(2), IniValue(ini_, L"PORT"));
        w->CloseLog();
    }
    std::string bytes = ReadBytes(log);
    // "dd.mm.yyyy hh:nn:ss" CR LF "OK" CR LF in UTF-16LE.
    ASSERT_EQ(size_t(2 * (19 + 2 + 2 + 2)), bytes.size());
    EXPECT_EQ(std::string("\r\0\n\0O\0K\0\r\0\n\0", 12), bytes.substr(38));
    DeleteFileW(log.c_str());
    if (madeMakerDir) RemoveTree(L"C:\\velmora\\");
}

// ---- Questions before anything changes ------------------------------------------------

TEST_F(InstallSequenceTest, ServerAlreadyInTheFolderAsksAndNoChangesNothing) {
    InstallEarlierServer(Port(3), L"SS", false);
    std::string confBefore = Conf();
    ui_.answers = {wizard::kResultNo};
    auto w = Make();
    Choose(*w, true, Port(3), w->NewFrame->gSS);
    w->OKClick();

    ASSERT_EQ(1u, ui_.messages.size());
    const ScriptedUi::Message& q = ui_.messages[0];
    EXPECT_EQ(L"Otázka", q.caption);
    EXPECT_EQ(
        L"V priečinku: " + fb_ +
            L" je už nainštalovaný Firebird SQL server.\r\nSkutočne chcete prepísať inštaláciu?",
        q.text);
    EXPECT_EQ((std::vector<std::wstring>{L"&Ano", L"&Nie"}), q.buttons);
    EXPECT_EQ(L"&Nie", q.defaultButton);
    EXPECT_TRUE(StillOnParameters(*w));
    EXPECT_FALSE(Exists(app_ + L"userdata\\vorsel.stop"));
    EXPECT_EQ(confBefore, Conf());
    EXPECT_TRUE(ToolCalls().empty());
    EXPECT_TRUE(FirewallCalls().empty());
    EXPECT_EQ(L"C:\\old\\firebird.exe", IniValue(ini_, L"FBSERVER"));
    EXPECT_FALSE(Exists(exe_ + L"gds32.dll"));

    // A second press asks again; Yes overwrites.
    ui_.answers = {wizard::kResultYes};
    w->OKClick();
    EXPECT_EQ(2u, ui_.messages.size());
    EXPECT_TRUE(OnEndPage(*w));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(3))));
}

TEST_F(InstallSequenceTest, AnotherRunningInstanceOnThePortIsAskedAboutEvenUnattended) {
    // Another server, running for the same port from another folder: its
    // executable one level below the folder that holds its firebird.conf.
    std::wstring other = root_ / L"other\\";
    ASSERT_TRUE(MakeDirs(other + L"bin\\"));
    ASSERT_TRUE(CopyInto(DoublesDir() + L"instsvc.exe", other + L"bin\\instsvc.exe"));
    ASSERT_TRUE(CopyInto(DoublesDir() + L"firebird.exe", other + L"bin\\firebird.exe"));
    ASSERT_TRUE(WriteBytes(other + L"firebird.conf",
                           "#\r\nRemoteServicePort = " + ToUtf8(Port(4)) + "\r\n"));
    RunWait(L"\"" + other + L"bin\\instsvc.exe\" i -n velmora64b_" + Port(4));
    RunWait(L"\"" + other + L"bin\\instsvc.exe\" sta -n velmora64b_" + Port(4));
    ASSERT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(4))));

    const std::wstring question = L"V priečinku: " + other + L" na porte: " + Port(4) +
                                  L" beží iná inštancia Firebird SQL servera.\r\n"
                                  L"Inštaláciou Vášho servera túto inštanciu zastavíte.\r\n"
                                  L"Chcete napriek tomu pokračovať v inštalácii?";
    const std::wstring log = root_ / L"setup.log";
    enum Run { kAttended, kUnattended, kNobodySees };
    for (Run run : {kAttended, kUnattended, kNobodySees}) {
        ui_.messages.clear();
        ui_.answers = {wizard::kResultNo};
        ui_.stationVisible = run != kNobodySees;
        DeleteFileW(log.c_str());
        auto w = Make(run == kAttended ? std::vector<std::wstring>{}
                                       : std::vector<std::wstring>{L"/S", L"/LOG=" + log});
        Choose(*w, true, Port(4), w->NewFrame->gSS);
        w->OKClick();
        w->CloseLog();
        if (run == kNobodySees) {
            // Where nobody could answer, the answer is No without a window.
            EXPECT_TRUE(ui_.messages.empty());
        } else {
            ASSERT_EQ(1u, ui_.messages.size()) << run;
            EXPECT_EQ(question, ui_.messages[0].text);
            EXPECT_EQ(L"&Nie", ui_.messages[0].defaultButton);
        }
        // Attended the page stays for another try; unattended nobody could try again.
        if (run == kAttended) {
            EXPECT_TRUE(StillOnParameters(*w));
        } else {
            EXPECT_TRUE(w->Closed() && w->Run().m_nExitCode == wizard::kExitStopped) << run;
            const std::string bytes = ReadBytes(log);
            const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()),
                                    bytes.size() / 2);
            EXPECT_EQ(21u,
                      text.find(question + L"\r\nOdpoveď: Nie. Inštalácia bola zastavená.\r\n"))
                << run;
        }
        EXPECT_FALSE(Exists(fb_));
        EXPECT_FALSE(Exists(app_ + L"userdata\\vorsel.stop"));
    }
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(4))));
    ForgetService(Service64(Port(4)));
}

// ---- Markers --------------------------------------------------------------------------

// A deployment tool maps exit code 4 to "retry later": nothing may have
// changed but the markers, which go with the run.
TEST_F(InstallSequenceTest, RunningApplicationPostponesAnUnattendedRunWhenItsWaitRunsOut) {
    ASSERT_TRUE(WriteBytes(exe_ + L"Kadrix.exe", "MZ"));
    HANDLE running = CreateFileW((exe_ + L"Kadrix.exe").c_str(), GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, running);
    const std::wstring log = root_ / L"setup.log";
    // Seen, /WAIT=1 shows the dialog for a second; unseen it waits not at all.
    for (bool seen : {true, false}) {
        ui_.stationVisible = seen;
        DeleteFileW(log.c_str());
        bool dialogShown = false;
        Later look(300, [&] { dialogShown = OpenBlockedForm() != nullptr; });
        Later guard(8000, [] {
            if (wizard::TBlockedForm* form = OpenBlockedForm()) form->Close();
        });
        auto w = Make({L"/S", L"/LOG=" + log, L"/WAIT=1"});
        Choose(*w, true, Port(6), w->NewFrame->gSS);
        const DWORD start = GetTickCount();
        w->OKClick();
        const DWORD took = GetTickCount() - start;
        w->CloseLog();
        EXPECT_EQ(seen, dialogShown);
        EXPECT_TRUE(seen ? took >= 1000 && took < 4000 : took < 1000) << took;
        EXPECT_TRUE(ui_.messages.empty());
        EXPECT_TRUE(w->Closed());
        EXPECT_EQ(wizard::kExitPostponed, w->Run().m_nExitCode);
        EXPECT_FALSE(Exists(app_ + L"userdata\\vorsel.stop"));
        EXPECT_FALSE(Exists(app_ + L"userdata\\comps\\norun." + testsupport::ComputerName()));
        EXPECT_FALSE(Exists(fb_));
        EXPECT_TRUE(Exists(work_ / outside::kKitArchive));
        const std::string bytes = ReadBytes(log);
        const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
        EXPECT_EQ(21u, text.find(L"Inštalácia bola odložená, pretože program Lumera SQL stále beží a "
                                 L"jeho súbor bin\\exe\\Kadrix.exe je používaný. Nič sa nezmenilo; "
                                 L"spustite inštaláciu neskôr znova.\r\n"))
            << ToUtf8(text);
    }
    CloseHandle(running);
}

TEST_F(InstallSequenceTest, StopMarkerLeftBySomeoneElseIsNeitherWrittenNorRemoved) {
    ASSERT_TRUE(WriteBytes(app_ + L"userdata\\vorsel.stop", "theirs"));
    auto w = Make();
    Choose(*w, true, Port(5), w->NewFrame->gSS);
    w->OKClick();
    EXPECT_TRUE(OnEndPage(*w));
    w->Close();
    EXPECT_EQ("theirs", ReadBytes(app_ + L"userdata\\vorsel.stop"));
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((app_ + L"userdata\\comps\\norun.*").c_str(), &fd);
    EXPECT_EQ(INVALID_HANDLE_VALUE, h) << "no no-run marker";
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST_F(InstallSequenceTest, NoRunMarkerLeftBySomeoneElseStays) {
    const std::wstring noRun = app_ + L"userdata\\comps\\norun." + testsupport::ComputerName();
    ASSERT_TRUE(WriteBytes(noRun, "theirs"));
    auto w = Make();
    Choose(*w, true, Port(5), w->NewFrame->gSS);
    w->OKClick();
    EXPECT_TRUE(OnEndPage(*w));
    EXPECT_NE("theirs", ReadBytes(noRun)) << "refreshed for this installation";
    w->Close();
    EXPECT_FALSE(Exists(app_ + L"userdata\\vorsel.stop"));
    EXPECT_TRUE(Exists(noRun));
}

// Markers made, the wait given up, then "Vyhľadať" picks another application.
TEST_F(InstallSequenceTest, MarkersAreRemovedFromTheFolderTheyWereMadeIn) {
    const std::wstring other = root_ / L"Other\\";
    ASSERT_TRUE(MakeDirs(other + L"userdata\\comps\\"));
    ASSERT_TRUE(WriteBytes(other + L"userdata\\vorsel.stop", "theirs"));
    ASSERT_TRUE(WriteBytes(exe_ + L"Kadrix.exe", "MZ"));
    HANDLE running = CreateFileW((exe_ + L"Kadrix.exe").c_str(), GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, running);
    auto w = Make();
    Choose(*w, true, Port(5), w->NewFrame->gSS);
    {
        Later giveUp(300, [] {
            if (wizard::TBlockedForm* form = OpenBlockedForm())
                SendMessageW(form->Storno->Handle(), BM_CLICK, 0, 0);
        });
        w->OKClick();
    }
    CloseHandle(running);
    ASSERT_TRUE(StillOnParameters(*w));
    const std::wstring noRun = app_ + L"userdata\\comps\\norun." + testsupport::ComputerName();
    ASSERT_TRUE(Exists(app_ + L"userdata\\vorsel.stop"));
    ASSERT_TRUE(Exists(noRun));

    ui_.files = {other + L"bin\\exe\\Kadrix.exe"};
    w->NewFrame->btnSearchClick();
    ASSERT_EQ(other, w->Run().m_szAppDir);
    w->Close();
    EXPECT_FALSE(Exists(app_ + L"userdata\\vorsel.stop"));
    EXPECT_FALSE(Exists(noRun));
    EXPECT_EQ("theirs", ReadBytes(other + L"userdata\\vorsel.stop"));
}

TEST_F(InstallSequenceTest, WithoutUserdataFolderNoMarkerIsMade) {
    RemoveTree(app_ + L"userdata\\");
    auto w = Make();
    Choose(*w, true, Port(5), w->NewFrame->gSS);
    w->OKClick();
    EXPECT_TRUE(OnEndPage(*w));
    EXPECT_FALSE(Exists(app_ + L"userdata"));
}

// ---- The client library ---------------------------------------------------------------

TEST_F(InstallSequenceTest, ClientLibraryThatCannotBeDeletedIsReportedAndTheRestGoesOn) {
    ASSERT_TRUE(WriteBytes(exe_ + L"gds32.dll", kOldClient));
    HANDLE held = CreateFileW((exe_ + L"gds32.dll").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    auto w = Make();
    Choose(*w, true, Port(6), w->NewFrame->gSS);
    w->OKClick();
    CloseHandle(held);

    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(kGdsDeleteError, ui_.messages[0].text);
    EXPECT_EQ(L"Chyba", ui_.messages[0].caption);
    EXPECT_EQ(wizard::kExitFailed, w->Run().m_nExitCode);
    EXPECT_EQ(kOldClient, ReadBytes(exe_ + L"gds32.dll"));
    // fbclient.dll is still copied, and the sequence ends normally.
    EXPECT_EQ(ReadBytes(fb_ + L"32b\\fbclient.dll"), ReadBytes(exe_ + L"fbclient.dll"));
    EXPECT_EQ(Port(6), IniValue(ini_, L"PORT"));
    EXPECT_TRUE(OnEndPage(*w));
}

// Hard links stand for every kind of link here: Wine has no junctions or
// symbolic links of Windows.
TEST_F(InstallSequenceTest, FilesOfTheApplicationThatAreLinksStayAndAreReported) {
    TempDir elsewhere(L"elsewhere");
    const std::wstring victim = elsewhere / L"victim.txt";
    ASSERT_TRUE(WriteBytes(victim, "not the installer's"));
    const std::vector<std::wstring> links = {
        app_ + L"userdata\\comps\\norun." + testsupport::ComputerName(), exe_ + L"fbclient.dll",
        app_ + L"bin\\system\\quenlet\\Quenlet.exe", ini_};
    for (const std::wstring& link : links)
        ASSERT_TRUE(CreateHardLinkW(link.c_str(), victim.c_str(), nullptr)) << ToUtf8(link);
    auto w = Make();
    Choose(*w, true, Port(6), w->NewFrame->gSS);
    w->OKClick();

    EXPECT_EQ("not the installer's", ReadBytes(victim));
    ASSERT_EQ(links.size(), ui_.messages.size());
    for (size_t i = 0; i < links.size(); ++i) {
        EXPECT_EQ(L"Súbor " + links[i] + L" je odkaz na iné miesto; inštalácia ho nezmenila.",
                  ui_.messages[i].text);
        EXPECT_EQ(i == 0 ? L"Informácia" : L"Chyba", ui_.messages[i].caption);
    }
    EXPECT_EQ(wizard::kExitFailed, w->Run().m_nExitCode);
    EXPECT_EQ(ReadBytes(fb_ + L"32b\\fbclient.dll"), ReadBytes(exe_ + L"gds32.dll"));
    EXPECT_TRUE(OnEndPage(*w));
}

// ---- A kept server (no installation) --------------------------------------------------

TEST_F(InstallSequenceTest, KeptServerWithSamePortAndModeTouchesNoServiceButRewritesDataIni) {
    InstallEarlierServer(Port(7), L"CS", true);
    ASSERT_TRUE(WriteBytes(exe_ + L"gds32.dll", kOldClient));
    std::string confBefore = Conf();
    auto w = Make();
    Choose(*w, false, Port(7), w->NewFrame->gCS);
    w->OKClick();

    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(ToolCalls().empty());
    EXPECT_TRUE(FirewallCalls().empty());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(7))));
    EXPECT_EQ(confBefore, Conf());
    EXPECT_EQ(fb_ + L"firebird.exe", IniValue(ini_, L"FBSERVER"));
    EXPECT_EQ(L"CS", IniValue(ini_, L"FBTYPE"));
    // The existing library stays; what is missing is supplied.
    EXPECT_EQ(kOldClient, ReadBytes(exe_ + L"gds32.dll"));
    EXPECT_EQ(kOldClient, ReadBytes(exe_ + L"fbclient.dll"));
    EXPECT_TRUE(Exists(exe_ + L"firebird.msg"));
    EXPECT_TRUE(Exists(exe_ + L"msvcp140.dll"));
    EXPECT_TRUE(Exists(exe_ + L"vcruntime140.dll"));
    EXPECT_TRUE(Exists(app_ + L"bin\\system\\quenlet\\Quenlet.exe"));
    // Without an installation the progress page is never shown.
    EXPECT_EQ(0, w->ProgressFrame->pbSetup->Max());
    EXPECT_FALSE(Exists(app_ + L"userdata\\vorsel.stop"));
    EXPECT_TRUE(OnEndPage(*w));
}

TEST_F(InstallSequenceTest, KeptServerMovedToAnotherPortGetsANewInstance) {
    InstallEarlierServer(Port(7), L"SS", true);
    auto w = Make();
    Choose(*w, false, Port(8), w->NewFrame->gSS);
    w->OKClick();

    std::string p7 = ToUtf8(Port(7)), p8 = ToUtf8(Port(8));
    EXPECT_EQ(Reinstalled(p7, p8), ToolCalls());
    EXPECT_EQ(0u, ServiceState(Service64(Port(7))));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(8))));
    std::string conf = Conf();
    EXPECT_NE(std::string::npos, conf.find("\r\nRemoteServicePort = " + p8 + "\r\n"));
    EXPECT_EQ(std::string::npos, conf.find(p7));
    EXPECT_EQ(Port(8), IniValue(ini_, L"PORT"));
    EXPECT_TRUE(FirewallCalls().empty()) << "no firewall rule for a kept server";
    EXPECT_TRUE(OnEndPage(*w));
}

TEST_F(InstallSequenceTest, KeptServerWhoseNewInstanceNeverRunsGetsItsOldOneBack) {
    InstallEarlierServer(Port(7), L"SS", true);
    const std::string conf = Conf();
    // The service tool registers the new instance but does not start it.
    ASSERT_TRUE(WriteBytes(fb_ + L"instsvc.fail", "sta"));
    auto w = Make();
    Choose(*w, false, Port(8), w->NewFrame->gSS);
    w->OKClick();

    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(std::wstring(kRestored) + L"Inštancia Firebird SQL servera velmora64b_" + Port(8) +
                  L" sa nespustila!",
              ui_.messages[0].text);
    EXPECT_EQ(0u, ServiceState(Service64(Port(8))));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(7))));
    EXPECT_EQ(conf, Conf()) << "firebird.conf as it was";
    EXPECT_FALSE(Exists(fb_ + L"firebird.conf" + engine::kAsideSuffix));
    EXPECT_EQ(Port(7), IniValue(ini_, L"PORT")) << "data.ini untouched";
    EXPECT_TRUE(w->Closed());
    EXPECT_EQ(wizard::kExitFailed, w->Run().m_nExitCode);
}

TEST_F(InstallSequenceTest, KeptServerWithOnlyANewModeIsSetUpAgainOnItsPort) {
    InstallEarlierServer(Port(7), L"SS", true);
    auto w = Make();
    Choose(*w, false, Port(7), w->NewFrame->gCS);
    w->OKClick();

    std::string p7 = ToUtf8(Port(7));
    EXPECT_EQ(Reinstalled(p7, p7), ToolCalls());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(7))));
    EXPECT_NE(std::string::npos, Conf().find("\r\nServerMode = Classic\r\n"));
    EXPECT_EQ(L"CS", IniValue(ini_, L"FBTYPE"));
}

TEST_F(InstallSequenceTest, KeptServerWhoseFilesDisagreeLosesTheInstanceOfItsConfPort) {
    InstallEarlierServer(Port(7), L"SS", true);
    WriteIni(Port(9), L"C:\\old\\firebird.exe", L"SS");  // data.ini names another port
    auto w = Make();
    Choose(*w, false, Port(9), w->NewFrame->gSS);
    w->OKClick();

    std::string p7 = ToUtf8(Port(7)), p9 = ToUtf8(Port(9));
    EXPECT_EQ(Reinstalled(p7, p9), ToolCalls());
    EXPECT_EQ(0u, ServiceState(Service64(Port(7)))) << "it would start beside the new one";
    EXPECT_NE(std::string::npos, Conf().find("\r\nRemoteServicePort = " + p9 + "\r\n"));
    EXPECT_EQ(Port(9), IniValue(ini_, L"PORT"));
}

// A port from firebird.conf that is no port never reaches the service tool,
// not even when an instance (an earlier version's) carries it in its name.
TEST_F(InstallSequenceTest, KeptServerWhoseConfPortIsNoPortNeverGivesItToTheTool) {
    InstallEarlierServer(Port(7), L"SS", false);
    ASSERT_TRUE(WriteBytes(fb_ + L"firebird.conf", "#\r\nRemoteServicePort = 0\r\n"));
    RunTool(L"i", L"0");
    DeleteFileW((fb_ + L"instsvc.log").c_str());
    auto w = Make();
    Choose(*w, false, Port(8), w->NewFrame->gSS);
    w->OKClick();
    const std::string p8 = ToUtf8(Port(8));
    EXPECT_EQ((std::vector<std::string>{"i -n velmora64b_" + p8, "sta -n velmora64b_" + p8}),
              ToolCalls());
    ForgetService(Service64(L"0"));
}

TEST_F(InstallSequenceTest, KeptServerOutsideTheDefaultFolderIsTheOneMoved) {
    fb_ = root_ / L"fbsrv\\firebird_4_0_x64\\";
    InstallEarlierServer(Port(7), L"SS", true);
    WriteIni(Port(7), fb_ + L"firebird.exe", L"SS");
    auto w = Make();  // the page shows the server that data.ini names
    Choose(*w, false, Port(8), w->NewFrame->gSS);
    w->OKClick();

    std::string p7 = ToUtf8(Port(7)), p8 = ToUtf8(Port(8));
    EXPECT_EQ(Reinstalled(p7, p8), ToolCalls());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(8))));
    EXPECT_NE(std::string::npos, Conf().find("\r\nRemoteServicePort = " + p8 + "\r\n"));
    EXPECT_EQ(fb_ + L"firebird.exe", IniValue(ini_, L"FBSERVER"));
    EXPECT_EQ(ReadBytes(fb_ + L"32b\\fbclient.dll"), ReadBytes(exe_ + L"gds32.dll"));
}

// The default folder beside the application, which users may write,
// holding a server that no registered instance runs from: nothing of it
// runs, data.ini is not pointed at it, and the log says why.
TEST_F(InstallSequenceTest, KeptServerNoInstanceRunsFromRunsNothingAndLeavesDataIniAlone) {
    InstallEarlierServer(Port(7), L"SS", false);
    const std::wstring log = root_ / L"setup.log";
    auto w = Make({L"/LOG=" + log});
    Choose(*w, false, Port(8), w->NewFrame->gCS);
    w->OKClick();
    w->CloseLog();

    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(ToolCalls().empty());
    EXPECT_EQ(0u, ServiceState(Service64(Port(8))));
    EXPECT_EQ(Port(7), IniValue(ini_, L"PORT"));
    EXPECT_EQ(L"C:\\old\\firebird.exe", IniValue(ini_, L"FBSERVER"));
    const std::string bytes = ReadBytes(log);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    EXPECT_EQ(21u, text.find(L"Priečinok " + fb_ + environment::kNotTaken +
                             environment::kNoInstance + L"\r\n"))
        << ToUtf8(text);
    EXPECT_TRUE(OnEndPage(*w));
    EXPECT_EQ(wizard::kExitDone, w->Run().m_nExitCode);
}

// Its programs are held open while they run; one that cannot be held (open
// elsewhere without sharing) is refused before anything runs, through the
// deployment's failure report.
TEST_F(InstallSequenceTest, KeptServerWhoseToolCannotBeHeldIsRefusedAndKeepsItsInstance) {
    InstallEarlierServer(Port(7), L"SS", true);
    const std::string conf = Conf();
    const std::wstring tool = fb_ + L"instsvc.exe";
    HANDLE open = CreateFileW(tool.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, open);
    auto w = Make();
    Choose(*w, false, Port(8), w->NewFrame->gSS);
    w->OKClick();
    CloseHandle(open);

    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(std::wstring(kNothingLeft) + L"Program " + tool + L" sa nedá otvoriť: " +
                  platform::SystemErrorText(ERROR_SHARING_VIOLATION),
              ui_.messages[0].text);
    EXPECT_TRUE(ToolCalls().empty());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(7))));
    EXPECT_EQ(conf, Conf());
    EXPECT_EQ(Port(7), IniValue(ini_, L"PORT"));
    EXPECT_EQ(wizard::kExitFailed, w->Run().m_nExitCode);
}

TEST_F(InstallSequenceTest, FolderWithoutServerProgramLeavesDataIniAlone) {
    WriteIni(Port(7), L"C:\\old\\firebird.exe", L"SS");
    ASSERT_TRUE(MakeDirs(fb_));
    auto w = Make();
    Choose(*w, false, Port(8), w->NewFrame->gCS);
    w->OKClick();
    EXPECT_TRUE(OnEndPage(*w));
    EXPECT_EQ(Port(7), IniValue(ini_, L"PORT"));
    EXPECT_EQ(L"SS", IniValue(ini_, L"FBTYPE"));
    EXPECT_TRUE(ToolCalls().empty());
    // The tool is still placed.
    EXPECT_TRUE(Exists(app_ + L"bin\\system\\quenlet\\Quenlet.exe"));
}

// ---- Deployment stops ------------------------------------------------------------------

TEST_F(InstallSequenceTest, ServerInUseGivesBackTheInstanceItHadRemoved) {
    // The folder's own port has a registered instance; another instance of
    // the same server program runs and keeps firebird.exe in use.
    InstallEarlierServer(Port(7), L"SS", false);
    RunTool(L"i", Port(7));
    RunTool(L"i", Port(9));
    RunTool(L"sta", Port(9));
    ASSERT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(9))));
    DeleteFileW((fb_ + L"instsvc.log").c_str());

    ui_.answers = {wizard::kResultYes};  // overwrite the installed server
    auto w = Make();
    Choose(*w, true, Port(7), w->NewFrame->gSS);
    w->OKClick();

    ASSERT_EQ(2u, ui_.messages.size());
    EXPECT_EQ(std::wstring(kRestored) + kServerInUse, ui_.messages[1].text);
    EXPECT_EQ(L"Chyba", ui_.messages[1].caption);
    std::string p7 = ToUtf8(Port(7));
    EXPECT_EQ((std::vector<std::string>{"sto -n velmora64b_" + p7, "r -n velmora64b_" + p7}),
              ToolCalls());
    EXPECT_EQ(DWORD(SERVICE_STOPPED), ServiceState(Service64(Port(7))))
        << "the removed instance is registered again, as stopped as it was";
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(9))));
    EXPECT_TRUE(w->Closed()) << "the installation ends";
    EXPECT_FALSE(Exists(places_.JournalPath()));
    EXPECT_TRUE(FirewallCalls().empty());
    EXPECT_EQ(L"C:\\old\\firebird.exe", IniValue(ini_, L"FBSERVER"));
    EXPECT_FALSE(Exists(exe_ + L"gds32.dll"));
}

TEST_F(InstallSequenceTest, ServerInUseUnattendedIsLogged) {
    ExtractKitInto(fb_);
    RunTool(L"i", Port(9));
    RunTool(L"sta", Port(9));
    auto w = Make({L"/S", L"/LOG=" + root_ / L"setup.log"});
    Choose(*w, true, Port(1), w->NewFrame->gSS);
    w->OKClick();
    w->CloseLog();
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(w->Closed());
    std::string bytes = ReadBytes(root_ / L"setup.log");
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    const std::wstring entry = std::wstring(kNothingLeft) + kServerInUse;
    EXPECT_EQ(21u, text.find(entry)) << ToUtf8(text);
    EXPECT_EQ(21 + entry.size() + 2, text.size());
    EXPECT_EQ(wizard::kExitFailed, w->Run().m_nExitCode);
    EXPECT_EQ(std::wstring::npos, text.find(L"\r\nOK\r\n"));
}

TEST_F(InstallSequenceTest, MissingKitStopsOnTheProgressPageWithTheRaisedError) {
    DeleteFileW((work_ / outside::kKitArchive).c_str());
    auto w = Make();
    Choose(*w, true, Port(1), w->NewFrame->gSS);
    SendMessageW(w->OK->Handle(), BM_CLICK, 0, 0);  // through the toolkit's handler boundary

    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(L"Chyba pri otváraní súboru: firebird_4_0_x64.zip", ui_.messages[0].text);
    EXPECT_EQ(w->ProgressFrame.get(), w->m_ActiveFrame);
    EXPECT_FALSE(w->OK->Enabled());
    EXPECT_FALSE(w->Closed());
    EXPECT_EQ(wizard::kExitFailed, w->Run().m_nExitCode);
}

TEST_F(InstallSequenceTest, KitGoneAfterTheStartUnattendedEndsTheRunAfterTheError) {
    auto w = Make({L"/S", L"/LOG=" + root_ / L"setup.log"});
    DeleteFileW((work_ / outside::kKitArchive).c_str());
    Choose(*w, true, Port(1), w->NewFrame->gSS);
    w->OKClick();
    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(L"Chyba pri otváraní súboru: firebird_4_0_x64.zip", ui_.messages[0].text);
    EXPECT_TRUE(w->Closed());
    EXPECT_EQ(wizard::kExitFailed, w->Run().m_nExitCode);
    w->CloseLog();
    std::string bytes = ReadBytes(root_ / L"setup.log");
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    EXPECT_EQ(21u, text.find(L"Chyba pri otváraní súboru: firebird_4_0_x64.zip\r\n"))
        << "the error is the log's one entry";
}

// A kit that could not be installed whole is refused before anything
// changes: the earlier server keeps running, its folder untouched.
struct RefusedKit {
    const char* name;
    ziptest::ZipItem odd;
    const wchar_t* reason;
};

class RefusedKitTest : public InstallSequenceTest,
                       public ::testing::WithParamInterface<RefusedKit> {};

TEST_P(RefusedKitTest, ChangesNothing) {
    InstallEarlierServer(Port(7), L"SS", true);
    archive::ArchiveReader kit;
    kit.FileName = KitArchive();
    kit.OpenArchive();
    ziptest::ZipBuilder zip;
    archive::TZFArchiveItem item;
    for (bool more = kit.FindFirst(L"*.*", item, archive::faAnyFile & ~archive::faDirectory); more;
         more = kit.FindNext(item)) {
        std::string name = ToUtf8(item.FileName);
        std::replace(name.begin(), name.end(), '\\', '/');
        if (name != GetParam().odd.name) zip.File(name, ReadBytes(fb_ + item.FileName));
    }
    if (!GetParam().odd.data.empty()) zip.Add(GetParam().odd);
    ASSERT_TRUE(WriteBytes(work_ / outside::kKitArchive, zip.Build()));
    const std::string server = ReadBytes(fb_ + L"firebird.exe");

    auto w = Make({L"/S", L"/LOG=" + root_ / L"setup.log"});
    Choose(*w, true, Port(7), w->NewFrame->gSS);
    w->OKClick();
    w->CloseLog();

    std::string bytes = ReadBytes(root_ / L"setup.log");
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    EXPECT_NE(std::wstring::npos,
              text.find(L"Inštalačný balík firebird_4_0_x64.zip nie je možné použiť: " +
                        std::wstring(GetParam().reason)))
        << ToUtf8(text);
    EXPECT_EQ(wizard::kExitFailed, w->Run().m_nExitCode);
    EXPECT_TRUE(ToolCalls().empty());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(7))));
    EXPECT_EQ(server, ReadBytes(fb_ + L"firebird.exe"));
    EXPECT_FALSE(Exists(root_ / L"evil.exe"));
    EXPECT_FALSE(Exists(places_.JournalPath()));
}

ziptest::ZipItem Item(std::string name, uint16_t method = 0xFFFF) {
    ziptest::ZipItem item;
    item.name = std::move(name);
    item.data = "MZ planted";
    item.method = method;
    return item;
}

ziptest::ZipItem Dropped(std::string name) {
    ziptest::ZipItem item = Item(std::move(name));
    item.data.clear();
    return item;
}

INSTANTIATE_TEST_SUITE_P(
    Kits, RefusedKitTest,
    ::testing::Values(
        RefusedKit{"NameLeavingTheFolder", Item("../../evil.exe"),
                   L"..\\..\\evil.exe: Cesta súboru smeruje mimo cieľového priečinka"},
        RefusedKit{"UnsupportedMethod", Item("doc/packed.txt", 14),
                   L"doc\\packed.txt: Nepodporovaná metóda kompresie (14)"},
        RefusedKit{"WithoutTheServiceTool", Dropped("instsvc.exe"),
                   L"chýba v ňom súbor instsvc.exe."}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Extraction ------------------------------------------------------------------------

TEST_F(InstallSequenceTest, CancelDuringExtractionLeavesNothingOfTheNewServer) {
    ASSERT_TRUE(WriteBytes(exe_ + L"gds32.dll", "old client"));
    auto w = Make();
    Choose(*w, true, Port(1), w->NewFrame->gSS);
    ui_.answers = {wizard::kResultYes};
    // Waits in the queue until the extraction lets the window process messages.
    PostMessageW(w->Cancel->Handle(), BM_CLICK, 0, 0);
    w->OKClick();

    ASSERT_EQ(2u, ui_.messages.size());
    EXPECT_EQ(L"Ukončiť?", ui_.messages[0].text);
    EXPECT_EQ(engine::kCanceledNothingLeft, ui_.messages[1].text);
    EXPECT_TRUE(static_cast<engine::InstallerUi&>(*w).CancelRequested());
    EXPECT_EQ(wizard::kExitStopped, w->Run().m_nExitCode);
    EXPECT_FALSE(Exists(root_ / L"firebird")) << "the folders the installation made are gone";
    EXPECT_TRUE(ToolCalls().empty()) << "no server program, no service";
    EXPECT_TRUE(FirewallCalls().empty());
    EXPECT_TRUE(w->Closed());
    EXPECT_EQ("old client", ReadBytes(exe_ + L"gds32.dll"));
    EXPECT_FALSE(Exists(places_.JournalPath()));
}

TEST_F(InstallSequenceTest, CloseIconDuringExtractionAsksInsteadOfClosing) {
    auto w = Make();
    Choose(*w, true, Port(1), w->NewFrame->gSS);
    ui_.answers = {wizard::kResultYes};
    PostMessageW(w->Handle(), WM_CLOSE, 0, 0);
    w->OKClick();

    ASSERT_EQ(2u, ui_.messages.size());
    EXPECT_EQ(L"Ukončiť?", ui_.messages[0].text);
    EXPECT_TRUE(static_cast<engine::InstallerUi&>(*w).CancelRequested());
    EXPECT_TRUE(w->Closed()) << "closed once the extraction was rolled back";
    EXPECT_FALSE(Exists(fb_ + L"firebird.exe"));
}

TEST_F(InstallSequenceTest, CancelAnsweredNoLetsTheExtractionFinish) {
    auto w = Make();
    Choose(*w, true, Port(1), w->NewFrame->gSS);
    ui_.answers = {wizard::kResultNo};
    PostMessageW(w->Cancel->Handle(), BM_CLICK, 0, 0);
    w->OKClick();
    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_FALSE(static_cast<engine::InstallerUi&>(*w).CancelRequested());
    for (const wchar_t* entry : outside::kKitEntries)
        EXPECT_TRUE(Exists(fb_ + entry)) << ToUtf8(entry);
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(1))));
}

TEST_F(InstallSequenceTest, FileThatCannotBeReplacedStopsTheDeploymentBeforeTheExtraction) {
    ASSERT_TRUE(MakeDirs(fb_ + L"doc\\"));
    ASSERT_TRUE(WriteBytes(fb_ + L"doc\\README.txt", "held"));
    HANDLE held = CreateFileW((fb_ + L"doc\\README.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    auto w = Make();
    Choose(*w, true, Port(1), w->NewFrame->gSS);
    w->OKClick();
    CloseHandle(held);
    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(0u, ui_.messages[0].text.find(std::wstring(kNothingLeft) + L"Súbor " + fb_ +
                                            L"doc\\README.txt sa nedá presunúť: "))
        << ToUtf8(ui_.messages[0].text);
    EXPECT_EQ("held", ReadBytes(fb_ + L"doc\\README.txt"));
    EXPECT_FALSE(Exists(fb_ + L"firebird.exe"));
    EXPECT_TRUE(ToolCalls().empty());
    EXPECT_TRUE(w->Closed());
}

// ---- The legacy 2.5 server -------------------------------------------------------------

// The legacy server lives under the Program Files folder, whose name has a
// blank: its tool must be started by its quoted path, never through a stray
// "Program.exe" beside that folder.
class LegacyServerTest : public InstallSequenceTest {
protected:
    void SetUp() override {
        InstallSequenceTest::SetUp();
        ASSERT_TRUE(MakeDirs(legacy_));
        ASSERT_TRUE(CopyInto(DoublesDir() + L"instsvc.exe", legacy_ + L"instsvc.exe"));
        ASSERT_TRUE(CopyInto(DoublesDir() + L"netsh.exe", stray_ + L".exe"));
    }
    // The tool's command for `verb`, as the log of the stand-in tool has it.
    std::string Command(const char* verb) const {
        return "\"" + ToUtf8(legacy_) + "instsvc.exe\" " + verb + " -n velmora64b";
    }
    const std::wstring programFiles_ = places_.Places().programFilesDir;
    const std::wstring legacy_ = places_.Places().LegacyServerDir();
    const std::wstring stray_ = programFiles_.substr(0, programFiles_.find(L' '));
};

TEST_F(LegacyServerTest, PresentLegacyInstanceIsStoppedAndRemovedThroughTheQuotedPath) {
    ASSERT_TRUE(WriteBytes(legacy_ + L"firebird.exe", "MZ"));
    auto w = Make();
    Choose(*w, true, Port(1), w->NewFrame->gSS);
    w->OKClick();
    EXPECT_EQ((std::vector<std::string>{Command("sto"), Command("r")}),
              Lines(ReadBytes(legacy_ + L"instsvc.log")));
    EXPECT_FALSE(Exists(stray_ + L".log"));
    EXPECT_TRUE(OnEndPage(*w));
}

// An environment variable for the programs this process starts, while it lives.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
        SetEnvironmentVariableW(name, value);
    }
    ~ScopedEnvironment() { SetEnvironmentVariableW(name_, nullptr); }

private:
    const wchar_t* name_;
};

TEST_F(LegacyServerTest, LegacyToolPastTheTimeLimitFailsTheRunWithItsCommand) {
    ASSERT_TRUE(WriteBytes(legacy_ + L"firebird.exe", "MZ"));
    ScopedEnvironment limit(L"ISTREL_PROGRAM_TIME_LIMIT_MS", L"500");
    ScopedEnvironment hang(L"ISTREL_TEST_HANG", L"instsvc sto before");
    auto w = Make();
    Choose(*w, true, Port(1), w->NewFrame->gSS);
    w->OKClick();
    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(std::wstring(kNothingLeft) + L"Príkaz " + FromUtf8(Command("sto")) +
                  L" neskončil v stanovenom čase, a preto bol ukončený.",
              ui_.messages[0].text);
    EXPECT_EQ(wizard::kExitFailed, w->Run().m_nExitCode);
    EXPECT_EQ(1u, Lines(ReadBytes(legacy_ + L"instsvc.log")).size())
        << "nothing after the hung stop";
    EXPECT_FALSE(Exists(fb_ + L"firebird.exe"));
    DeleteFileW(L"C:\\istrel-hang.reached");
}

TEST_F(LegacyServerTest, WithoutItsServerProgramTheLegacyToolIsNotRun) {
    auto w = Make();
    Choose(*w, true, Port(1), w->NewFrame->gSS);
    w->OKClick();
    EXPECT_FALSE(Exists(legacy_ + L"instsvc.log"));
    EXPECT_TRUE(OnEndPage(*w));
}

// ---- Outside programs -----------------------------------------------------------------

TEST(RunProgramTest, ReturnsTheExitCodeOrNotStarted) {
    using engine::ProgramResult, engine::ProgramWindow, engine::ProgramWait;
    const ProgramResult ended =
        engine::RunProgram(L"cmd /c exit 3", ProgramWindow::kMinimised, ProgramWait::kUntilEnd);
    EXPECT_TRUE(ended.EndedWith(3));
    EXPECT_EQ(ProgramResult::kNotStarted,
              engine::RunProgram(L"Z:\\no\\such\\program.exe", ProgramWindow::kMinimised,
                                 ProgramWait::kUntilEnd)
                  .state);
}

TEST(CommandLineTest, QuotesOnlyAProgramPathWithABlank) {
    EXPECT_EQ(L"\"C:\\Program Files\\fb_x64\\instsvc.exe\" sto -n velmora64b_3050",
              engine::ServiceToolCommand(L"C:\\Program Files\\fb_x64\\", L"sto", L"3050"));
    EXPECT_EQ(L"D:\\FB_X64\\instsvc.exe i -n velmora64b_3050",
              engine::ServiceToolCommand(L"D:\\FB_X64\\", L"i", L"3050"));
    EXPECT_EQ(L"D:\\fb\\instsvc.exe r -n velmora32b_",
              engine::ServiceToolCommand(L"D:\\fb\\", L"r", L""));
    EXPECT_EQ(L"\"C:\\Win dows\\system32\\netsh.exe\" firewall add allowedprogram "
              L"\"D:\\fb\\firebird.exe\" \"Firebird SQL server\" ENABLE",
              engine::FirewallCommand(L"D:\\fb\\", L"C:\\Win dows\\system32\\"));
}

TEST(AdminGroupTest, WinesUserIsAnAdministrator) {
    EXPECT_TRUE(environment::ListsAdministratorsGroup());
}

}  // namespace
