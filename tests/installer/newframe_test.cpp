// The parameters page inside a real wizard (headless windows under Wine):
// its states from real application and server folders, the stand-in kit in
// the current directory and stand-in client libraries of known versions;
// the check box and the search button as the user works them, dialogs
// answered at the toolkit's seam.
#include "wizard/NewFrame.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <cwctype>
#include <memory>
#include <vector>

#include "Places.h"
#include "RunLog.h"
#include "Pump.h"
#include "ScriptedUi.h"
#include "WinTestSupport.h"
#include "environment/Messages.h"
#include "wizard/Messages.h"
#include "outside/Outside.h"
#include "wizard/Dialogs.h"
#include "wizard/Wizard.h"
#include "toolkit/Application.h"

using namespace testsupport;
using wizard::TNewFrame;
using wizard::TWizard;

namespace {

constexpr wchar_t kInstallCaption[] = L"Inštalovať Firebird SQL do priečinka:";
constexpr wchar_t kInstalledCaption[] = L"Aktuálne nainštalovaný Firebird SQL v priečinku:";
using wizard::kNotLocalFixed;
// Client library versions of the stand-ins; the kit carries kKitVersion.
constexpr wchar_t kKitVersion[] = L"4.0.5.3140";
constexpr wchar_t kOlderVersion[] = L"4.0.2.0";
constexpr wchar_t kNewerVersion[] = L"10.2.1.0";

// What a user sees of the server half. A text of a hidden control reads
// "", and what a case leaves out is "" or false (hence the {}: the
// compiler asks for an initializer of every field).
struct ServerHalf {
    std::wstring kit{};  // the check box's caption
    bool kitEnabled = false, kitChecked = false;
    std::wstring info{};        // lFBInfoCaption1
    std::wstring folderEdit{};  // edFbFolder
    std::wstring folder{};      // lFBInfoFolder
    std::wstring version{};     // "Verzia:" and lFBInfoVersion
    std::wstring port{};
    bool portEnabled = false;
    std::wstring mode{};  // the checked radio button, "several" for more than one
    bool modesEnabled = false;

    bool operator==(const ServerHalf&) const = default;
};

// The install state with the stand-in kit: its box checked, the server to
// go to `folder`, the default mode.
ServerHalf Installing(const std::wstring& folder, const std::wstring& port) {
    return {.kit = L"Firebird 4.0.5",
            .kitEnabled = true,
            .kitChecked = true,
            .info = kInstallCaption,
            .folderEdit = folder,
            .port = port,
            .portEnabled = true,
            .mode = L"SS",
            .modesEnabled = true};
}

// The installed server kept, the kit offered: its box unchecked.
ServerHalf Keeping(const std::wstring& folder, const std::wstring& version,
                   const std::wstring& port, const std::wstring& mode) {
    return {.kit = L"Firebird 4.0.5",
            .kitEnabled = true,
            .info = kInstalledCaption,
            .folder = folder,
            .version = L"Verzia: " + version,
            .port = port,
            .portEnabled = true,
            .mode = mode,
            .modesEnabled = true};
}

std::wstring IfVisible(const toolkit::Control& c, const std::wstring& text) {
    return c.Visible() ? text : L"";
}

ServerHalf Read(const TNewFrame& p) {
    std::wstring mode = p.gSS->Checked()   ? L"SS"
                        : p.gCS->Checked() ? L"CS"
                        : p.gSC->Checked() ? L"SC"
                                           : L"";
    if (p.gSS->Checked() + p.gCS->Checked() + p.gSC->Checked() > 1) mode = L"several";
    bool modesEnabled = p.gSS->Enabled();
    EXPECT_EQ(modesEnabled, p.gCS->Enabled());
    EXPECT_EQ(modesEnabled, p.gSC->Enabled());
    // Both sit in one place: never both visible.
    EXPECT_FALSE(p.edFbFolder->Visible() && p.lFBInfoFolder->Visible());
    EXPECT_EQ(p.lFBInfoFolder->Visible(), p.lFBInfoVersion->Visible());
    EXPECT_EQ(p.lFBInfoFolder->Visible(), p.lFBInfoCaption2->Visible());
    return {.kit = p.chFB->Caption(),
            .kitEnabled = p.chFB->Enabled(),
            .kitChecked = p.chFB->Checked(),
            .info = IfVisible(*p.lFBInfoCaption1, p.lFBInfoCaption1->Caption()),
            .folderEdit = IfVisible(*p.edFbFolder, p.edFbFolder->Text()),
            .folder = IfVisible(*p.lFBInfoFolder, p.lFBInfoFolder->Caption()),
            .version = IfVisible(*p.lFBInfoVersion,
                                 p.lFBInfoCaption2->Caption() + L" " + p.lFBInfoVersion->Caption()),
            .port = p.edPort->Text(),
            .portEnabled = p.edPort->Enabled(),
            .mode = mode,
            .modesEnabled = modesEnabled};
}

void PrintTo(const ServerHalf& s, std::ostream* os) {
    auto text = [&](const char* name, const std::wstring& value) {
        *os << name << "=\"" << ToUtf8(value) << "\" ";
    };
    auto flag = [&](const char* name, bool value) { *os << name << '=' << value << ' '; };
    *os << "{ ";
    text("kit", s.kit);
    flag("kitEnabled", s.kitEnabled);
    flag("kitChecked", s.kitChecked);
    text("info", s.info);
    text("folderEdit", s.folderEdit);
    text("folder", s.folder);
    text("version", s.version);
    text("port", s.port);
    flag("portEnabled", s.portEnabled);
    text("mode", s.mode);
    flag("modesEnabled", s.modesEnabled);
    *os << '}';
}

// A removable drive for as long as it lives, on the first free letter from
// R: on, made through the mount manager of Wine (the suites' test bed) as
// its own drive configuration does: a real drive that GetDriveTypeW reports
// as removable. Its letter is 0 where the mount manager refuses.
class RemovableDrive {
public:
    RemovableDrive() {
        for (wchar_t l = L'R'; l <= L'Y' && !letter_; ++l) {
            const wchar_t root[] = {l, L':', L'\\', 0};
            if (GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR && Define(l, DRIVE_REMOVABLE, "/tmp"))
                letter_ = l;
        }
    }
    ~RemovableDrive() {
        if (letter_) Define(letter_, DRIVE_NO_ROOT_DIR, nullptr);
    }
    RemovableDrive(const RemovableDrive&) = delete;
    RemovableDrive& operator=(const RemovableDrive&) = delete;
    wchar_t Letter() const { return letter_; }

private:
    struct UnixDrive {  // the mount manager's request, its path after it
        ULONG size, type, fsType;
        DWORD serial;
        ULONGLONG unixDev;
        WCHAR letter;
        USHORT mountPointOffset, deviceOffset, labelOffset;
    };
    static bool Define(wchar_t letter, ULONG type, const char* unixPath) {
        std::vector<char> request(sizeof(UnixDrive) + (unixPath ? strlen(unixPath) + 1 : 0));
        UnixDrive drive{};
        drive.size = ULONG(request.size());
        drive.type = type;
        drive.letter = WCHAR(towlower(letter));
        if (unixPath) drive.mountPointOffset = USHORT(sizeof(UnixDrive));
        memcpy(request.data(), &drive, sizeof drive);
        if (unixPath) strcpy(request.data() + sizeof drive, unixPath);
        HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                     nullptr);
        if (manager == INVALID_HANDLE_VALUE) return false;
        const DWORD defineUnixDrive = CTL_CODE(0x6D /* the mount manager */, 32, METHOD_BUFFERED,
                                               FILE_READ_ACCESS | FILE_WRITE_ACCESS);
        DWORD returned = 0;
        const bool done = DeviceIoControl(manager, defineUnixDrive, request.data(),
                                          DWORD(request.size()), nullptr, 0, &returned, nullptr);
        CloseHandle(manager);
        return done;
    }
    wchar_t letter_ = 0;
};

class NewFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        app1_ = root_ / L"Lumera\\";
        app2_ = root_ / L"Druha\\Lumera\\";
        ASSERT_TRUE(MakeDirs(app1_ + outside::kAppExeDir));
        ASSERT_TRUE(MakeDirs(app2_ + outside::kAppExeDir));
        ASSERT_TRUE(WriteBytes(app2_ + outside::kAppExe, "MZ"));
        places_.App().Set(app1_);
        // Started from its folder, as Istrel.exe is: a folder the page
        // does not know must not become that one.
        GetCurrentDirectoryW(MAX_PATH, savedCwd_);
        ASSERT_TRUE(SetCurrentDirectoryW(work_.Path().c_str()));
    }
    void TearDown() override {
        wizard_.reset();
        for (const std::wstring& instance : instances_) ForgetService(L"FirebirdServer" + instance);
        SetCurrentDirectoryW(savedCwd_);
    }

    // The wizard starts on the page and initialises it from what the test laid out.
    TNewFrame& Start(std::vector<std::wstring> args = {}) {
        wizard_.reset();  // one run at a time holds the deployment guard
        wizard_ = std::make_unique<TWizard>(places_.Places(), std::move(args));
        EXPECT_TRUE(ui_.messages.empty())
            << ToUtf8(ui_.messages.empty() ? L"" : ui_.messages[0].text);
        return *wizard_->NewFrame;
    }
    TWizard& W() { return *wizard_; }

    void PutKit() { ASSERT_TRUE(CopyInto(KitArchive(), work_ / outside::kKitArchive)); }

    // A server folder: the server, registered as an instance (whose name
    // holds no digit, so that no port finds it), a client library of
    // `version` and a firebird.conf with `port` (none when empty).
    void PutServer(const std::wstring& folder, const std::wstring& version, const std::string& port,
                   bool registered = true) {
        if (registered) {
            instances_.push_back(L"newframe_" + std::wstring(1, wchar_t(L'a' + instances_.size())));
            ASSERT_TRUE(RegisterInstance(
                instances_.back(), L"\"" + folder + L"firebird.exe\" -s " + instances_.back()));
        }
        ASSERT_TRUE(MakeDirs(folder));
        ASSERT_TRUE(CopyInto(DoublesDir() + L"firebird.exe", folder + outside::kServerExe));
        ASSERT_TRUE(CopyInto(DoublesDir() + L"fbclient\\" + version + L"\\fbclient.dll",
                             folder + outside::kClientDll));
        std::string conf = "# Firebird configuration\r\n#RemoteServicePort = 3050\r\n";
        if (!port.empty()) conf += "RemoteServicePort = " + port + "\r\n";
        ASSERT_TRUE(WriteBytes(folder + outside::kServerConf, conf + "#ServerMode = Super\r\n"));
    }
    // data.ini with the keys given (none for an empty text).
    static void PutIni(const std::wstring& appDir, const std::string& port,
                       const std::wstring& server, const std::string& mode) {
        std::string ini = "[DATA]\r\nDATABASE=lumera.fdb\r\n";
        if (!port.empty()) ini += "PORT=" + port + "\r\n";
        if (!server.empty()) ini += "FBSERVER=" + ToUtf8(server) + "\r\n";
        if (!mode.empty()) ini += "FBTYPE=" + mode + "\r\n";
        ASSERT_TRUE(WriteBytes(appDir + outside::kDataIni, ini));
    }
    // Beside the application folder, where a server from the kit goes.
    std::wstring DefaultServer(const std::wstring& appDir) const {
        return appDir.substr(0, appDir.find_last_of(L'\\', appDir.size() - 2) + 1) +
               L"firebird\\firebird_4_0_x64\\";
    }

    toolkit::Application app_;
    ScriptedUi ui_;
    TempDir root_{L"nf"}, work_{L"nfcwd"};
    ScratchPlaces places_{work_.Path()};
    std::wstring app1_, app2_;
    wchar_t savedCwd_[MAX_PATH] = {};
    std::unique_ptr<TWizard> wizard_;
    std::vector<std::wstring> instances_;
};

// ---- The states that start-up enters ------------------------------------------------

TEST_F(NewFrameTest, NoServerWithKitStartsInInstallWithTheKitsVersion) {
    PutKit();
    TNewFrame& p = Start();
    EXPECT_EQ(L"Parametre inštalácie", p.lCaption->Caption());
    EXPECT_EQ(app1_, p.lAppInfoFolder->Caption());
    EXPECT_EQ(DefaultServer(app1_), W().Run().serverDir);  // no data.ini: the folder beside
    EXPECT_EQ(4000005, W().Run().m_nFBSetupVersion);
    EXPECT_EQ(0, W().Run().m_nFBVersion);
    EXPECT_EQ(Installing(DefaultServer(app1_), L"50064"), Read(p));
    // The kit stays; its client library was only borrowed.
    EXPECT_TRUE(Exists(work_ / outside::kKitArchive));
}

struct CurrentCase {
    const char* name;
    const wchar_t* installed;
    const wchar_t* shown;
    const char* mode;
};

class CurrentServerTest : public NewFrameTest, public ::testing::WithParamInterface<CurrentCase> {};

// The installed server is at least as new as the kit: kept, with the port and
// mode that application and server agree on.
TEST_P(CurrentServerTest, StartsInKeepInstalled) {
    const CurrentCase& c = GetParam();
    PutKit();
    std::wstring server = root_ / L"Server\\";
    PutServer(server, c.installed, "3055");
    PutIni(app1_, "3055", server + L"firebird.exe", c.mode);
    TNewFrame& p = Start();
    EXPECT_EQ(server, W().Run().serverDir);
    EXPECT_EQ(Keeping(server, c.shown, L"3055", FromUtf8(c.mode)), Read(p));
    EXPECT_EQ(L"", p.edFbFolder->Text());  // never filled: the install state was not entered
}

INSTANTIATE_TEST_SUITE_P(Versions, CurrentServerTest,
                         ::testing::Values(CurrentCase{"SameAsKit", kKitVersion, L"4.0.5", "CS"},
                                           CurrentCase{"NewerThanKit", kNewerVersion, L"10.2.1",
                                                       "SC"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(NewFrameTest, OlderServerStartsInInstallKeepingItsAgreedPortButNotItsMode) {
    PutKit();
    std::wstring server = root_ / L"Server\\";
    PutServer(server, kOlderVersion, "3055");
    PutIni(app1_, "3055", server + L"firebird.exe", "SC");
    TNewFrame& p = Start();
    EXPECT_EQ(4000002, W().Run().m_nFBVersion);
    EXPECT_EQ(Installing(DefaultServer(app1_), L"3055"), Read(p));
    // Hidden behind the folder edit, the installed server is still known.
    EXPECT_EQ(server, p.lFBInfoFolder->Caption());
    EXPECT_EQ(L"4.0.2", p.lFBInfoVersion->Caption());
}

TEST_F(NewFrameTest, OlderServerWhosePortsDisagreeOffersTheDefaultPort) {
    PutKit();
    std::wstring server = root_ / L"Server\\";
    PutServer(server, kOlderVersion, "3060");
    PutIni(app1_, "3061", server + L"firebird.exe", "CS");
    TNewFrame& p = Start();
    EXPECT_EQ(L"50064", p.edPort->Text());
    EXPECT_TRUE(p.chFB->Checked());
    EXPECT_TRUE(p.gSS->Checked());
}

TEST_F(NewFrameTest, NoKitAndNoServerNothingIsPossible) {
    TNewFrame& p = Start();
    EXPECT_EQ(0, W().Run().m_nFBSetupVersion);
    EXPECT_EQ((ServerHalf{.kit = L"Firebird 4", .port = L"50064", .mode = L"SS"}), Read(p));
}

TEST_F(NewFrameTest, NoKitWithAnInstalledServerKeepsItAndLetsPortAndModeChange) {
    // No data.ini: the server is looked for beside the application, and the
    // port cannot be agreed on, so the default is offered.
    PutServer(DefaultServer(app1_), kOlderVersion, "3050");
    TNewFrame& p = Start();
    EXPECT_EQ((ServerHalf{.kit = L"Firebird 4",
                          .info = kInstalledCaption,
                          .folder = DefaultServer(app1_),
                          .version = L"Verzia: 4.0.2",
                          .port = L"50064",
                          .portEnabled = true,
                          .mode = L"SS",
                          .modesEnabled = true}),
              Read(p));
}

TEST_F(NewFrameTest, DataIniWithoutServerShowsNoServer) {
    PutKit();
    // A server where the default would be, and one in the current directory:
    // neither is the application's.
    PutServer(DefaultServer(app1_), kKitVersion, "3055");
    PutServer(work_.Path(), kNewerVersion, "3055");
    PutIni(app1_, "3055", L"", "CS");
    TNewFrame& p = Start();
    EXPECT_EQ(L"", W().Run().serverDir);
    EXPECT_EQ(0, W().Run().m_nFBVersion);
    EXPECT_EQ(Installing(DefaultServer(app1_), L"50064"), Read(p));
}

// Every user writes data.ini: a server in a folder that no registered
// instance runs from is not shown as installed (nothing of it is to run),
// and an open log says why.
TEST_F(NewFrameTest, DataIniNamingAServerNoInstanceRunsFromShowsNoServerAndLogsWhy) {
    PutKit();
    const std::wstring planted = app1_ + L"userdata\\fake\\";
    PutServer(planted, kKitVersion, "3055", /*registered=*/false);
    PutIni(app1_, "3055", planted + L"firebird.exe", "");
    const std::wstring log = root_ / L"setup.log";
    TNewFrame& p = Start({L"/LOG=" + log});
    EXPECT_EQ(L"", W().Run().serverDir);
    EXPECT_EQ(0, W().Run().m_nFBVersion);
    EXPECT_EQ(Installing(DefaultServer(app1_), L"50064"), Read(p));
    W().CloseLog();
    const std::wstring text = runlog::RunEntries(log);
    const std::wstring why =
        L"Priečinok " + planted + environment::kNotTaken + environment::kNoInstance;
    EXPECT_EQ(21u, text.find(why + L"\r\n")) << ToUtf8(text);
}

TEST_F(NewFrameTest, KitWithoutClientLibraryIsOfferedWithoutVersion) {
    // The kit with its top-level client library renamed in place (local and
    // central headers alike), so the archive stays readable but lacks it.
    std::string bytes = ReadBytes(KitArchive());
    ASSERT_FALSE(bytes.empty());
    int renamed = 0;
    for (size_t at = bytes.find("fbclient.dll"); at != std::string::npos;
         at = bytes.find("fbclient.dll", at + 1)) {
        if (bytes[at - 1] == '/') continue;  // 32b/fbclient.dll stays
        bytes.replace(at, 12, "fbclienx.dll");
        ++renamed;
    }
    ASSERT_EQ(2, renamed);
    ASSERT_TRUE(WriteBytes(work_ / outside::kKitArchive, bytes));
    TNewFrame& p = Start();
    EXPECT_EQ(0, W().Run().m_nFBSetupVersion);
    EXPECT_EQ(L"Firebird 4.0 64-bit", p.chFB->Caption());
    EXPECT_TRUE(p.chFB->Enabled());
    EXPECT_TRUE(p.chFB->Checked());
}

TEST_F(NewFrameTest, DamagedKitIsReportedByTheStandardErrorBox) {
    ASSERT_TRUE(WriteBytes(work_ / outside::kKitArchive, "not an archive"));
    wizard_ = std::make_unique<TWizard>(places_.Places(), std::vector<std::wstring>{});
    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(L"newframe_test", ui_.messages[0].caption);
    EXPECT_TRUE(ui_.messages[0].text.ends_with(std::wstring(L": ") + outside::kKitArchive))
        << ToUtf8(ui_.messages[0].text);
    // No page became active, so the program ends after the box instead of
    // offering buttons that lead nowhere (or waiting hidden when unattended).
    EXPECT_EQ(nullptr, wizard_->m_ActiveFrame);
    EXPECT_TRUE(toolkit::App().Terminated());
}

// ---- The check box ---------------------------------------------------------------------

TEST_F(NewFrameTest, UncheckingForAServerWhosePortsDisagreeLeavesThePortEmpty) {
    PutKit();
    std::wstring server = root_ / L"Server\\";
    PutServer(server, kOlderVersion, "3060");
    PutIni(app1_, "3061", server + L"firebird.exe", "CS");
    TNewFrame& p = Start();
    ASSERT_TRUE(p.chFB->Checked());
    Click(*p.chFB);
    EXPECT_EQ(Keeping(server, L"4.0.2", L"", L"CS"), Read(p));
    // The folder edit keeps its text while hidden; checking again brings it
    // back, SuperServer selected, the (empty) port left as it is.
    EXPECT_EQ(DefaultServer(app1_), p.edFbFolder->Text());
    Click(*p.chFB);
    EXPECT_EQ(Installing(DefaultServer(app1_), L""), Read(p));
}

TEST_F(NewFrameTest, UncheckingForAnAgreedServerShowsItsPortAndMode) {
    PutKit();
    std::wstring server = root_ / L"Server\\";
    PutServer(server, kOlderVersion, "3070");
    PutIni(app1_, "3070", server + L"firebird.exe", "SC");
    TNewFrame& p = Start();
    p.edPort->SetText(L"4000");
    Click(*p.chFB);
    EXPECT_EQ(Keeping(server, L"4.0.2", L"3070", L"SC"), Read(p));
}

TEST_F(NewFrameTest, UncheckingWithoutServerLeavesNothingInstalledMayInstall) {
    PutKit();
    TNewFrame& p = Start();
    p.edPort->SetText(L"3333");
    Click(*p.chFB);
    EXPECT_EQ((ServerHalf{.kit = L"Firebird 4.0.5",
                          .kitEnabled = true,
                          .port = L"3333",
                          .portEnabled = true,
                          .mode = L"SS",
                          .modesEnabled = true}),
              Read(p));
    EXPECT_EQ(DefaultServer(app1_), p.edFbFolder->Text());
    // And back into install: a new server gets the new-server port.
    p.gCS->SetChecked(true);
    Click(*p.chFB);
    EXPECT_EQ(Installing(DefaultServer(app1_), L"50064"), Read(p));
}

TEST_F(NewFrameTest, CheckingFromKeepInstalledKeepsTheInstalledServersPort) {
    PutKit();
    std::wstring server = root_ / L"Server\\";
    PutServer(server, kKitVersion, "3055");
    PutIni(app1_, "3055", server + L"firebird.exe", "CS");
    TNewFrame& p = Start();
    ASSERT_FALSE(p.chFB->Checked());
    Click(*p.chFB);
    EXPECT_EQ(Installing(DefaultServer(app1_), L"3055"), Read(p));
}

// A port that is no port starts nothing: no question, no marker, no wait,
// no page change; the box says the rule and the page keeps the text for a
// correction.
TEST_F(NewFrameTest, FinishingWithAPortThatIsNoPortShowsTheRuleAndStartsNothing) {
    PutKit();
    ASSERT_TRUE(MakeDirs(app1_ + outside::kCompsDir));
    TNewFrame& p = Start();
    const std::vector<std::wstring> bad = {L"port x", L"", L"65536"};
    for (const std::wstring& text : bad) {
        p.edPort->SetText(text);
        Click(*W().OK);
        EXPECT_EQ(text, p.edPort->Text());
    }
    ASSERT_EQ(bad.size(), ui_.messages.size());
    for (const auto& m : ui_.messages) {
        EXPECT_EQ(L"Chyba", m.caption);
        EXPECT_EQ(wizard::kPortRule, m.text);
    }
    EXPECT_EQ(&p, W().m_ActiveFrame);
    EXPECT_FALSE(Exists(app1_ + outside::kStopMarker));
    EXPECT_EQ(wizard::kExitDone, W().Exit().Code());
}

// Unattended nobody could correct the port that application and server
// agree on: the run ends at its start, as with a bad option.
TEST_F(NewFrameTest, UnattendedRunWithAnAgreedPortThatIsNoPortEndsAtItsStart) {
    PutKit();
    std::wstring server = root_ / L"Server\\";
    PutServer(server, kOlderVersion, "99999");
    PutIni(app1_, "99999", server + L"firebird.exe", "SS");
    const std::wstring log = root_ / L"setup.log";
    Start({L"/S", L"/LOG=" + log});
    EXPECT_EQ(wizard::kExitNotStarted, W().Exit().Code());
    EXPECT_TRUE(toolkit::App().Terminated());
    W().CloseLog();
    const std::wstring text = runlog::RunEntries(log);
    using namespace wizard;
    EXPECT_EQ(21u, text.find(std::wstring(kCannotGoOn) + kWrongPort + L"99999\r\n" + kPortRule +
                             kPortOption + L"\r\n"))
        << ToUtf8(text);
}

// ---- The search button ---------------------------------------------------------------------

TEST_F(NewFrameTest, SearchAsksForTheApplicationsExecutableAndCancelChangesNothing) {
    PutKit();
    TNewFrame& p = Start();
    ServerHalf before = Read(p);
    ui_.files = {std::nullopt};
    Click(*p.btnSearch);
    ASSERT_EQ(1u, ui_.openFiles.size());
    const toolkit::OpenFileRequest& r = ui_.openFiles[0];
    EXPECT_EQ(L"Vyhľadaj súbor aplikácie - kadrix.exe", r.title);
    EXPECT_EQ(L"Lumera SQL|kadrix.exe", r.filter);
    EXPECT_EQ(app1_ + L"bin\\exe\\", r.initialDir);
    EXPECT_EQ(L"", r.defaultExt);
    EXPECT_EQ(L"", r.fileName);
    EXPECT_EQ(W().Handle(), r.owner);
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(app1_, W().Run().appDir);
    EXPECT_EQ(before, Read(p));
}

struct RefusedCase {
    const char* name;
    // "<app2>" stands for the second application folder, "<removable>" for
    // the root of a removable drive.
    const wchar_t* path;
};

class RefusedSearchTest : public NewFrameTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedSearchTest, ShowsTheErrorAndChangesNothing) {
    const RefusedCase& c = GetParam();
    PutKit();
    std::wstring server = root_ / L"Server\\";
    PutServer(server, kKitVersion, "3055");
    PutIni(app1_, "3055", server + L"firebird.exe", "CS");
    ASSERT_TRUE(WriteBytes(app2_ + L"Kadrix.exe", "MZ"));
    TNewFrame& p = Start();
    ServerHalf before = Read(p);
    std::wstring path = c.path;
    if (path.starts_with(L"<app2>")) path = app2_ + path.substr(6);
    RemovableDrive removable;
    if (path.starts_with(L"<removable>")) {
        ASSERT_NE(0, removable.Letter()) << "no removable drive could be made";
        const std::wstring root = removable.Letter() + std::wstring(L":\\");
        ASSERT_EQ(UINT(DRIVE_REMOVABLE), GetDriveTypeW(root.c_str()));
        path = root + path.substr(11);
    }
    ui_.files = {path};
    Click(*p.btnSearch);
    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(L"Chyba", ui_.messages[0].caption);
    EXPECT_EQ(kNotLocalFixed, ui_.messages[0].text);
    EXPECT_EQ((std::vector<std::wstring>{L"OK"}), ui_.messages[0].buttons);
    EXPECT_EQ(app1_, W().Run().appDir);
    EXPECT_EQ(app1_, p.lAppInfoFolder->Caption());
    EXPECT_EQ(server, W().Run().serverDir);
    EXPECT_EQ(before, Read(p));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RefusedSearchTest,
    ::testing::Values(
        RefusedCase{"NetworkPath", L"\\\\server\\share\\Lumera\\bin\\exe\\Kadrix.exe"},
        RefusedCase{"RemovableDrive", L"<removable>Lumera\\bin\\exe\\Kadrix.exe"},
        RefusedCase{"DriveThatDoesNotExist", L"Q:\\Lumera\\bin\\exe\\Kadrix.exe"},
        RefusedCase{"OutsideBinExe", L"<app2>Kadrix.exe"},
        RefusedCase{"OtherExecutable", L"<app2>bin\\exe\\Other.exe"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NewFrameTest, SearchForAnApplicationWithoutServerRefillsBothHalves) {
    // From keep installed in the first application to install in the second.
    PutKit();
    std::wstring server = root_ / L"Server\\";
    PutServer(server, kKitVersion, "3055");
    PutIni(app1_, "3055", server + L"firebird.exe", "CS");
    TNewFrame& p = Start();
    ASSERT_FALSE(p.chFB->Checked());
    ui_.files = {app2_ + L"BIN\\Exe\\kadrix.EXE"};  // the filter's spelling
    Click(*p.btnSearch);
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(app2_, W().Run().appDir);
    EXPECT_EQ(app2_, p.lAppInfoFolder->Caption());
    EXPECT_EQ(DefaultServer(app2_), W().Run().serverDir);
    EXPECT_EQ(0, W().Run().m_nFBVersion);
    EXPECT_EQ(Installing(DefaultServer(app2_), L"50064"), Read(p));
    // For this run only.
    wchar_t stored[MAX_PATH] = {};
    DWORD size = sizeof stored;
    ASSERT_EQ(ERROR_SUCCESS,
              RegGetValueW(HKEY_LOCAL_MACHINE, places_.Places().appKey.c_str(), outside::kAppDirValue,
                           RRF_RT_REG_SZ, nullptr, stored, &size));
    EXPECT_EQ(app1_, std::wstring(stored));
}

TEST_F(NewFrameTest, SearchFromInstallToAnotherApplicationWithoutServerMovesTheServerFolder) {
    PutKit();
    TNewFrame& p = Start();
    ASSERT_EQ(DefaultServer(app1_), p.edFbFolder->Text());
    p.edPort->SetText(L"3333");
    ui_.files = {app2_ + L"bin\\exe\\Kadrix.exe"};
    Click(*p.btnSearch);
    EXPECT_EQ(Installing(DefaultServer(app2_), L"50064"), Read(p));
}

TEST_F(NewFrameTest, SearchForAnApplicationWithACurrentServerShowsIt) {
    // From install in the first application to keep installed in the second.
    PutKit();
    std::wstring server = root_ / L"Druha\\fb\\";
    PutServer(server, kNewerVersion, "3080");
    PutIni(app2_, "3080", server + L"firebird.exe", "SC");
    TNewFrame& p = Start();
    ASSERT_TRUE(p.chFB->Checked());
    ui_.files = {app2_ + L"bin\\exe\\Kadrix.exe"};
    Click(*p.btnSearch);
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(app2_, p.lAppInfoFolder->Caption());
    EXPECT_EQ(10002001, W().Run().m_nFBVersion);
    EXPECT_EQ(Keeping(server, L"10.2.1", L"3080", L"SC"), Read(p));
}

TEST_F(NewFrameTest, SearchFromNothingInstalledToACurrentServerNamesItAsInstalled) {
    // The caption left over from the install state must not stay above the
    // installed server.
    PutKit();
    std::wstring server = root_ / L"Druha\\fb\\";
    PutServer(server, kKitVersion, "3080");
    PutIni(app2_, "3080", server + L"firebird.exe", "CS");
    TNewFrame& p = Start();
    Click(*p.chFB);  // nothing installed, may install
    ASSERT_FALSE(p.lFBInfoCaption1->Visible());
    ui_.files = {app2_ + L"bin\\exe\\Kadrix.exe"};
    Click(*p.btnSearch);
    EXPECT_EQ(Keeping(server, L"4.0.5", L"3080", L"CS"), Read(p));
}

TEST_F(NewFrameTest, SearchWithoutKitFromServerToNoServerDisablesPortAndModes) {
    PutServer(DefaultServer(app1_), kOlderVersion, "3050");
    TNewFrame& p = Start();
    ASSERT_TRUE(p.edPort->Enabled());
    ui_.files = {app2_ + L"bin\\exe\\Kadrix.exe"};
    Click(*p.btnSearch);
    EXPECT_EQ((ServerHalf{.kit = L"Firebird 4", .port = L"50064", .mode = L"SS"}), Read(p));
}

// ---- Version numbers --------------------------------------------------------------------

TEST(VersionNumberTest, NumberFormBecomesTheWizardsNumber) {
    EXPECT_EQ(4000005, wizard::VersionNumber(L"004000005"));
    EXPECT_EQ(10002001, wizard::VersionNumber(L"010002001"));
    EXPECT_EQ(0, wizard::VersionNumber(L""));
    EXPECT_EQ(0, wizard::VersionNumber(L"4.0.5"));
    EXPECT_EQ(0, wizard::VersionNumber(L"00400000x"));
    EXPECT_EQ(0, wizard::VersionNumber(L"655356553565535"));  // beyond 32 bits
    EXPECT_EQ(2147483647, wizard::VersionNumber(L"2147483647"));
}

}  // namespace
