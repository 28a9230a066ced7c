// The engine on its own, without a window: the deployment's journal, its
// rollback and the settlement at the next start, against real files and a
// recording stand-in for the user; the deployment guard.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <tuple>

#include "Places.h"
#include "RecordingUi.h"
#include "WinTestSupport.h"
#include "engine/Messages.h"
#include "engine/DeploymentGuard.h"
#include "engine/Extraction.h"
#include "engine/Engine.h"
#include "engine/InstallerUi.h"
#include "engine/JournalSteps.h"
#include "engine/ServiceRecords.h"
#include "engine/Transaction.h"
#include "environment/ConfigFiles.h"
#include "environment/Services.h"
#include "outside/Outside.h"
#include "platform/Errors.h"
#include "platform/Text.h"

using namespace testsupport;

namespace {

using engine::kEarlierIncomplete;
using engine::kEarlierRolledBack;

// A server folder (with a diacritic in its path, which the journal keeps
// as UTF-8) holding an older server with its administrator's settings and
// users, and a kit that replaces two of its files, keeps one and adds a
// folder.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeDirs(server_));
        ASSERT_TRUE(WriteBytes(server_ + L"fbclient.dll", "old client"));
        ASSERT_TRUE(WriteBytes(server_ + L"security4.fdb", "users"));
        ASSERT_TRUE(WriteBytes(server_ + L"firebird.conf", kOldConf));
        kit_.files = {L"fbclient.dll", L"security4.fdb", L"firebird.conf", L"intl\\fbintl.conf"};
        kit_.folders = {L"intl"};
        header_ = {true, scratch_ / L"app\\", server_, *environment::Port::Parse(L"47190"), L"SS",
                   scratch_.Path()};
        ASSERT_TRUE(run_->TakeGuard());
    }

    // A journal object of the places' journal, as each run opens it.
    engine::Journal OpenJournal() const {
        return engine::Journal(journalPath_, {places_.Places().LegacyServerDir()});
    }

    // The run as far as the extraction: the new files written, and a
    // reader's half-written file left where the power went.
    // The journal is the cut run's own; run_ is the next start.
    void DeployUpToTheExtraction(bool commit = false) {
        engine::Journal journal = OpenJournal();
        platform::HeldPath way;
        engine::Transaction tx(journal, way);
        tx.Begin(header_);
        tx.PrepareFolder(server_, kit_, {L"SECURITY4.FDB"});
        EXPECT_FALSE(Exists(stash_ + L"security4.fdb")) << "kept in place";
        ASSERT_EQ(stash_ + L"firebird.conf", tx.AsideOf(server_ + L"Firebird.conf"));
        ASSERT_FALSE(tx.AsideOf(server_ + L"security4.fdb"));
        ASSERT_EQ("old client", ReadBytes(stash_ + L"fbclient.dll"));
        ASSERT_TRUE(MakeDirs(server_ + L"intl\\"));
        ASSERT_TRUE(WriteBytes(server_ + L"fbclient.dll", "new client"));
        ASSERT_TRUE(WriteBytes(server_ + L"intl\\fbintl.conf", "new conf"));
        ASSERT_TRUE(WriteBytes(server_ + L"firebird.conf", "#WireCrypt = Required\r\n"));
        const std::wstring conf = server_ + L"firebird.conf";
        environment::CarryConfSettings(conf, stash_ + L"firebird.conf");
        ASSERT_EQ("WireCrypt = Enabled\r\n", ReadBytes(conf));
        ASSERT_TRUE(WriteBytes(server_ + L"fbclient.dll.~4711", "half"));
        if (commit) tx.Commit();
    }

    void ExpectFolderAsBefore() {
        EXPECT_EQ("old client", ReadBytes(server_ + L"fbclient.dll"));
        EXPECT_EQ("users", ReadBytes(server_ + L"security4.fdb"));
        EXPECT_EQ(kOldConf, ReadBytes(server_ + L"firebird.conf")) << "byte for byte";
        EXPECT_FALSE(Exists(server_ + L"intl"));
        EXPECT_FALSE(Exists(server_ + L"fbclient.dll.~4711"));
        EXPECT_FALSE(Exists(stash_));
        EXPECT_FALSE(Exists(journalPath_));
    }

    // Bare LF ends, which a rewrite would turn into CR LF.
    const std::string kOldConf = "#\nRemoteServicePort = 3050\nWireCrypt = Enabled\n";

    // A start's settlement as the wizard tells it: true when a deployment
    // may follow.
    bool Settle(engine::EngineRun& run) {
        settled_ = run.SettleEarlierRun();
        ui_.Told(settled_);
        return settled_.kind != engine::Outcome::kFailed;
    }

    TempDir scratch_{L"eng"};
    std::wstring server_ = scratch_ / L"firebird\\servér\\";
    std::wstring stash_ = server_ + engine::kStashName + L"\\";
    ScratchPlaces places_;
    std::wstring journalPath_ = places_.JournalPath();
    archive::ArchiveSurvey kit_;
    engine::DeploymentHeader header_;
    RecordingUi ui_;
    engine::Journal journal_ = OpenJournal();
    platform::HeldPath way_;
    engine::Transaction tx_{journal_, way_};
    std::optional<engine::EngineRun> run_{std::in_place, places_.Places(), ui_};
    engine::Outcome settled_;
};

// The rollback cannot finish while a file is held. The journal stays,
// without the last line a power cut tore off it, and refuses any new run
// until a later start settles it.
TEST_F(EngineTest, RollbackHeldUpByAFileInUseResumesAtTheNextStart) {
    DeployUpToTheExtraction();
    const std::string whole = ReadBytes(journalPath_);
    ASSERT_TRUE(WriteBytes(journalPath_, whole + "0badf00d\tadded\t" +
                                             platform::ToCodePage(CP_UTF8, server_) + "securi"));
    // Another program has the new client open: it cannot be replaced yet.
    HANDLE held = CreateFileW((server_ + L"fbclient.dll").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_FALSE(Settle(*run_));
    EXPECT_EQ(std::vector<std::wstring>{L"Failed: " + std::wstring(kEarlierIncomplete)},
              ui_.calls);
    EXPECT_EQ(whole, ReadBytes(journalPath_)) << "kept for the next try, the torn line cut off";
    EXPECT_EQ("users", ReadBytes(server_ + L"security4.fdb"));
    EXPECT_FALSE(Settle(*run_)) << "held: told once";
    EXPECT_EQ(1u, ui_.calls.size());
    // Nor does a journal object begin a run over it.
    EXPECT_THROW(tx_.Begin(header_), platform::Error);
    CloseHandle(held);

    engine::EngineRun next(places_.Places(), ui_);  // the next start
    ui_.calls.clear();
    EXPECT_FALSE(Settle(next)) << "not before it holds the guard";
    EXPECT_FALSE(next.TakeGuard()) << "while the run before holds it";
    run_.reset();  // that run ends
    EXPECT_EQ(whole, ReadBytes(journalPath_));
    ASSERT_TRUE(next.TakeGuard());
    EXPECT_TRUE(Settle(next));
    EXPECT_EQ(std::vector<std::wstring>{L"Inform: " + std::wstring(kEarlierRolledBack)}, ui_.calls);
    ExpectFolderAsBefore();
    ui_.calls.clear();
    EXPECT_TRUE(Settle(next));
    EXPECT_TRUE(ui_.calls.empty()) << "settled once";
}

// A complete line that fails its checksum is no torn tail: nothing of the
// journal is acted on, and it is kept for the administrator.
TEST_F(EngineTest, DamagedJournalIsSetAsideUnused) {
    DeployUpToTheExtraction();
    std::string bytes = ReadBytes(journalPath_);
    bytes[bytes.size() - 3] ^= 0x20;
    ASSERT_TRUE(WriteBytes(journalPath_, bytes));
    EXPECT_FALSE(Settle(*run_));
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((journalPath_ + L".rejected-*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    const std::wstring aside = places_.Places().journalDir + found.cFileName;
    EXPECT_EQ(bytes, ReadBytes(aside));
    EXPECT_EQ(std::vector<std::wstring>{L"Failed: Záznam o predchádzajúcej inštalácii je "
                                        L"poškodený, a preto nebol použitý; bol odložený ako " +
                                        aside +
                                        L". Inštalácia nič nezmenila. Príčina: riadok 7: "
                                        L"nesedí kontrolný súčet."},
              ui_.calls);
    EXPECT_FALSE(Exists(journalPath_));
    EXPECT_EQ("new client", ReadBytes(server_ + L"fbclient.dll"));
    EXPECT_EQ("old client", ReadBytes(stash_ + L"fbclient.dll"));
    ui_.calls.clear();
    EXPECT_FALSE(Settle(*run_)) << "no deployment starts: told once";
    EXPECT_TRUE(ui_.calls.empty());
}

// What a later start would refuse is not written: the run stops before it
// changes anything.
TEST_F(EngineTest, RecordOutOfBoundsIsNeverWritten) {
    header_.serverDir = L"C:\\";
    EXPECT_THROW(tx_.Begin(header_), platform::Error);
    header_.serverDir = server_;
    tx_.Begin(header_);
    EXPECT_THROW(tx_.RecordMarker(server_, server_ + L"fbclient.dll"), platform::Error);
    EXPECT_THROW(tx_.RegisteringService(L"Spooler"), platform::Error);
    EXPECT_EQ(1u, journal_.Written().size());
}

// Every kind of record has a step: its undo and its settlement each bring
// the PC where the journal says, and again when a start cut short repeats
// them. A new kind fails here until its case says what both do.
TEST_F(EngineTest, EveryKindIsUndoneAndSettled) {
    namespace journal = engine::journal;
    const std::wstring app = scratch_ / L"app\\", marker = app + L"userdata\\vorsel.stop";
    const std::wstring service = std::wstring(outside::kServiceNamePrefix) + L"velmora64b_47190";
    const std::wstring parent = scratch_ / L"above", folder = server_ + L"intl";
    const std::wstring file = server_ + L"fbclient.dll", aside = file + engine::kAsideSuffix;
    const std::wstring setAside = server_.substr(0, server_.size() - 1) + engine::kAsideSuffix;
    const std::wstring stash = server_ + engine::kStashName, stashed = stash + L"\\fbclient.dll";
    environment::ServiceRecord removed;
    removed.name = service;
    removed.displayName = L"Firebird Server - velmora64b_47190";
    removed.binaryPath = server_ + L"firebird.exe -s velmora64b_47190";
    removed.startType = SERVICE_DEMAND_START;
    const auto registered = [&] { return environment::GetServiceState(service) != 0; };

    struct Case {
        engine::JournalRecord record;
        std::function<void()> made;  // the PC as the step left it
        bool undone, settled;        // what the step's functions answer
        std::function<void()> expectUndone, expectSettled;
    };
    const auto nothing = [] {};
    const std::map<std::wstring, Case> cases = {
        {journal::kMarker.name,
         {{L"marker", {app, marker}},
          [&] { ASSERT_TRUE(MakeDirs(app + L"userdata\\")); ASSERT_TRUE(WriteBytes(marker, "")); },
          true, true,
          [&] { EXPECT_FALSE(Exists(marker)); },
          [&] { EXPECT_FALSE(Exists(marker)); }}},
        {journal::kRun.name,
         {engine::JournalRecord{L"run", {L"install", app, server_, L"47190", L"SS", app}}, nothing,
          true, true, [&] { EXPECT_EQ("old client", ReadBytes(file)); },
          [&] { EXPECT_EQ("old client", ReadBytes(file)); }}},
        {journal::kRemoved.name,
         {engine::ToJournal(removed, journal::kRemoved.name), nothing, true, true,
          [&] { EXPECT_TRUE(registered()) << "registered again"; },
          [&] { EXPECT_FALSE(registered()) << "stays removed"; }}},
        {journal::kRegistered.name,
         {{L"registered", {service}},
          [&] { ASSERT_TRUE(environment::RestoreService(removed)); },
          true, false,  // its program is missing: it does not run, and is named
          [&] { EXPECT_FALSE(registered()); },
          [&] { EXPECT_TRUE(registered()); }}},
        {journal::kParent.name,
         {{L"parent", {parent}}, [&] { ASSERT_TRUE(MakeDirs(parent + L"\\")); }, true, true,
          [&] { EXPECT_FALSE(Exists(parent)); },
          [&] { EXPECT_TRUE(Exists(parent)); }}},
        {journal::kFolder.name,
         {{L"dir", {folder}},
          [&] {
              ASSERT_TRUE(MakeDirs(folder + L"\\"));
              ASSERT_TRUE(WriteBytes(folder + L"\\fbintl.conf", "new"));
          },
          true, true,
          [&] { EXPECT_FALSE(Exists(folder)) << "with what came into it"; },
          [&] { EXPECT_TRUE(Exists(folder + L"\\fbintl.conf")); }}},
        {journal::kMoved.name,
         {{L"moved", {file}},
          [&] { ASSERT_TRUE(WriteBytes(aside, "old client")); ASSERT_TRUE(WriteBytes(file, "new")); },
          true, true,
          [&] { EXPECT_EQ("old client", ReadBytes(file)); EXPECT_FALSE(Exists(aside)); },
          [&] { EXPECT_EQ("new", ReadBytes(file)); EXPECT_FALSE(Exists(aside)); }}},
        {journal::kAdded.name,
         {{L"added", {file}},
          [&] { ASSERT_TRUE(WriteBytes(file, "new")); },
          true, true,
          [&] { EXPECT_FALSE(Exists(file)); },
          [&] { EXPECT_EQ("new", ReadBytes(file)); }}},
        {journal::kCopy.name,
         {{L"copy", {file}},
          [&] { ASSERT_TRUE(WriteBytes(aside, "old client")); ASSERT_TRUE(WriteBytes(file, "edited")); },
          true, true,
          [&] { EXPECT_EQ("old client", ReadBytes(file)); EXPECT_FALSE(Exists(aside)); },
          [&] { EXPECT_EQ("edited", ReadBytes(file)); EXPECT_FALSE(Exists(aside)); }}},
        {journal::kStash.name,
         {{L"stash", {stash}},
          [&] { ASSERT_TRUE(MakeDirs(stash + L"\\intl\\")); },
          true, true,
          [&] { EXPECT_FALSE(Exists(stash)); },
          [&] { EXPECT_FALSE(Exists(stash)); }}},
        {journal::kStashed.name,
         {{L"stashed", {file, stashed}},
          [&] {
              ASSERT_TRUE(MakeDirs(stash + L"\\"));
              ASSERT_TRUE(WriteBytes(stashed, "old client"));
              ASSERT_TRUE(WriteBytes(file, "new"));
          },
          true, true,
          [&] { EXPECT_EQ("old client", ReadBytes(file)); EXPECT_FALSE(Exists(stashed)); },
          [&] { EXPECT_EQ("new", ReadBytes(file)); EXPECT_TRUE(Exists(stashed)) << "the stash's"; }}},
        {journal::kAside.name,
         {{L"aside", {server_.substr(0, server_.size() - 1)}},
          [&] { ASSERT_TRUE(MoveFileW(server_.c_str(), setAside.c_str())); },
          true, true,
          [&] { EXPECT_EQ("old client", ReadBytes(file)); EXPECT_FALSE(Exists(setAside)); },
          [&] { EXPECT_FALSE(Exists(setAside)); }}},
    };
    for (const journal::Kind* kind : journal::kKinds) {
        SCOPED_TRACE(ToUtf8(kind->name));
        const auto found = cases.find(kind->name);
        if (found == cases.end()) {
            // The commit, a step after it, the end: nothing to do.
            ASSERT_EQ(0u, kind->fields) << "a kind that changes the PC without its case";
            const engine::JournalRecord r{kind->name, {}};
            EXPECT_TRUE(engine::StepOf(r).undo(r, way_));
            EXPECT_TRUE(engine::StepOf(r).settle(r, way_));
            continue;
        }
        const Case& c = found->second;
        const engine::Step& step = engine::StepOf(c.record);
        ASSERT_EQ(kind, step.kind);
        for (const auto& [act, answer, expect] :
             {std::tuple{step.undo, c.undone, c.expectUndone},
              std::tuple{step.settle, c.settled, c.expectSettled}}) {
            c.made();
            EXPECT_EQ(answer, act(c.record, way_));
            EXPECT_EQ(answer, act(c.record, way_)) << "repeated";
            expect();
            environment::StopAndDeleteService(service);
            RemoveTree(parent);
            RemoveTree(setAside);
            RemoveTree(server_);
            ASSERT_TRUE(MakeDirs(server_));
            ASSERT_TRUE(WriteBytes(file, "old client"));
        }
    }
    // A stashed file that could not be put back keeps the stash, and with
    // it the journal, for the next try.
    const engine::JournalRecord stashRecord{L"stash", {stash}};
    ASSERT_TRUE(MakeDirs(stash + L"\\"));
    ASSERT_TRUE(WriteBytes(stashed, "old client"));
    EXPECT_FALSE(engine::StepOf(stashRecord).undo(stashRecord, way_));
    EXPECT_EQ("old client", ReadBytes(stashed));
}

// Whether the run committed is its journal's: whoever holds the journal
// sees the commit, until the journal is settled.
TEST_F(EngineTest, CommitIsTheJournalsUntilItIsSettled) {
    tx_.Begin(header_);
    EXPECT_FALSE(tx_.Committed());
    tx_.Commit();
    EXPECT_TRUE(engine::Transaction(journal_, way_).Committed());
    journal_.Remove();
    EXPECT_FALSE(tx_.Committed());
}

TEST_F(EngineTest, CommittedRunCutShortIsFinishedFromWhatTheJournalSays) {
    DeployUpToTheExtraction(/*commit=*/true);
    EXPECT_FALSE(Exists(stash_));
    EXPECT_FALSE(Exists(server_ + L"fbclient.dll.~4711"));

    std::vector<engine::DeploymentHeader> completed;
    const engine::SettleResult result =
        engine::SettleJournal(journal_, [&](const engine::DeploymentHeader& h,
                                            const std::vector<engine::JournalRecord>& records) {
            completed.push_back(h);
            EXPECT_FALSE(engine::Recorded(records, engine::journal::kFirewall));
        });
    EXPECT_EQ(engine::Settled::kCompleted, result.outcome);
    ASSERT_EQ(1u, completed.size());
    EXPECT_EQ(server_, completed[0].serverDir);
    EXPECT_EQ(header_.appDir, completed[0].appDir);
    EXPECT_EQ(L"47190", completed[0].port.Text());
    EXPECT_EQ(L"SS", completed[0].modeCode);
    EXPECT_EQ("new client", ReadBytes(server_ + L"fbclient.dll"));
    EXPECT_FALSE(Exists(journalPath_));
}

// An instance that ran before the cut run removed it is registered again at
// the next start; when it does not run again (here its program is gone),
// the start says which one, as a failure, and goes on.
TEST_F(EngineTest, RestoredInstanceThatDoesNotRunAgainIsNamed) {
    const std::wstring name = std::wstring(outside::kServiceNamePrefix) + L"velmora64b_47190";
    {
        engine::Journal journal = OpenJournal();
        platform::HeldPath way;
        engine::Transaction(journal, way).Begin(header_);
        environment::ServiceRecord removed;
        removed.name = name;
        removed.displayName = L"Firebird Server - velmora64b_47190";
        removed.binaryPath = server_ + L"firebird.exe -s velmora64b_47190";
        removed.running = true;
        journal.Append(engine::ToJournal(removed, engine::journal::kRemoved.name));
    }
    EXPECT_TRUE(Settle(*run_));
    EXPECT_EQ(std::vector<std::wstring>{L"ReportError: Predchádzajúca inštalácia Firebird SQL "
                                        L"servera bola prerušená; súbory a nastavenia pôvodného "
                                        L"servera boli obnovené, ale jeho inštancia "
                                        L"velmora64b_47190 sa nespustila."},
              ui_.calls);
    EXPECT_EQ(engine::kExitFailed, settled_.ExitCode()) << "a new run may go on, but ends failed";
    EXPECT_EQ(SERVICE_STOPPED, environment::GetServiceState(name)) << "registered again";
    EXPECT_FALSE(Exists(journalPath_)) << "settled: nothing is tried again";
    environment::StopAndDeleteService(name);
}

// The engine stops and says so; which page follows, and what an unattended
// run logs, is the caller's.
TEST_F(EngineTest, OverwriteAnsweredNoStopsBeforeAnythingChanges) {
    const std::wstring app = scratch_ / L"app\\";
    ASSERT_TRUE(MakeDirs(app + L"userdata\\comps\\"));
    ASSERT_TRUE(WriteBytes(server_ + outside::kServerExe, "MZ server"));
    engine::Plan plan;
    plan.installServer = true;
    plan.appDir = plan.shownAppDir = app;
    plan.serverDir = server_;
    plan.port = *environment::Port::Parse(L"47190");
    const engine::Outcome outcome = run_->Install(plan);
    EXPECT_EQ(engine::Outcome::kStopped, outcome.kind);
    EXPECT_EQ(L"", outcome.sentence) << "a question only a person is asked";
    EXPECT_EQ(std::vector<std::wstring>{L"ConfirmAttended: " + (engine::kInFolder + server_) +
                                        engine::kAlreadyInstalled},
              ui_.calls);
    EXPECT_FALSE(Exists(app + outside::kStopMarker));
    EXPECT_FALSE(Exists(journalPath_));
    EXPECT_EQ("old client", ReadBytes(server_ + L"fbclient.dll"));
}

// ---- The extraction's events ----------------------------------------------------------

struct FailureCase {
    const char* name;
    bool canceled;
    const wchar_t* file;
    archive::TZFProcessFileFailureAction action;
    bool failsTheDeployment;
};

class ZipFileFailureTest : public EngineTest, public ::testing::WithParamInterface<FailureCase> {};

// A failed entry ends the extraction, the reason kept for the rollback's
// report (the first one: a later entry does not replace it); the two that
// may fail quietly are skipped and nothing is shown.
TEST_P(ZipFileFailureTest, EndsTheExtractionUnlessTheEntryMayFailQuietly) {
    const FailureCase& c = GetParam();
    ui_.cancel = c.canceled;
    engine::KitExtraction extraction(tx_, server_, 1000, ui_);
    archive::TZFProcessFileFailureAction action = archive::fxaIgnore;
    extraction.OnFileFailure(c.file, L"Prístup bol odmietnutý.", action);
    EXPECT_EQ(c.action, action);
    extraction.OnFileFailure(L"bin\\fbclient.dll", L"Disk je plný.", action);
    EXPECT_TRUE(ui_.calls.empty());
    std::wstring failure;
    try {
        extraction.RaiseFailure();
    } catch (const platform::Error& e) {
        failure = e.Message();
    }
    EXPECT_EQ(c.failsTheDeployment ? L"Chyba pri spracovaní archívu!\r\nPrístup bol odmietnutý."
              : c.canceled         ? L""
                                   : L"Chyba pri spracovaní archívu!\r\nDisk je plný.",
              failure);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ZipFileFailureTest,
    ::testing::Values(
        FailureCase{"Reported", false, L"intl\\fbintl.conf", archive::fxaAbort, true},
        FailureCase{"MessageFileUpperCase", false, L"FIREBIRD.MSG", archive::fxaIgnore, false},
        FailureCase{"VorselExe", false, L"bin\\exe\\Vorsel.exe", archive::fxaIgnore, false},
        FailureCase{"AfterCancel", true, L"intl\\fbintl.conf", archive::fxaAbort, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineTest, ProgressAdvancesTheBarByNewUnitsOnly) {
    engine::KitExtraction extraction(tx_, server_, 1000, ui_);
    bool cancel = true;
    extraction.OnOverallProgress(0, cancel);
    EXPECT_FALSE(cancel);
    extraction.OnOverallProgress(50.5, cancel);  // rounds to 50
    EXPECT_EQ(500, ui_.advanced);
    extraction.OnOverallProgress(51.5, cancel);  // rounds to 52
    EXPECT_EQ(520, ui_.advanced);
    extraction.OnOverallProgress(51.9, cancel);
    EXPECT_EQ(520, ui_.advanced);
    ui_.cancel = true;
    extraction.OnOverallProgress(100, cancel);
    EXPECT_EQ(1000, ui_.advanced);
    EXPECT_EQ(1000, extraction.m_ProgressPrevious);
    EXPECT_TRUE(cancel);
}

// ---- Deployment guard -----------------------------------------------------------------

// Another name of some other file (a hard link: Wine has no links of
// Windows) is never opened as the guard, and stays as it is.
TEST(DeploymentGuard, AFileThatIsALinkIsRefusedSayingWhy) {
    const ScratchPlaces places;
    TempDir elsewhere(L"elsewhere");
    const std::wstring dir = places.Places().journalDir, victim = elsewhere / L"victim.txt";
    const std::wstring file = dir + engine::kGuardFileName;
    ASSERT_TRUE(MakeDirs(dir));
    ASSERT_TRUE(WriteBytes(victim, "theirs"));
    ASSERT_TRUE(CreateHardLinkW(file.c_str(), victim.c_str(), nullptr));
    engine::DeploymentGuard guard(dir);
    try {
        guard.Take();
        ADD_FAILURE() << "taken";
    } catch (const platform::Error& e) {
        EXPECT_EQ(engine::kGuardRefused + (L"súbor " + file) +
                      L" je odkaz na iné miesto. Inštalácia nič nezmenila.",
                  e.Message());
    }
    EXPECT_FALSE(guard.Held());
    EXPECT_TRUE(Exists(file));
    EXPECT_EQ("theirs", ReadBytes(victim));
}

}  // namespace
