// The install sequence with a server to install, on the engine alone:
// questions before anything changes, the deployment's stops and rollbacks,
// refused kits, the extraction cancelled, the legacy server, and the
// outside programs it runs. The user is a recording stand-in.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "DeploymentBed.h"
#include "ZipBuilder.h"
#include "engine/CommandLines.h"
#include "engine/Messages.h"
#include "engine/Processes.h"
#include "platform/Text.h"

using namespace sequencebed;

namespace {

using engine::kAlreadyInstalled;
using engine::kInFolder;
using engine::kNothingLeft;

// ---- Questions and stops -----------------------------------------------------------------

// Asked in an unattended run too: going on would stop someone else's server.
TEST_F(DeploymentTest, AnotherRunningInstanceOnThePortIsAskedAboutEvenUnattended) {
    const std::wstring other = root_ / L"other\\";
    RunOtherServer(other, Port(4));
    const std::wstring question =
        kInFolder + other + engine::kOnPort + Port(4) + engine::kOtherInstanceRuns;
    const Outcome outcome = Run(true, Port(4));
    EXPECT_EQ(std::vector<std::wstring>{L"Confirm: " + question}, ui_.calls);
    EXPECT_EQ(Outcome::kStopped, outcome.kind);
    EXPECT_EQ(question + L"\r\n" + engine::kAnsweredNo, outcome.sentence);
    EXPECT_FALSE(Exists(fb_));
    EXPECT_FALSE(Exists(app_ + outside::kStopMarker));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(4))));
}

// The run looks before its first change: the program held by another
// program than the instance it would stop ends it with nothing changed.
TEST_F(DeploymentTest, ServerInUseBySomethingElseStopsBeforeAnythingChanges) {
    // The folder's own port has a registered instance; another instance of
    // the same server program runs and keeps firebird.exe in use.
    InstallEarlierServer(Port(7), L"SS", false);
    RunTool(L"i", Port(7));
    RunTool(L"i", Port(9));
    StartInstance(Port(9));
    DeleteFileW((fb_ + L"instsvc.log").c_str());

    ui_.answers = {true};  // overwrite the installed server
    EXPECT_EQ(Outcome::kFailed, Install(Port(7))) << "the installation ends";
    EXPECT_EQ((std::vector<std::wstring>{
                  L"ConfirmAttended: " + (kInFolder + fb_) + kAlreadyInstalled,
                  L"Failed: " + std::wstring(kNothingLeft) + engine::kServerInUse}),
              ui_.Said());
    EXPECT_TRUE(ToolCalls().empty()) << "no instance stopped";
    EXPECT_EQ(DWORD(SERVICE_STOPPED), ServiceState(Service64(Port(7))));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(9))));
    EXPECT_FALSE(Exists(places_.JournalPath()));
    EXPECT_FALSE(Exists(app_ + outside::kStopMarker)) << "no marker made";
    EXPECT_TRUE(FirewallCalls().empty());
    EXPECT_EQ(L"C:\\old\\firebird.exe", IniValue(ini_, L"FBSERVER"));
    EXPECT_FALSE(Exists(exe_ + L"gds32.dll"));
}

TEST_F(DeploymentTest, FileThatCannotBeReplacedStopsTheDeploymentBeforeTheExtraction) {
    ASSERT_TRUE(MakeDirs(fb_ + L"doc\\"));
    ASSERT_TRUE(WriteBytes(fb_ + L"doc\\README.txt", "held"));
    HANDLE held = CreateFileW((fb_ + L"doc\\README.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(Outcome::kFailed, Install(Port(1)));
    CloseHandle(held);
    const std::vector<std::wstring> said = ui_.Said();
    ASSERT_EQ(1u, said.size());
    EXPECT_EQ(0u, said[0].find(L"Failed: " + std::wstring(kNothingLeft) + L"Súbor " + fb_ +
                               L"doc\\README.txt sa nedá presunúť: "))
        << ToUtf8(said[0]);
    EXPECT_EQ("held", ReadBytes(fb_ + L"doc\\README.txt"));
    EXPECT_FALSE(Exists(fb_ + L"firebird.exe"));
    EXPECT_TRUE(ToolCalls().empty());
}

// ---- Refused kits ------------------------------------------------------------------------

// A kit that could not be installed whole is refused before anything
// changes: the earlier server keeps running, its folder untouched.
struct RefusedKit {
    const char* name;
    ziptest::ZipItem odd;  // without data: the kit's entry dropped
    std::wstring reason;
};

class RefusedKitTest : public DeploymentTest, public ::testing::WithParamInterface<RefusedKit> {};

// The stand-in kit from its files extracted in `folder`, without the entry
// named as `odd`, and with `odd` when it has data.
std::string KitWith(const std::wstring& folder, const ziptest::ZipItem& odd) {
    archive::ArchiveReader kit;
    kit.FileName = KitArchive();
    kit.OpenArchive();
    ziptest::ZipBuilder zip;
    archive::TZFArchiveItem item;
    for (bool more = kit.FindFirst(L"*.*", item, archive::faAnyFile & ~archive::faDirectory); more;
         more = kit.FindNext(item)) {
        std::string name = ToUtf8(item.FileName);
        std::replace(name.begin(), name.end(), '\\', '/');
        if (name != odd.name) zip.File(name, ReadBytes(folder + item.FileName));
    }
    if (!odd.data.empty()) zip.Add(odd);
    return zip.Build();
}

TEST_P(RefusedKitTest, ChangesNothing) {
    InstallEarlierServer(Port(7), L"SS", true);
    ASSERT_TRUE(WriteBytes(work_ / outside::kKitArchive, KitWith(fb_, GetParam().odd)));
    const std::string server = ReadBytes(fb_ + L"firebird.exe");

    ui_.answers = {true};  // overwrite the installed server
    EXPECT_EQ(Outcome::kFailed, Install(Port(7)));
    const std::wstring refused = platform::Fill(engine::kKitRefused, {outside::kKitArchive});
    EXPECT_EQ(L"Failed: " + refused + GetParam().reason, ui_.Said().back());
    EXPECT_TRUE(ToolCalls().empty());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(7))));
    EXPECT_EQ(server, ReadBytes(fb_ + L"firebird.exe"));
    EXPECT_FALSE(Exists(root_ / L"evil.exe"));
    // What the run leaves at its exit.
    run_.DeleteOwnMarkers();
    ui_.calls.clear();
    EXPECT_EQ(engine::Outcome::kFinished, run_.SettleEarlierRun().kind);
    EXPECT_EQ(std::vector<std::wstring>{}, ui_.calls);
    EXPECT_FALSE(Exists(places_.JournalPath()));
}

ziptest::ZipItem Item(std::string name, std::string data = "MZ planted", uint16_t method = 0xFFFF) {
    ziptest::ZipItem item;
    item.name = std::move(name);
    item.data = std::move(data);
    item.method = method;
    return item;
}

INSTANTIATE_TEST_SUITE_P(
    Kits, RefusedKitTest,
    ::testing::Values(
        RefusedKit{"NameLeavingTheFolder", Item("../../evil.exe"),
                   L"..\\..\\evil.exe: Cesta súboru smeruje mimo cieľového priečinka"},
        RefusedKit{"UnsupportedMethod", Item("doc/packed.txt", "MZ planted", 14),
                   L"doc\\packed.txt: Nepodporovaná metóda kompresie (14)"},
        RefusedKit{"WithoutTheServiceTool", Item("instsvc.exe", ""),
                   engine::kKitLacks + std::wstring(L"instsvc.exe.")}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Extraction --------------------------------------------------------------------------

TEST_F(DeploymentTest, CancelDuringExtractionLeavesNothingOfTheNewServer) {
    ASSERT_TRUE(WriteBytes(exe_ + L"gds32.dll", "old client"));
    ui_.cancel = true;  // "Storno" answered Yes
    EXPECT_EQ(Outcome::kCancelled, Install(Port(1)));
    EXPECT_EQ(std::vector<std::wstring>{L"Cancelled: " + std::wstring(engine::kCanceledNothingLeft)},
              ui_.Said());
    EXPECT_FALSE(Exists(root_ / L"firebird")) << "the folders the installation made are gone";
    EXPECT_TRUE(ToolCalls().empty()) << "no server program, no service";
    EXPECT_TRUE(FirewallCalls().empty());
    EXPECT_EQ("old client", ReadBytes(exe_ + L"gds32.dll"));
    EXPECT_FALSE(Exists(places_.JournalPath()));
}

// The extraction reads the file that was checked: a kit put in its place
// meanwhile, which the journal knows nothing of, is not extracted. (Held
// open, the checked kit cannot even be replaced.)
TEST_F(DeploymentTest, KitReplacedAfterItsCheckIsNotTheOneExtracted) {
    TempDir other(L"other");
    ExtractKitInto(other.Path());
    ASSERT_TRUE(WriteBytes(other / L"kit.zip", KitWith(other.Path(), Item("doc/planted.txt"))));
    ui_.onExtendProgress = [&] {
        MoveFileExW((other / L"kit.zip").c_str(), (work_ / outside::kKitArchive).c_str(),
                    MOVEFILE_REPLACE_EXISTING);
    };
    EXPECT_EQ(Outcome::kFinished, Install(Port(2)));
    EXPECT_EQ(ReadBytes(other / L"firebird.exe"), ReadBytes(fb_ + L"firebird.exe"));
    EXPECT_FALSE(Exists(fb_ + L"doc\\planted.txt"));
}

// ---- The legacy 2.5 server ---------------------------------------------------------------

// The legacy server lives under the Program Files folder, whose name has a
// blank: its tool must be started by its quoted path, never through a stray
// "Program.exe" beside that folder.
class LegacyServerTest : public DeploymentTest {
protected:
    void SetUp() override {
        DeploymentTest::SetUp();
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
    EXPECT_EQ(Outcome::kFinished, Install(Port(1)));
    EXPECT_EQ((std::vector<std::string>{Command("sto"), Command("r")}),
              Lines(ReadBytes(legacy_ + L"instsvc.log")));
    EXPECT_FALSE(Exists(stray_ + L".log"));
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
    EXPECT_EQ(Outcome::kFailed, Install(Port(1)));
    EXPECT_EQ(std::vector<std::wstring>{L"Failed: " + std::wstring(kNothingLeft) +
                                        L"Príkaz " + FromUtf8(Command("sto")) +
                                        L" neskončil v stanovenom čase, a preto bol ukončený."},
              ui_.Said());
    EXPECT_EQ(1u, Lines(ReadBytes(legacy_ + L"instsvc.log")).size())
        << "nothing after the hung stop";
    EXPECT_FALSE(Exists(fb_ + L"firebird.exe"));
    DeleteFileW(L"C:\\istrel-hang.reached");
}

TEST_F(LegacyServerTest, WithoutItsServerProgramTheLegacyToolIsNotRun) {
    EXPECT_EQ(Outcome::kFinished, Install(Port(1)));
    EXPECT_FALSE(Exists(legacy_ + L"instsvc.log"));
}

// ---- Outside programs --------------------------------------------------------------------

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
    const environment::Port port = *environment::Port::Parse(L"03050");
    EXPECT_EQ(L"\"C:\\Program Files\\fb_x64\\instsvc.exe\" sto -n velmora64b_3050",
              engine::ServiceToolCommand(L"C:\\Program Files\\fb_x64\\", L"sto", port));
    EXPECT_EQ(L"D:\\FB_X64\\instsvc.exe i -n velmora64b_3050",
              engine::ServiceToolCommand(L"D:\\FB_X64\\", L"i", port));
    EXPECT_EQ(L"D:\\fb\\instsvc.exe r -n velmora32b_3050",
              engine::ServiceToolCommand(L"D:\\fb\\", L"r", port));
    EXPECT_EQ(L"\"C:\\Win dows\\system32\\netsh.exe\" firewall add allowedprogram "
              L"\"D:\\fb\\firebird.exe\" \"Firebird SQL server\" ENABLE",
              engine::FirewallCommand(L"D:\\fb\\", L"C:\\Win dows\\system32\\"));
    EXPECT_EQ(L"\"C:\\Win dows\\system32\\netsh.exe\" firewall delete allowedprogram "
              L"\"D:\\fb\\firebird.exe\"",
              engine::FirewallDeleteCommand(L"D:\\fb\\", L"C:\\Win dows\\system32\\"));
}

}  // namespace
