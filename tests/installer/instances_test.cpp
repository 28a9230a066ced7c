// Running instances of the application, played by the stand-in that holds
// its ".lck" (or Kadrix.exe) open, in a scratch application folder; the
// blocked dialog is a real (headless) window over a real wizard.
#include "environment/Instances.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <utility>

#include "Places.h"
#include "Later.h"
#include "Pump.h"
#include "ScriptedUi.h"
#include "WinTestSupport.h"
#include "wizard/Messages.h"
#include "wizard/BlockedForm.h"
#include "wizard/NewFrame.h"
#include "outside/Outside.h"
#include "ComputerName.h"
#include "wizard/Dialogs.h"
#include "wizard/Wizard.h"
#include "toolkit/Application.h"

using namespace environment;
using wizard::IsAppRunningWiz;
using wizard::TBlockedForm;
using namespace testsupport;

namespace {

constexpr char kReasonAnsi[] =
    "Aktualiz\xE1"
    "cia SQL servera.\r\n";  // code page 1250

// What a scan showed.
struct Recorder : InstanceListView {
    std::vector<std::pair<std::wstring, std::wstring>> rows;
    int notices = 0;
    void AddRow(const std::wstring& computer, const std::wstring& user) override {
        rows.emplace_back(computer, user);
    }
    void ShowExecutableNotice() override { ++notices; }
};

// An application folder with "userdata\temp\", "userdata\comps\" and
// "bin\exe\", and instances of the application stand-in running in it.
class AppFolder {
public:
    AppFolder() {
        MakeDirs(dir_ / L"userdata\\temp\\");
        MakeDirs(dir_ / L"userdata\\comps\\");
        MakeDirs(dir_ / L"bin\\exe\\");
    }
    const std::wstring& Path() const { return dir_.Path(); }
    std::wstring operator/(const std::wstring& rel) const { return dir_ / rel; }

    // An instance holding userdata\temp\<name>.lck, describing itself in the
    // .lci when computer is given; runs until Stop.
    void Run(const std::wstring& name, const std::wstring& computer = L"",
             const std::wstring& user = L"") {
        std::wstring ready = dir_ / (name + L".ready");
        std::wstring cmd = L"\"" + DoublesDir() + L"appinstance.exe\" lock \"" + Lock(name) +
                           L"\" " + computer + L" " + user + L" --stop-file \"" +
                           dir_ / (name + L".stop") + L"\" --ready \"" + ready + L"\"";
        apps_.push_back(std::make_unique<ChildProcess>(cmd));
        ASSERT_TRUE(apps_.back()->Started()) << ToUtf8(name) << " not started";
        ASSERT_TRUE(WaitForFile(ready))
            << ToUtf8(name) << (apps_.back()->Wait(0) ? " ended unready" : " runs unready");
    }
    // Holds bin\exe\Kadrix.exe for `seconds`.
    void RunExecutable(int seconds) {
        std::wstring exe = dir_ / outside::kAppExe;
        ASSERT_TRUE(WriteBytes(exe, "MZ"));
        std::wstring ready = dir_ / L"exe.ready";
        apps_.push_back(std::make_unique<ChildProcess>(
            L"\"" + DoublesDir() + L"appinstance.exe\" hold \"" + exe + L"\" --seconds " +
            std::to_wstring(seconds) + L" --ready \"" + ready + L"\""));
        ASSERT_TRUE(WaitForFile(ready));
    }
    void Stop(const std::wstring& name) { WriteBytes(dir_ / (name + L".stop"), ""); }
    void WaitAll() {
        for (auto& app : apps_) app->Wait(10000);
    }
    std::wstring Lock(const std::wstring& name) const {
        return dir_ / (L"userdata\\temp\\" + name + L".lck");
    }
    std::wstring Info(const std::wstring& name) const {
        return dir_ / (L"userdata\\temp\\" + name + L".lci");
    }
    std::wstring Kill(const std::wstring& computer) const {
        return dir_ / (L"userdata\\comps\\" + computer + L"\\kill.lck");
    }

private:
    TempDir dir_{L"lumera"};
    std::vector<std::unique_ptr<ChildProcess>> apps_;
};

std::string KillRequestBytes() {
    return ToUtf8(testsupport::ComputerName()) + "\r\n" + kReasonAnsi;
}

// ---- Scans ------------------------------------------------------------------------

TEST(IsAppRunning, StaleLockPairsAreRemovedAndNotCounted) {
    AppFolder app;
    ASSERT_TRUE(WriteBytes(app.Lock(L"old1"), ""));
    ASSERT_TRUE(WriteBytes(app.Info(L"old1"), "[DATA]\r\npocitac=PC-STARY\r\n"));
    ASSERT_TRUE(WriteBytes(app.Lock(L"old2"), ""));  // without .lci
    Recorder seen;
    EXPECT_FALSE(IsAppRunning(app.Path(), &seen, true));
    EXPECT_TRUE(seen.rows.empty());
    EXPECT_EQ(0, seen.notices);
    EXPECT_FALSE(Exists(app.Lock(L"old1")));
    EXPECT_FALSE(Exists(app.Info(L"old1")));
    EXPECT_FALSE(Exists(app.Lock(L"old2")));
    EXPECT_FALSE(Exists(app / L"userdata\\comps\\PC-STARY"))
        << "no stop request for an ended instance";
}

TEST(IsLockHeld, ALockGoneSinceTheListingIsNoInstance) {
    AppFolder app;
    ASSERT_TRUE(WriteBytes(app.Info(L"gone"), "[DATA]\r\npocitac=PC-A\r\n"));
    EXPECT_FALSE(IsLockHeld(app.Lock(L"gone"), app.Info(L"gone")));
}

TEST(IsAppRunning, EachHeldLockIsARowAndStaleOnesGoMeanwhile) {
    AppFolder app;
    app.Run(L"a", L"PC-UCTO", L"Jana");
    app.Run(L"b");  // no .lci
    ASSERT_TRUE(WriteBytes(app.Lock(L"stale"), ""));
    Recorder seen;
    EXPECT_TRUE(IsAppRunning(app.Path(), &seen, false));
    ASSERT_EQ(2u, seen.rows.size());
    std::sort(seen.rows.begin(), seen.rows.end());
    EXPECT_EQ((std::pair<std::wstring, std::wstring>{L"PC-UCTO", L"Jana"}), seen.rows[0]);
    EXPECT_EQ((std::pair<std::wstring, std::wstring>{L"x", L"x"}), seen.rows[1]);
    EXPECT_FALSE(Exists(app.Lock(L"stale")));
    EXPECT_TRUE(Exists(app.Lock(L"a"))) << "a held lock stays";
    EXPECT_TRUE(Exists(app.Info(L"a")));
    EXPECT_TRUE(IsAppRunning(app.Path(), nullptr, false)) << "no list";

    app.Stop(L"a");
    app.Stop(L"b");
    app.WaitAll();
    EXPECT_FALSE(IsAppRunning(app.Path(), nullptr, false));
    EXPECT_FALSE(Exists(app.Info(L"a")));
}

TEST(IsAppRunning, StopRequestsGoIntoEachExistingComputerFolder) {
    AppFolder app;
    ASSERT_TRUE(MakeDirs(app / L"userdata\\comps\\PC-A\\"));
    ASSERT_TRUE(MakeDirs(app / L"userdata\\comps\\PC-B\\"));
    app.Run(L"a", L"PC-A", L"Jana");
    app.Run(L"b", L"PC-B", L"Peter");
    app.Run(L"c", L"PC-C", L"Eva");  // its folder is missing
    app.Run(L"d", L"..", L"Eva");    // a name that would leave comps
    // Names of a folder elsewhere: up past the application's folder, or absolute.
    TempDir elsewhere(L"elsewhere");
    const std::wstring there = elsewhere.Path().substr(0, elsewhere.Path().size() - 1);
    app.Run(L"e", L"..\\..\\..\\" + there.substr(there.find_last_of(L'\\') + 1), L"Eva");
    app.Run(L"f", there, L"Eva");

    Recorder seen;
    EXPECT_TRUE(IsAppRunning(app.Path(), &seen, false));
    EXPECT_EQ(6u, seen.rows.size());
    EXPECT_FALSE(Exists(app.Kill(L"PC-A"))) << "no requests unless asked";
    EXPECT_TRUE(IsAppRunning(app.Path(), nullptr, true));
    EXPECT_FALSE(Exists(app.Kill(L"PC-A"))) << "no requests without a list";

    seen.rows.clear();
    EXPECT_TRUE(IsAppRunning(app.Path(), &seen, true));
    EXPECT_EQ(KillRequestBytes(), ReadBytes(app.Kill(L"PC-A")));
    EXPECT_EQ(KillRequestBytes(), ReadBytes(app.Kill(L"PC-B")));
    EXPECT_FALSE(Exists(app / L"userdata\\comps\\PC-C")) << "folders are not created";
    EXPECT_FALSE(Exists(app / L"userdata\\kill.lck"));
    EXPECT_FALSE(Exists(elsewhere / L"kill.lck"));
}

TEST(LiesInside, OnlyWhatResolvesBelowTheFolder) {
    const std::wstring app = L"C:\\velmora\\zentaq";  // need not exist
    EXPECT_TRUE(LiesInside(app, app + L"\\userdata\\comps\\PC-A\\kill.lck"));
    EXPECT_TRUE(LiesInside(app + L"\\", L"c:\\VELMORA\\Zentaq\\userdata\\..\\userdata\\kill.lck"));
    for (const std::wstring& path : std::vector<std::wstring>{
             app + L"\\userdata\\comps\\..\\..\\..\\kill.lck", app + L"-stary\\kill.lck",
             L"C:\\Windows\\kill.lck", app, app + L"\\", L"\\\\PC-SERVER\\zdiel\\kill.lck",
             L"\\\\?\\" + app + L"\\userdata\\kill.lck",
             L"\\\\.\\" + app + L"\\userdata\\kill.lck"})
        EXPECT_FALSE(LiesInside(app, path)) << ToUtf8(path);
    EXPECT_FALSE(LiesInside(L"\\\\PC-SERVER\\zdiel", L"\\\\PC-SERVER\\zdiel\\userdata\\kill.lck"));
}

TEST(IsAppRunning, ALockedExecutableCountsOnlyWithoutHeldLocks) {
    AppFolder app;
    Recorder seen;
    ASSERT_TRUE(WriteBytes(app / outside::kAppExe, "MZ"));
    EXPECT_FALSE(IsAppRunning(app.Path(), &seen, false)) << "present but free";
    app.RunExecutable(30);
    EXPECT_TRUE(IsAppRunning(app.Path(), &seen, false));
    EXPECT_EQ(1, seen.notices);
    EXPECT_TRUE(seen.rows.empty());

    app.Run(L"a", L"PC-A", L"Jana");
    EXPECT_TRUE(IsAppRunning(app.Path(), &seen, false));
    EXPECT_EQ(1, seen.notices) << "a held lock comes first";
    EXPECT_EQ(1u, seen.rows.size());
    app.Stop(L"a");
}

// Wine has no junctions or symbolic links of Windows (it follows Unix ones
// as if they were the files), but it makes hard links, which a standard
// user can plant as well: a further name of another file.
TEST(IsAppRunning, FurtherNamesOfAnotherFileAreLeftAsTheyAreAndTold) {
    AppFolder app;
    TempDir elsewhere(L"elsewhere");
    const std::wstring victim = elsewhere / L"victim.txt";
    ASSERT_TRUE(WriteBytes(victim, "not the installer's"));
    ASSERT_TRUE(MakeDirs(app / L"userdata\\comps\\PC-A\\"));
    const std::wstring noRun = app / (L"userdata\\comps\\norun." + testsupport::ComputerName());
    for (const std::wstring& link : {app.Kill(L"PC-A"), app.Lock(L"stale"), noRun})
        ASSERT_TRUE(CreateHardLinkW(link.c_str(), victim.c_str(), nullptr)) << ToUtf8(link);
    app.Run(L"a", L"PC-A", L"Jana");

    Recorder seen;
    std::set<std::wstring> told;
    EXPECT_TRUE(IsAppRunning(app.Path(), &seen, true, nullptr,
                             [&](const std::wstring& path) { told.insert(path); }));
    EXPECT_EQ((std::set<std::wstring>{app.Kill(L"PC-A"), app.Lock(L"stale")}), told);
    EXPECT_EQ(SharedChange::kLinkLeft, WriteNoRunMarker(app / L"userdata\\comps\\"));
    EXPECT_EQ("not the installer's", ReadBytes(victim));
    EXPECT_TRUE(Exists(app.Lock(L"stale")));
    app.Stop(L"a");
}

// ---- Single files ----------------------------------------------------------------

TEST(IsFileLocked, MissingFreeAndHeld) {
    AppFolder app;
    EXPECT_FALSE(IsFileLocked(app / L"none.lck"));
    ASSERT_TRUE(WriteBytes(app / L"free.lck", ""));
    EXPECT_FALSE(IsFileLocked(app / L"free.lck"));
    EXPECT_FALSE(IsFileLocked(app / L"free.lck")) << "the test itself holds nothing";
    app.Run(L"held");
    EXPECT_TRUE(IsFileLocked(app.Lock(L"held")));
    app.Stop(L"held");
}

TEST(CreateMarkerFile, CreatesOnlyANewOneAndFailsWithoutTheFolder) {
    AppFolder app;
    std::wstring marker = app / outside::kStopMarker;
    EXPECT_EQ(SharedChange::kDone, CreateMarkerFile(marker));
    EXPECT_TRUE(Exists(marker));
    // Made meanwhile by the application or another installer: left alone.
    ASSERT_TRUE(WriteBytes(marker, "content"));
    EXPECT_EQ(SharedChange::kFailed, CreateMarkerFile(marker));
    EXPECT_EQ("content", ReadBytes(marker));
    EXPECT_EQ(SharedChange::kFailed, CreateMarkerFile(app / L"missing\\vorsel.stop"));
}

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second = 0) {
    SYSTEMTIME t{};
    t.wYear = year, t.wMonth = month, t.wDay = day, t.wHour = hour, t.wMinute = minute,
    t.wSecond = second;
    return t;
}

TEST(NoRunMarker, HoldsFiveMinutesAheadAcrossMidnight) {
    EXPECT_EQ(L"01.01.2027 00:03", NoRunUntilText(At(2026, 12, 31, 23, 58)));
    EXPECT_EQ(L"01.03.2028 00:04", NoRunUntilText(At(2028, 2, 29, 23, 59, 30)));
    EXPECT_EQ(L"08.12.2026 09:05", NoRunUntilText(At(2026, 12, 8, 9, 0, 59)));
}

TEST(NoRunMarker, IsWrittenForThisComputerInTheCompsFolder) {
    AppFolder app;
    std::wstring comps = app / L"userdata\\comps";  // delimiter added when missing
    ASSERT_FALSE(testsupport::ComputerName().empty());
    EXPECT_EQ(SharedChange::kDone, WriteNoRunMarker(comps, At(2026, 12, 31, 23, 58)));
    EXPECT_EQ("01.01.2027 00:03\r\n" + std::string(kReasonAnsi),
              ReadBytes(comps + L"\\norun." + testsupport::ComputerName()));

    EXPECT_EQ(SharedChange::kDone, WriteNoRunMarker(comps + L"\\"));  // the real clock
    std::string bytes = ReadBytes(comps + L"\\norun." + testsupport::ComputerName());
    EXPECT_EQ(16u + 2u + sizeof kReasonAnsi - 1, bytes.size());

    EXPECT_EQ(SharedChange::kFailed, WriteNoRunMarker(app / L"missing\\"));
}

TEST(KillRequest, NamesTheInstallingComputerAndNeedsTheFolder) {
    AppFolder app;
    ASSERT_TRUE(MakeDirs(app / L"userdata\\comps\\PC-A\\"));
    ASSERT_TRUE(WriteBytes(app.Kill(L"PC-A"), "older request, longer than the new one.........."));
    EXPECT_EQ(SharedChange::kDone, WriteKillRequest(app.Kill(L"PC-A")));
    EXPECT_EQ(KillRequestBytes(), ReadBytes(app.Kill(L"PC-A")));
    EXPECT_EQ(SharedChange::kFailed, WriteKillRequest(app.Kill(L"PC-B")));
    EXPECT_FALSE(Exists(app / L"userdata\\comps\\PC-B"));
}

// ---- The blocked dialog ----------------------------------------------------------

class BlockedFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        places_.App().Set(app_.Path());
        wizard_ = std::make_unique<wizard::TWizard>(places_.Places(), std::vector<std::wstring>{});
        ASSERT_EQ(app_.Path(), wizard_->Run().appDir);
    }
    void TearDown() override { wizard_.reset(); }
    std::wstring Column(toolkit::ListView& list, int index) {
        wchar_t text[128] = L"";
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT;
        col.pszText = text;
        col.cchTextMax = 128;
        SendMessageW(list.Handle(), LVM_GETCOLUMNW, index, reinterpret_cast<LPARAM>(&col));
        return text;
    }
    int Height(toolkit::Control& c) {
        RECT r = c.Bounds();
        return r.bottom - r.top;
    }

    toolkit::Application application_;
    ScriptedUi ui_;
    TempDir work_{L"cwd"};
    ScratchPlaces places_{work_.Path()};
    AppFolder app_;
    std::unique_ptr<wizard::TWizard> wizard_;
};

TEST_F(BlockedFormTest, ListsTheComputersAndUsersStillRunning) {
    app_.Run(L"a", L"PC-UCTO", L"Jana");
    app_.Run(L"b", L"PC-SKLAD", L"Peter");
    TBlockedForm form(*wizard_);
    EXPECT_EQ(L"Upozornenie", form.Text());
    EXPECT_EQ(app_.Path(), form.m_Dir);
    EXPECT_EQ(wizard::kWaitingText, form.Label1->Caption());
    EXPECT_EQ(L"Názov", Column(*form.blockedList, 0));
    EXPECT_EQ(L"Prihlásený užívateľ", Column(*form.blockedList, 1));
    EXPECT_EQ(L"Storno", form.Storno->Caption());
    EXPECT_EQ(LoadIconW(nullptr, IDI_HAND),
              reinterpret_cast<HICON>(SendMessageW(form.icon->Handle(), STM_GETICON, 0, 0)));
    ASSERT_TRUE(form.Timer);
    EXPECT_TRUE(form.Timer->Enabled());
    EXPECT_EQ(3000u, form.Timer->Interval());

    ASSERT_EQ(2, form.blockedList->RowCount());
    std::set<std::wstring> rows;
    for (int r = 0; r < 2; ++r)
        rows.insert(form.blockedList->Cell(r, 0) + L"|" + form.blockedList->Cell(r, 1));
    EXPECT_EQ((std::set<std::wstring>{L"PC-UCTO|Jana", L"PC-SKLAD|Peter"}), rows);
    EXPECT_TRUE(form.blockedList->Visible());

    form.TimerTimer();  // a rescan replaces the rows
    EXPECT_EQ(2, form.blockedList->RowCount());
    EXPECT_EQ(0, form.ModalResult());
    app_.Stop(L"a");
    app_.Stop(L"b");
    app_.WaitAll();
}

TEST_F(BlockedFormTest, ScansTheFolderThePageShows) {
    AppFolder chosen;  // another application folder picked on the page
    chosen.Run(L"a", L"PC-INY", L"Eva");
    std::wstring shown = chosen.Path();
    shown.pop_back();  // the label may show it without the delimiter
    wizard_->NewFrame->lAppInfoFolder->SetCaption(shown);
    TBlockedForm form(*wizard_);
    EXPECT_EQ(chosen.Path(), form.m_Dir);
    ASSERT_EQ(1, form.blockedList->RowCount());
    EXPECT_EQ(L"PC-INY", form.blockedList->Cell(0, 0));
    chosen.Stop(L"a");
    chosen.WaitAll();
}

TEST_F(BlockedFormTest, OnlyTheExecutableInUseGivesTheLongerNoticeOnEveryRescan) {
    app_.RunExecutable(30);
    TBlockedForm form(*wizard_);
    const int tall = toolkit::App().Scale(52);
    EXPECT_FALSE(form.blockedList->Visible());
    EXPECT_EQ(wizard::kExecutableText, form.Label1->Caption());
    EXPECT_EQ(tall, Height(*form.Label1));
    for (int i = 0; i < 3; ++i) {
        form.TimerTimer();
        EXPECT_FALSE(form.blockedList->Visible());
        EXPECT_EQ(tall, Height(*form.Label1)) << "grows once";
        EXPECT_EQ(0, form.ModalResult());
    }
}

TEST_F(BlockedFormTest, StopRequestsOnlyFromTheFirstScanOfAnUnattendedRun) {
    ASSERT_TRUE(MakeDirs(app_ / L"userdata\\comps\\PC-A\\"));
    app_.Run(L"a", L"PC-A", L"Jana");
    {
        TBlockedForm interactive(*wizard_);
        EXPECT_FALSE(Exists(app_.Kill(L"PC-A")));
    }
    TBlockedForm silent;  // as an unattended run's wizard starts it
    silent.StartUp(wizard_->ShownAppDir(), true, wizard_->Reports().Notice(),
                   wizard_->Reports().LinkNotice());
    EXPECT_EQ(KillRequestBytes(), ReadBytes(app_.Kill(L"PC-A")));
    DeleteFileW(app_.Kill(L"PC-A").c_str());
    silent.TimerTimer();
    EXPECT_FALSE(Exists(app_.Kill(L"PC-A"))) << "a rescan never asks";
    app_.Stop(L"a");
}

TEST_F(BlockedFormTest, AFileLeftAloneAsALinkIsLoggedOnceForAllRescans) {
    TempDir elsewhere(L"elsewhere");
    ASSERT_TRUE(WriteBytes(elsewhere / L"victim.txt", ""));
    const std::wstring planted = app_.Lock(L"planted");
    ASSERT_TRUE(CreateHardLinkW(planted.c_str(), (elsewhere / L"victim.txt").c_str(), nullptr));
    const std::wstring log = work_ / L"istrel.log";
    wizard_.reset();  // one run at a time holds the deployment guard
    wizard_ = std::make_unique<wizard::TWizard>(places_.Places(), std::vector<std::wstring>{L"/LOG=" + log});
    {
        TBlockedForm form(*wizard_);
        form.TimerTimer();
        form.TimerTimer();
    }
    wizard_->CloseLog();
    const std::string bytes = ReadBytes(log);
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    const std::wstring entry =
        L"Súbor " + planted + L" je odkaz na iné miesto; inštalácia ho nezmenila.\r\n";
    const size_t first = text.find(entry);
    EXPECT_NE(std::wstring::npos, first) << ToUtf8(text);
    EXPECT_EQ(std::wstring::npos, text.find(entry, first + 1)) << ToUtf8(text);
    EXPECT_TRUE(Exists(planted));
}

TEST_F(BlockedFormTest, NothingRunningShowsNothing) {
    ASSERT_TRUE(WriteBytes(app_.Lock(L"stale"), ""));
    bool shown = false;
    Later look(200, [&] { shown = OpenBlockedForm() != nullptr; });
    EXPECT_FALSE(IsAppRunningWiz(app_.Path(), *wizard_));
    Sleep(300);
    Pump();
    EXPECT_FALSE(shown);
    EXPECT_FALSE(Exists(app_.Lock(L"stale")));
}

TEST_F(BlockedFormTest, EndsByItselfWithinATickAfterTheLastInstance) {
    app_.Run(L"a", L"PC-UCTO", L"Jana");
    DWORD stopped = 0;
    int rowsSeen = -1;
    Later stop(500, [&] {
        if (TBlockedForm* form = OpenBlockedForm()) rowsSeen = form->blockedList->RowCount();
        app_.Stop(L"a");
        app_.WaitAll();
        stopped = GetTickCount();
    });
    Later guard(12000, [] {
        if (TBlockedForm* form = OpenBlockedForm()) form->Close();
    });
    EXPECT_FALSE(IsAppRunningWiz(app_.Path(), *wizard_));
    DWORD ended = GetTickCount();
    EXPECT_EQ(1, rowsSeen) << "the dialog was up with the instance";
    ASSERT_NE(0u, stopped);
    EXPECT_LE(ended - stopped, 3000u + 500u);
    EXPECT_TRUE(wizard_->Enabled()) << "the wizard is usable again";
}

TEST_F(BlockedFormTest, StornoOrTheCloseIconGivesUp) {
    app_.Run(L"a", L"PC-UCTO", L"Jana");
    {
        Later press(300, [] {
            if (TBlockedForm* form = OpenBlockedForm())
                SendMessageW(form->Storno->Handle(), BM_CLICK, 0, 0);
        });
        EXPECT_TRUE(IsAppRunningWiz(app_.Path(), *wizard_));
    }
    {
        Later close(300, [] {
            if (TBlockedForm* form = OpenBlockedForm()) ScriptedUi::CloseByIcon(*form);
        });
        EXPECT_TRUE(IsAppRunningWiz(app_.Path(), *wizard_));
    }
    EXPECT_EQ(nullptr, OpenBlockedForm()) << "destroyed afterwards";
    app_.Stop(L"a");
}

TEST_F(BlockedFormTest, TheProgramsHiddenDialogKeepsRemovingStaleLocks) {
    ASSERT_TRUE(WriteBytes(app_.Lock(L"early"), ""));
    ASSERT_TRUE(WriteBytes(app_.Info(L"early"), "[DATA]\r\n"));
    auto hidden = wizard::CreateBlockedForm(wizard_->ShownAppDir(), wizard_->Run().m_bSilentInstall,
                                            wizard_->Reports().Notice());
    EXPECT_FALSE(Exists(app_.Lock(L"early"))) << "first scan at creation";
    EXPECT_FALSE(Exists(app_.Info(L"early")));
    EXPECT_FALSE(hidden->Visible());

    ASSERT_TRUE(WriteBytes(app_.Lock(L"later"), ""));
    DWORD start = GetTickCount();
    while (Exists(app_.Lock(L"later")) && GetTickCount() - start < 5000) {
        Pump();
        Sleep(50);
    }
    EXPECT_FALSE(Exists(app_.Lock(L"later"))) << "the timer's scan";
    EXPECT_FALSE(hidden->Visible());
}

}  // namespace
