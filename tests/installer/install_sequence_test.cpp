// The install sequence behind "Dokončiť" as the window drives it: the page's
// choices becoming the plan, the progress and end pages, "Storno" during the
// extraction, unattended runs logging and closing with their exit codes,
// markers removed at the close, raised errors. Dialogs are answered at the
// toolkit's seam; what the engine does is deployment_test's.
#include <gtest/gtest.h>
#include <windows.h>

#include "Later.h"
#include "RunLog.h"
#include "ScriptedUi.h"
#include "SequenceBed.h"
#include "engine/Messages.h"
#include "platform/Text.h"
#include "wizard/NewFrame.h"
#include "outside/Outside.h"
#include "ComputerName.h"
#include "wizard/Dialogs.h"
#include "wizard/Wizard.h"
#include "toolkit/Application.h"

using namespace sequencebed;
using runlog::RunEntries;
using wizard::TWizard;

namespace {

using engine::kNothingLeft;
using engine::kOpenError;
using engine::kServerInUse;
const std::string kOldClient = "old client library";

// The log's entry for the open error of the kit.
std::wstring KitOpenError() {
    return kOpenError + std::wstring(outside::kKitArchive);
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

// Ports 47100 to 47109.
class InstallSequenceTest : public SequenceBed {
protected:
    InstallSequenceTest() : SequenceBed(47100) {}

    std::unique_ptr<TWizard> Make(std::vector<std::wstring> args = {}) {
        return std::make_unique<TWizard>(places_.Places(), std::move(args));
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
    EXPECT_EQ(engine::kStatusInstalling, w->ProgressFrame->lStatus->Caption());
    EXPECT_TRUE(OnEndPage(*w));

    // Markers hold the application still until "Koniec" closes the wizard.
    EXPECT_TRUE(Exists(app_ + L"userdata\\vorsel.stop"));
    SendMessageW(w->OK->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(w->Closed());
    EXPECT_EQ(wizard::kExitDone, w->Exit().Code());
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
        auto w = Make({L"/S", L"/PORT=" + Port(2)});
        Choose(*w, true, L"", w->NewFrame->gSS);
        w->Show();
        EXPECT_TRUE(w->Closed());
        EXPECT_TRUE(toolkit::App().Terminated());
        EXPECT_TRUE(ui_.messages.empty());
        EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(2))));
        EXPECT_EQ(Port(2), IniValue(ini_, L"PORT"));
        w->CloseLog();
    }
    std::string bytes = ReadBytes(log);
    // "dd.mm.yyyy hh:nn:ss" CR LF "Istrel a.b.c.d" CR LF, then a stamp and
    // "OK" CR LF, in UTF-16LE.
    const std::wstring first = wizard::ProgramAndVersion();
    ASSERT_EQ(2 * (19 + 2 + first.size() + 2 + 19 + 2 + 2 + 2), bytes.size());
    EXPECT_EQ(L"\r\n" + first + L"\r\n", runlog::LogText(log).substr(19, 2 + first.size() + 2));
    EXPECT_EQ(std::string("\r\0\n\0O\0K\0\r\0\n\0", 12), bytes.substr(bytes.size() - 12));
    DeleteFileW(log.c_str());
    if (madeMakerDir) RemoveTree(L"C:\\velmora\\");
}

// ---- Questions before anything changes ------------------------------------------------

// A question answered No leaves the page for another try.
TEST_F(InstallSequenceTest, ServerAlreadyInTheFolderAsksAndNoChangesNothing) {
    InstallEarlierServer(Port(3), L"SS", false);
    ui_.answers = {wizard::kResultNo};
    auto w = Make();
    Choose(*w, true, Port(3), w->NewFrame->gSS);
    w->OKClick();

    ASSERT_EQ(1u, ui_.messages.size());
    const ScriptedUi::Message& q = ui_.messages[0];
    EXPECT_EQ(L"Otázka", q.caption);
    EXPECT_EQ(engine::kInFolder + fb_ + engine::kAlreadyInstalled, q.text);
    EXPECT_EQ((std::vector<std::wstring>{L"&Ano", L"&Nie"}), q.buttons);
    EXPECT_EQ(L"&Nie", q.defaultButton);
    EXPECT_TRUE(StillOnParameters(*w));
    EXPECT_FALSE(Exists(app_ + L"userdata\\vorsel.stop"));

    // A second press asks again; Yes overwrites.
    ui_.answers = {wizard::kResultYes};
    w->OKClick();
    EXPECT_EQ(2u, ui_.messages.size());
    EXPECT_TRUE(OnEndPage(*w));
}

// Unattended the question is asked too, and its No logged; where nobody
// could see it, the answer is No without a window. Nobody could try again:
// the run ends.
TEST_F(InstallSequenceTest, AnotherRunningInstanceOnThePortIsAskedAboutEvenUnattended) {
    const std::wstring other = root_ / L"other\\";
    RunOtherServer(other, Port(4));
    const std::wstring question =
        engine::kInFolder + other + engine::kOnPort + Port(4) + engine::kOtherInstanceRuns;
    const std::wstring log = root_ / L"setup.log";
    for (bool seen : {true, false}) {
        ui_.messages.clear();
        ui_.stationVisible = seen;
        DeleteFileW(log.c_str());
        // Unattended the port is the option's, whatever the page's box says.
        auto w = Make({L"/S", L"/LOG=" + log, L"/PORT=" + Port(4)});
        Choose(*w, true, Port(5), w->NewFrame->gSS);
        w->OKClick();
        w->CloseLog();
        ASSERT_EQ(seen ? 1u : 0u, ui_.messages.size());
        if (seen) {
            EXPECT_EQ(question, ui_.messages[0].text);
        }
        EXPECT_TRUE(w->Closed() && w->Exit().Code() == wizard::kExitStopped) << seen;
        EXPECT_EQ(21u, RunEntries(log).find(question + L"\r\n" + engine::kAnsweredNo + L"\r\n"))
            << seen;
        EXPECT_FALSE(Exists(fb_));
    }
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
        EXPECT_EQ(wizard::kExitPostponed, w->Exit().Code());
        EXPECT_FALSE(Exists(app_ + L"userdata\\vorsel.stop"));
        EXPECT_FALSE(Exists(app_ + L"userdata\\comps\\norun." + testsupport::ComputerName()));
        EXPECT_FALSE(Exists(fb_));
        EXPECT_TRUE(Exists(work_ / outside::kKitArchive));
        const std::wstring postponed = platform::Fill(
            engine::kPostponed, {L" a jeho súbor bin\\exe\\Kadrix.exe je používaný"});
        const std::wstring text = RunEntries(log);
        EXPECT_EQ(21u, text.find(postponed + L"\r\n")) << ToUtf8(text);
    }
    CloseHandle(running);
}

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
    ASSERT_EQ(other, w->Run().appDir);
    w->Close();
    EXPECT_FALSE(Exists(app_ + L"userdata\\vorsel.stop"));
    EXPECT_FALSE(Exists(noRun));
    EXPECT_EQ("theirs", ReadBytes(other + L"userdata\\vorsel.stop"));
}

// A kept server is the one the page shows, wherever data.ini put it.
TEST_F(InstallSequenceTest, KeptServerOutsideTheDefaultFolderIsTheOneMoved) {
    fb_ = root_ / L"fbsrv\\firebird_4_0_x64\\";
    InstallEarlierServer(Port(7), L"SS", true);
    WriteIni(Port(7), fb_ + L"firebird.exe", L"SS");
    auto w = Make();  // the page shows the server that data.ini names
    Choose(*w, false, Port(8), w->NewFrame->gSS);
    w->OKClick();

    std::string p7 = ToUtf8(Port(7)), p8 = ToUtf8(Port(8));
    EXPECT_EQ(Reinstalled(p7, p8), ToolCalls());
    EXPECT_EQ(fb_ + L"firebird.exe", IniValue(ini_, L"FBSERVER"));
    EXPECT_EQ(ReadBytes(fb_ + L"32b\\fbclient.dll"), ReadBytes(exe_ + L"gds32.dll"));
}

// ---- Deployment stops ------------------------------------------------------------------

// A failure reported on the way is the log's one entry, without "OK".
TEST_F(InstallSequenceTest, ServerInUseUnattendedIsLogged) {
    ExtractKitInto(fb_);
    RunTool(L"i", Port(9));
    StartInstance(Port(9));
    auto w = Make({L"/S", L"/LOG=" + root_ / L"setup.log"});
    Choose(*w, true, Port(1), w->NewFrame->gSS);
    w->OKClick();
    w->CloseLog();
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(w->Closed());
    const std::wstring text = RunEntries(root_ / L"setup.log");
    const std::wstring entry = std::wstring(kNothingLeft) + kServerInUse;
    EXPECT_EQ(21u, text.find(entry)) << ToUtf8(text);
    EXPECT_EQ(21 + entry.size() + 2, text.size());
    EXPECT_EQ(wizard::kExitFailed, w->Exit().Code());
    EXPECT_EQ(std::wstring::npos, text.find(L"\r\nOK\r\n"));
}

TEST_F(InstallSequenceTest, MissingKitStopsOnTheProgressPageWithTheRaisedError) {
    DeleteFileW((work_ / outside::kKitArchive).c_str());
    auto w = Make();
    Choose(*w, true, Port(1), w->NewFrame->gSS);
    SendMessageW(w->OK->Handle(), BM_CLICK, 0, 0);  // through the toolkit's handler boundary

    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(KitOpenError(), ui_.messages[0].text);
    EXPECT_EQ(w->ProgressFrame.get(), w->m_ActiveFrame);
    EXPECT_FALSE(w->OK->Enabled());
    EXPECT_FALSE(w->Closed());
    EXPECT_EQ(wizard::kExitFailed, w->Exit().Code());
}

TEST_F(InstallSequenceTest, KitGoneAfterTheStartUnattendedEndsTheRunAfterTheError) {
    auto w = Make({L"/S", L"/LOG=" + root_ / L"setup.log"});
    DeleteFileW((work_ / outside::kKitArchive).c_str());
    Choose(*w, true, Port(1), w->NewFrame->gSS);
    w->OKClick();
    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(KitOpenError(), ui_.messages[0].text);
    EXPECT_TRUE(w->Closed());
    EXPECT_EQ(wizard::kExitFailed, w->Exit().Code());
    w->CloseLog();
    EXPECT_EQ(21u, RunEntries(root_ / L"setup.log").find(KitOpenError() + L"\r\n"))
        << "the error is the log's one entry";
}

// ---- Extraction ------------------------------------------------------------------------

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
    EXPECT_EQ(wizard::kExitStopped, w->Exit().Code());
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

}  // namespace
