// The wizard window in this process: start-up with and without the
// application's registry value, "/S", the pages and their buttons, the
// close clean-up. Windows are real (headless); buttons are pressed by
// messages, dialogs are answered at the toolkit's seam.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "Places.h"
#include "Pump.h"
#include "RunLog.h"
#include "ScriptedUi.h"
#include "WinTestSupport.h"
#include "wizard/Messages.h"
#include "wizard/NewFrame.h"
#include "outside/Outside.h"
#include "resources/Layouts.h"
#include "ComputerName.h"
#include "engine/DeploymentGuard.h"
#include "engine/Messages.h"
#include "wizard/Dialogs.h"
#include "wizard/Wizard.h"
#include "toolkit/Application.h"

using namespace testsupport;
using wizard::TWizard;

namespace {

using wizard::kNoApplication;

void Touch(const std::wstring& path) {
    size_t slash = path.find_last_of(L'\\');
    MakeDirs(path.substr(0, slash + 1));
    ASSERT_TRUE(WriteBytes(path, "x")) << ToUtf8(path);
}

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override {
        appDir_ = app_dir_.Path() + L"Lumera\\";
        ASSERT_TRUE(MakeDirs(appDir_ + L"userdata\\"));
        places_.App().Set(appDir_);
    }

    std::unique_ptr<TWizard> Make(std::vector<std::wstring> args = {}) {
        return std::make_unique<TWizard>(places_.Places(), std::move(args));
    }

    toolkit::Application app_;
    ScriptedUi ui_;
    TempDir app_dir_{L"app"}, work_{L"cwd"};
    ScratchPlaces places_{work_.Path()};
    std::wstring appDir_;
};

// ---- Start-up ---------------------------------------------------------------------

TEST_F(WizardTest, StartsOnTheParametersPageWithItsFields) {
    auto w = Make();
    EXPECT_EQ(wizard::kWindowTitle, w->Text());
    EXPECT_EQ(appDir_, w->Run().appDir);
    EXPECT_EQ(L"50064", w->NewFrame->edPort->Text());
    EXPECT_FALSE(w->Run().m_bSilentInstall);
    EXPECT_EQ(toolkit::App().MainForm(), w.get());
    EXPECT_EQ(w->NewFrame.get(), w->m_ActiveFrame);
    EXPECT_TRUE(w->NewFrame->Visible());
    EXPECT_FALSE(w->ProgressFrame->Visible());
    EXPECT_FALSE(w->EndFrame->Visible());
    EXPECT_EQ(L"Parametre inštalácie", w->NewFrame->lCaption->Caption());
    EXPECT_EQ(L"Priebeh inštalácie", w->ProgressFrame->lCaption->Caption());
    EXPECT_EQ(L"Inštalácia ukončená", w->EndFrame->lCaption->Caption());
    EXPECT_FALSE(toolkit::App().Terminated());
    EXPECT_TRUE(ui_.messages.empty());
    SIZE banner = w->imgSetup->ImageSize();
    EXPECT_EQ(161, banner.cx);
    EXPECT_EQ(312, banner.cy);
}

struct SwitchCase {
    const char* name;
    std::vector<std::wstring> args;
    bool silent;
};

class SwitchTest : public WizardTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchTest, OnlyArgumentsBeginningWithSlashSSwitchToUnattended) {
    auto w = Make(GetParam().args);
    EXPECT_EQ(GetParam().silent, w->Run().m_bSilentInstall);
    EXPECT_EQ(GetParam().silent, w->MarkedHidden());
}

INSTANTIATE_TEST_SUITE_P(
    Switches, SwitchTest,
    ::testing::Values(SwitchCase{"UpperS", {L"/S"}, true}, SwitchCase{"LowerS", {L"/s"}, true},
                      SwitchCase{"LongerArgument", {L"/Silent"}, true},
                      SwitchCase{"LaterArgument", {L"kit", L"/S"}, true},
                      SwitchCase{"Dash", {L"-S"}, false}, SwitchCase{"SlashFurtherIn", {L"x/S"}, false},
                      SwitchCase{"None", {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Options of an installation script --------------------------------------------

struct BadOption {
    const char* name;
    std::wstring argument, firstLine;
};

class BadOptionTest : public WizardTest, public ::testing::WithParamInterface<BadOption> {};

TEST_P(BadOptionTest, EndsAtStartWithExitCodeOne) {
    auto w = Make({L"/MODE=CS", GetParam().argument});
    ASSERT_EQ(1u, ui_.messages.size());
    const std::wstring& text = ui_.messages[0].text;
    EXPECT_EQ(L"Inštalácia nemôže pokračovať. " + GetParam().firstLine,
              text.substr(0, text.find(L"\r\n")));
    EXPECT_TRUE(toolkit::App().Terminated());
    EXPECT_EQ(wizard::kExitNotStarted, w->Exit().Code());
    EXPECT_EQ(nullptr, w->m_ActiveFrame);
}

INSTANTIATE_TEST_SUITE_P(
    Options, BadOptionTest,
    ::testing::Values(BadOption{"PortZero", L"/PORT=0", L"Chybný parameter: /PORT=0"},
                      BadOption{"PortTooHigh", L"/port=65536", L"Chybný parameter: /port=65536"},
                      BadOption{"PortSigned", L"/PORT=+3051", L"Chybný parameter: /PORT=+3051"},
                      BadOption{"ModeUnknown", L"/MODE=SSS", L"Chybný parameter: /MODE=SSS"},
                      BadOption{"DirRelative", L"/DIR=fb", L"Chybný parameter: /DIR=fb"},
                      BadOption{"WaitTooLong", L"/WAIT=86401", L"Chybný parameter: /WAIT=86401"},
                      BadOption{"WaitNegative", L"/WAIT=-1", L"Chybný parameter: /WAIT=-1"},
                      BadOption{"LogWithoutFile", L"/LOG=", L"Chybný parameter: /LOG="},
                      BadOption{"Unknown", L"/PORTS=3051", L"Neznámy parameter: /PORTS=3051"},
                      BadOption{"Dash", L"-S", L"Neznámy parameter: -S"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WizardTest, OptionsFillThePageTheFolderOnlyForAnInstallation) {
    auto w = Make({L"/mode=sc", L"/DIR=D:\\fb", L"/Port=03051"});
    EXPECT_EQ(L"3051", w->NewFrame->edPort->Text());
    EXPECT_TRUE(w->NewFrame->gSC->Checked());
    EXPECT_FALSE(w->NewFrame->chFB->Checked()) << "no kit: nothing to install";
    EXPECT_NE(L"D:\\fb\\", w->NewFrame->edFbFolder->Text());
    w = nullptr;
    ASSERT_TRUE(CopyInto(KitArchive(), work_.Path() + outside::kKitArchive));
    w = Make({L"/DIR=D:\\fb", L"/S"});
    EXPECT_TRUE(w->NewFrame->chFB->Checked());
    EXPECT_EQ(L"D:\\fb\\", w->NewFrame->edFbFolder->Text());
    EXPECT_TRUE(ui_.messages.empty());
}

// Attended runs write a log only when asked; one that cannot be opened
// (a folder) is said once, and the wizard goes on.
TEST_F(WizardTest, LogOptionOpensItsFileAlsoAttended) {
    auto w = Make({L"/LOG=" + work_.Path() + L"istrel.log"});
    EXPECT_TRUE(w->Log().IsOpen());
    EXPECT_TRUE(ui_.messages.empty());
    w = nullptr;
    const std::wstring folder = work_.Path().substr(0, work_.Path().size() - 1);
    w = Make({L"/LOG=" + folder});
    w->Show();
    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(0u, ui_.messages[0].text.find(L"Záznam inštalácie " + folder +
                                            L" sa nedá otvoriť, inštalácia pokračuje bez neho."));
    EXPECT_EQ(w->NewFrame.get(), w->m_ActiveFrame);
    // A further name of another file stands for a link: Wine has no others of Windows.
    w = nullptr;
    ui_.messages.clear();
    const std::wstring linked = work_ / L"linked.log", victim = work_ / L"victim.txt";
    ASSERT_TRUE(WriteBytes(victim, "not the installer's"));
    ASSERT_TRUE(CreateHardLinkW(linked.c_str(), victim.c_str(), nullptr));
    w = Make({L"/LOG=" + linked});
    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(L"Záznam inštalácie " + linked +
                  L" sa nedá otvoriť, inštalácia pokračuje bez neho. Príčina: Súbor " + linked +
                  L" je odkaz na iné miesto; inštalácia ho nezmenila.",
              ui_.messages[0].text);
    EXPECT_EQ("not the installer's", ReadBytes(victim));
}

TEST_F(WizardTest, NoApplicationFolderInteractiveShowsOneErrorAndEnds) {
    places_.App().Remove();
    auto w = Make();
    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(kNoApplication, ui_.messages[0].text);
    EXPECT_EQ(L"Chyba", ui_.messages[0].caption);
    EXPECT_TRUE(toolkit::App().Terminated());
    EXPECT_EQ(nullptr, w->m_ActiveFrame);
    toolkit::App().Run();  // ends at once without showing the window
    EXPECT_FALSE(IsWindowVisible(w->Handle()));
    EXPECT_EQ(1u, ui_.messages.size());
}

// The fixed log folder; tests that use it remove what they made.
class FixedLogTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        madeFolder_ = !Exists(outside::kMakerDir);
        MakeDirs(std::wstring(outside::kMakerDir) + L"userdata\\");
        DeleteFileW(logPath_.c_str());
    }
    void TearDown() override {
        DeleteFileW(logPath_.c_str());
        if (madeFolder_) RemoveTree(L"C:\\velmora\\");
        WizardTest::TearDown();
    }
    std::wstring logPath_ = std::wstring(outside::kMakerDir) + outside::kSetupLog;
    bool madeFolder_ = false;
};

TEST_F(FixedLogTest, NoApplicationFolderUnattendedEndsSilentlyWithoutLog) {
    places_.App().Remove();
    auto w = Make({L"/S"});
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(toolkit::App().Terminated());
    toolkit::App().Run();
    EXPECT_FALSE(Exists(logPath_));
}

TEST_F(FixedLogTest, UnattendedRunLogsToTheFixedLogWhereverTheApplicationLives) {
    // Without a kit in the working folder there is nothing to install: the
    // start-up ends with the reason in the log, and the show does nothing.
    auto w = Make({L"/S"});
    w->Show();
    EXPECT_FALSE(IsWindowVisible(w->Handle())) << "an unattended run stays hidden";
    EXPECT_EQ(wizard::kExitNotStarted, w->Exit().Code());
    ASSERT_TRUE(w->Log().IsOpen());
    EXPECT_FALSE(Exists(appDir_ + outside::kSetupLog));
    EXPECT_TRUE(w->Log().Write(L"OK"));
    w->CloseLog();
    const std::wstring text = runlog::RunEntries(logPath_);
    EXPECT_EQ(21u, text.find(L"Inštalácia nemôže pokračovať. V priečinku " + work_.Path() +
                             L" chýba inštalačný balík firebird_4_0_x64.zip.\r\nOK"))
        << ToUtf8(text);
}

// Another run's deployment guard: its file held open without sharing, as
// that run's process holds it; `killed`: the file left behind, held by no
// one, as a killed run leaves it.
class OtherRun {
public:
    OtherRun(const engine::Places& places, bool killed) {
        MakeDirs(places.journalDir);
        file_ = CreateFileW((places.journalDir + engine::kGuardFileName).c_str(),
                            GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (killed) {
            CloseHandle(file_);
            file_ = INVALID_HANDLE_VALUE;
        }
    }
    ~OtherRun() {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }

private:
    HANDLE file_;
};

TEST_F(FixedLogTest, AnotherInstallationRunningEndsTheStartUpWithFourChangingNothing) {
    using wizard::kAnotherRunning;
    // The running deployment's journal, which a second start must not settle.
    const std::wstring journal = places_.JournalPath();
    MakeDirs(journal.substr(0, journal.find_last_of(L'\\') + 1));
    ASSERT_TRUE(WriteBytes(journal, "run\tin progress\n"));
    {
        OtherRun other(places_.Places(), false);
        auto w = Make({L"/S"});
        EXPECT_EQ(wizard::kExitPostponed, w->Exit().Code());
        EXPECT_TRUE(toolkit::App().Terminated());
        EXPECT_TRUE(ui_.messages.empty());
        w = nullptr;
        const std::wstring text = runlog::RunEntries(logPath_);
        EXPECT_EQ(21u, text.find(kAnotherRunning)) << ToUtf8(text);
        EXPECT_EQ(21 + std::size(kAnotherRunning) + 1, text.size()) << "one entry";

        // A check while another run works says so, as a run would end.
        w = Make({L"/CHECK"});
        EXPECT_EQ(wizard::kExitPostponed, w->Exit().Code());
        EXPECT_TRUE(ui_.messages.empty()) << "a check shows no box";
        w = nullptr;
        DeleteFileW(logPath_.c_str());

        w = Make();
        ASSERT_EQ(1u, ui_.messages.size());
        EXPECT_EQ(L"Chyba", ui_.messages[0].caption);
        EXPECT_EQ(kAnotherRunning, ui_.messages[0].text);
        EXPECT_EQ(wizard::kExitPostponed, w->Exit().Code());
        EXPECT_EQ(nullptr, w->m_ActiveFrame);
        w = nullptr;
        EXPECT_EQ("run\tin progress\n", ReadBytes(journal));
    }
    // Alone, a check only looks at the journal: it stays where it is,
    // though it would be set aside, and nothing settles it at the exit.
    {
        auto w = Make({L"/S", L"/CHECK"});
        EXPECT_EQ(wizard::kExitFailed, w->Exit().Code());
        EXPECT_TRUE(toolkit::App().Terminated());
    }
    EXPECT_EQ("run\tin progress\n", ReadBytes(journal));
    {
        const std::string bytes = ReadBytes(logPath_);
        const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
        EXPECT_NE(std::wstring::npos, text.find(L" je poškodený; inštalácia by ho odložila"))
            << ToUtf8(text);
        EXPECT_NE(std::wstring::npos, text.find(L"Kontrola skončila s kódom 3.")) << ToUtf8(text);
    }
    DeleteFileW(journal.c_str());
    DeleteFileW(logPath_.c_str());
    OtherRun killed(places_.Places(), true);
    auto w = Make({L"/S"});
    EXPECT_EQ(wizard::kExitNotStarted, w->Exit().Code()) << "taken over: on to the kit";
}

// Never a wait for a guard that cannot be: the start-up ends at once with
// why, for an administrator to look at.
TEST_F(FixedLogTest, GuardThatCannotBeMadeEndsTheStartUpWithThreeSayingWhy) {
    const std::wstring programFiles = places_.Places().programFilesDir;
    ASSERT_TRUE(MakeDirs(programFiles));
    ASSERT_TRUE(WriteBytes(programFiles + L"Velmora", "a file where the journal's folder goes"));
    auto w = Make({L"/S"});
    EXPECT_EQ(wizard::kExitFailed, w->Exit().Code());
    EXPECT_TRUE(toolkit::App().Terminated());
    w = nullptr;
    const std::wstring text = runlog::RunEntries(logPath_);
    EXPECT_EQ(21u, text.find(engine::kGuardRefused + (L"priečinok " + places_.Places().journalDir) +
                             L" nie je možné vytvoriť: "))
        << ToUtf8(text);
    EXPECT_NE(std::wstring::npos, text.find(L" Inštalácia nič nezmenila.\r\n")) << ToUtf8(text);
}

TEST_F(FixedLogTest, HelpShowsTheUsageInOneBoxAndEndsWithZero) {
    for (const wchar_t* help : {L"/?", L"/help"}) {
        ui_.messages.clear();
        auto w = Make({L"/PORT=0", help});  // help wins over a bad option
        ASSERT_EQ(1u, ui_.messages.size()) << ToUtf8(help);
        EXPECT_EQ(L"Informácia", ui_.messages[0].caption);
        for (const wchar_t* part :
             {L"/S ", L"/PORT=", L"/MODE=", L"/DIR=", L"/WAIT=", L"/LOG=", L"/HELP", L"/CHECK",
              L"/REMOVE", L"\r\n0 – ", L"\r\n3 – ", L"\r\n4 – ", L"\r\n5 – "})
            EXPECT_NE(std::wstring::npos, ui_.messages[0].text.find(part)) << ToUtf8(part);
        EXPECT_EQ(0u, ui_.messages[0].text.find(wizard::ProgramAndVersion() + L"\r\n"))
            << "the version heads the usage";
        EXPECT_EQ(wizard::kExitDone, w->Exit().Code());
        EXPECT_EQ(nullptr, w->m_ActiveFrame);
        EXPECT_TRUE(toolkit::App().Terminated());
    }
    ui_.messages.clear();
    auto w = Make({L"/S", L"/?"});
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(wizard::kExitDone, w->Exit().Code());
    EXPECT_EQ(nullptr, w->m_ActiveFrame);
    EXPECT_FALSE(Exists(logPath_)) << "nothing written";
}

// Attended, a removal shows no page: a PC whose data.ini names no server
// gets one box that says so, and the run ends with 0.
TEST_F(FixedLogTest, AttendedRemovalWithoutServerSaysSoInOneBox) {
    auto w = Make({L"/REMOVE"});
    EXPECT_FALSE(toolkit::App().Terminated());
    w->Show();
    EXPECT_FALSE(IsWindowVisible(w->Handle()));
    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(L"Informácia", ui_.messages[0].caption);
    EXPECT_NE(std::wstring::npos, ui_.messages[0].text.find(L"nie je čo odstrániť"));
    EXPECT_EQ(wizard::kExitDone, w->Exit().Code());
    EXPECT_TRUE(toolkit::App().Terminated());
    EXPECT_FALSE(Exists(logPath_)) << "attended without /LOG: no log";

    // With /CHECK the refusal goes to the log only: a check shows no box.
    ui_.messages.clear();
    w = Make({L"/REMOVE", L"/CHECK"});
    EXPECT_EQ(wizard::kExitNotStarted, w->Exit().Code());
    EXPECT_TRUE(ui_.messages.empty());
    w = nullptr;
    const std::string bytes = ReadBytes(logPath_);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    EXPECT_NE(std::wstring::npos, text.find(L"/CHECK a /REMOVE sa nedajú použiť spolu."))
        << ToUtf8(text);
}

TEST_F(FixedLogTest, InteractiveShowOpensNoLog) {
    auto w = Make();
    w->Show();
    EXPECT_TRUE(IsWindowVisible(w->Handle()));
    EXPECT_FALSE(w->Log().IsOpen());
    EXPECT_FALSE(Exists(logPath_));
}

// ---- Pages and buttons ----------------------------------------------------------------

TEST_F(WizardTest, ParametersPageShowsFinishAsDefaultInsteadOfNext) {
    auto w = Make();
    EXPECT_FALSE(w->Back->Enabled());
    EXPECT_FALSE(w->Next->Visible());
    EXPECT_FALSE(w->Next->Enabled());
    EXPECT_TRUE(w->OK->Visible());
    EXPECT_TRUE(w->OK->Enabled());
    EXPECT_TRUE(w->OK->IsDefault());
    EXPECT_EQ(L"Dokončiť", w->OK->Caption());
    EXPECT_EQ(BS_DEFPUSHBUTTON, GetWindowLongW(w->OK->Handle(), GWL_STYLE) & 0x0F);
    EXPECT_TRUE(w->Cancel->Visible());
    EXPECT_EQ(L"Storno", w->Cancel->Caption());
    EXPECT_EQ(L"< Späť", w->Back->Caption());
    EXPECT_EQ(L"Ďalej >", w->Next->Caption());
}

TEST_F(WizardTest, NextAndBackFollowThePageLinks) {
    auto w = Make();
    w->Show();
    w->NewFrame->Initialize(true, nullptr, w->ProgressFrame.get());
    w->ProgressFrame->Initialize(false, w->NewFrame.get(), nullptr);
    w->EnableButtons();
    EXPECT_TRUE(w->Next->Visible());
    EXPECT_TRUE(w->Next->IsDefault());
    EXPECT_FALSE(w->OK->Visible());

    Click(*w->Next);
    EXPECT_EQ(w->ProgressFrame.get(), w->m_ActiveFrame);
    EXPECT_FALSE(w->NewFrame->Visible());
    EXPECT_TRUE(w->ProgressFrame->Visible());
    EXPECT_TRUE(w->Back->Enabled());
    EXPECT_TRUE(w->OK->Visible());
    EXPECT_FALSE(w->Next->Visible());

    Click(*w->Back);
    EXPECT_EQ(w->NewFrame.get(), w->m_ActiveFrame);
    EXPECT_TRUE(w->NewFrame->Visible());
    EXPECT_FALSE(w->ProgressFrame->Visible());
    EXPECT_FALSE(w->Back->Enabled());
}

TEST_F(WizardTest, ProgressPageStartsEmptyAndStaysEmptyWithoutUnits) {
    auto w = Make();
    auto& p = *w->ProgressFrame;
    EXPECT_EQ(0, p.pbSetup->Max());
    EXPECT_EQ(0, p.pbSetup->Position());
    EXPECT_EQ(L"", p.lStatus->Caption());
    p.pbSetup->SetPosition(5);
    EXPECT_EQ(0, p.pbSetup->Position());
    EXPECT_EQ(0, static_cast<int>(SendMessageW(p.pbSetup->Handle(), PBM_GETPOS, 0, 0)));
}

TEST_F(WizardTest, EndPageLinkOpensTheGuideAndChangesNothingElse) {
    auto w = Make();
    auto& e = *w->EndFrame;
    EXPECT_EQ(L"Prechod na nový SQL server Firebird 4.0 vyžaduje \r\n"
              L"konverziu databáz. Podrobný návod konverzie nájdete\r\n"
              L"na nasledujúcom odkaze:",
              e.mInfo->Text());
    EXPECT_EQ(resources::kConversionGuideUrl, e.lLink->Caption());
    e.SetInfo();
    EXPECT_EQ(L"", e.rInfo->Text());

    SendMessageW(e.Panel1->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(e.lLink->Handle()), STN_CLICKED),
                 reinterpret_cast<LPARAM>(e.lLink->Handle()));
    ASSERT_EQ(1u, ui_.shellOpens.size());
    EXPECT_EQ(resources::kConversionGuideUrl, ui_.shellOpens[0].target);
    EXPECT_EQ(0, ui_.shellOpens[0].showCommand);
    EXPECT_EQ(L"", ui_.shellOpens[0].parameters);
    EXPECT_EQ(w->NewFrame.get(), w->m_ActiveFrame);
    EXPECT_TRUE(w->OK->Visible());

    ui_.shellResult = false;  // a failing shell is not reported
    e.lLinkClick();
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(WizardTest, StornoDuringExtractionAsksAndRequestsTheCancelOnYesOnly) {
    auto w = Make();
    engine::InstallerUi& engineUi = *w;
    engineUi.ExtractionStarted();
    ui_.answers = {wizard::kResultNo, wizard::kResultYes};
    Click(*w->Cancel);
    EXPECT_FALSE(engineUi.CancelRequested());
    Click(*w->Cancel);
    EXPECT_TRUE(engineUi.CancelRequested());
    engineUi.ExtractionEnded();
    EXPECT_TRUE(engineUi.CancelRequested()) << "kept for the engine to see after the extraction";
    engineUi.ExtractionStarted();
    EXPECT_FALSE(engineUi.CancelRequested()) << "a new extraction starts uncancelled";
    ASSERT_EQ(2u, ui_.messages.size());
    EXPECT_EQ(L"Ukončiť?", ui_.messages[0].text);
    EXPECT_EQ(L"Otázka", ui_.messages[0].caption);
    EXPECT_FALSE(toolkit::App().Terminated());
}

// ---- Closing ----------------------------------------------------------------------------

class CloseTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        markers_ = {appDir_ + outside::kStopMarker,
                    appDir_ + outside::kCompsDir + outside::kNoRunPrefix + testsupport::ComputerName()};
        leftovers_ = {appDir_ + outside::kDbCheckFile, appDir_ + outside::kTemplateDb,
                      work_.Path() + outside::kKitArchive, work_.Path() + L"setup.exe"};
        for (const auto& f : markers_) Touch(f);
        TouchLeftovers();
    }
    // The kit a real one: the page reads it at start.
    void TouchLeftovers() {
        for (const auto& f : leftovers_) Touch(f);
        ASSERT_TRUE(CopyInto(KitArchive(), work_.Path() + outside::kKitArchive));
    }
    int CountExisting(const std::vector<std::wstring>& files) {
        int n = 0;
        for (const auto& f : files) n += Exists(f) ? 1 : 0;
        return n;
    }
    std::vector<std::wstring> markers_, leftovers_;
};

// The markers the install sequence made go too (install_sequence_test).
TEST_F(CloseTest, CloseIconRemovesLeftoversOnceAndEndsTheProgram) {
    auto w = Make();
    w->Show();
    PostMessageW(w->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_EQ(1, CountExisting(markers_)) << "only the stop marker, which was not the installer's";
    EXPECT_EQ(2, CountExisting(leftovers_)) << "closed before the end: kit and setup.exe stay";
    EXPECT_TRUE(Exists(work_.Path() + outside::kKitArchive));
    EXPECT_TRUE(toolkit::App().Terminated());
    EXPECT_FALSE(IsWindowVisible(w->Handle()));

    TouchLeftovers();
    w->Close();
    w.reset();
    EXPECT_EQ(4, CountExisting(leftovers_)) << "the clean-up ran a second time";
}

// A stop marker may be another computer's running installation; a no-run
// marker of this computer is only ever an earlier run's of this one, left
// when it was cut short, and would keep the application from starting.
TEST_F(CloseTest, StopMarkerStaysAndThisComputersNoRunMarkerGoes) {
    auto w = Make();
    w->Close();
    EXPECT_TRUE(Exists(markers_[0]));
    EXPECT_FALSE(Exists(markers_[1]));
}

TEST_F(CloseTest, FinishOnTheEndPageClosesTheWindow) {
    auto w = Make();
    w->Show();
    w->NewFrame->SetVisible(false);
    w->m_ActiveFrame = w->EndFrame.get();
    w->EndFrame->SetVisible(true);
    w->OK->SetCaption(L"Koniec");
    Click(*w->OK);
    EXPECT_TRUE(w->Closed());
    EXPECT_EQ(0, CountExisting(leftovers_));
    EXPECT_TRUE(toolkit::App().Terminated());
}

TEST_F(CloseTest, EscapeClosesOnlyOnTheEndPage) {
    auto w = Make();
    w->Show();
    w->Cancel->SetVisible(false);  // as on the end page, so Escape reaches the window
    SetFocus(w->NewFrame->edPort->Handle());
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_FALSE(w->Closed());

    w->m_ActiveFrame = w->EndFrame.get();
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_TRUE(w->Closed());
    EXPECT_EQ(0, CountExisting(leftovers_));
}

}  // namespace

// The exit code's one table, and how the endings of one run combine: the
// more severe counts, nothing lowers it, an error reported on the way fails
// any of them; the window closing ends only a run nothing else ended.
TEST(RunExitTest, OneTableAndNothingLowersIt) {
    using K = engine::Outcome::Kind;
    const struct {
        std::vector<K> endings;
        bool errors;
        int32_t code;
    } cases[] = {
        {{}, false, 0},
        {{K::kFinished}, false, 0},
        {{K::kPostponed}, false, 4},
        {{K::kStopped}, false, 2},
        {{K::kCancelled}, false, 2},
        {{K::kRefused}, false, 1},
        {{K::kFailed}, false, 3},
        {{K::kPostponed}, true, 3},
        {{K::kFinished}, true, 3},
        {{K::kFailed, K::kPostponed}, false, 3},
        {{K::kCancelled, K::kFinished}, false, 2},
        {{K::kPostponed, K::kRefused}, false, 1},
    };
    for (const auto& c : cases) {
        wizard::RunExit exit;
        for (K kind : c.endings) exit.End(kind);
        if (c.errors) exit.ErrorReported();
        exit.EndIfOpen(K::kStopped);  // the window closed before the end page
        EXPECT_EQ(c.endings.empty() ? 2 : c.code, exit.Code()) << c.endings.size() << " " << c.code;
    }
    // /CHECK's own answer counts only when nothing ended the run before.
    wizard::RunExit checked;
    checked.Checked(5);
    EXPECT_EQ(5, checked.Code());
    wizard::RunExit postponed;
    postponed.End(K::kPostponed);
    postponed.Checked(0);
    EXPECT_EQ(4, postponed.Code());
}
