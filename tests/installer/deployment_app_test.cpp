// The install sequence in the application's folder and for a kept server,
// on the engine alone: the markers, the client library and the backup tool,
// data.ini, and a server that stays moved to another port or mode.
#include <gtest/gtest.h>
#include <windows.h>

#include "DeploymentBed.h"
#include "engine/Messages.h"
#include "engine/Transaction.h"
#include "environment/Messages.h"
#include "environment/SharedFolder.h"
#include "platform/Errors.h"

using namespace sequencebed;

namespace {

using engine::kNothingLeft;
const std::string kOldClient = "old client library";

// ---- Markers -----------------------------------------------------------------------------

TEST_F(DeploymentTest, StopMarkerLeftBySomeoneElseIsNeitherWrittenNorRemoved) {
    ASSERT_TRUE(WriteBytes(app_ + outside::kStopMarker, "theirs"));
    EXPECT_EQ(Outcome::kFinished, Install(Port(5)));
    run_.DeleteOwnMarkers();
    EXPECT_EQ("theirs", ReadBytes(app_ + outside::kStopMarker));
    EXPECT_FALSE(Exists(NoRunMarker()));
}

TEST_F(DeploymentTest, NoRunMarkerLeftBySomeoneElseStays) {
    const std::wstring noRun = NoRunMarker();
    ASSERT_TRUE(WriteBytes(noRun, "theirs"));
    EXPECT_EQ(Outcome::kFinished, Install(Port(5)));
    EXPECT_NE("theirs", ReadBytes(noRun)) << "refreshed for this installation";
    run_.DeleteOwnMarkers();
    EXPECT_FALSE(Exists(app_ + outside::kStopMarker));
    EXPECT_TRUE(Exists(noRun));
}

TEST_F(DeploymentTest, WithoutUserdataFolderNoMarkerIsMade) {
    RemoveTree(app_ + L"userdata\\");
    EXPECT_EQ(Outcome::kFinished, Install(Port(5)));
    EXPECT_FALSE(Exists(app_ + L"userdata"));
}

// ---- The client library ------------------------------------------------------------------

TEST_F(DeploymentTest, ClientLibraryThatCannotBeDeletedIsReportedAndTheRestGoesOn) {
    ASSERT_TRUE(WriteBytes(exe_ + L"gds32.dll", kOldClient));
    HANDLE held = CreateFileW((exe_ + L"gds32.dll").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(Outcome::kFinished, Install(Port(6)));
    CloseHandle(held);

    EXPECT_EQ(std::vector<std::wstring>{L"ReportError: " + std::wstring(engine::kGdsDeleteError)},
              ui_.Said());
    EXPECT_EQ(kOldClient, ReadBytes(exe_ + L"gds32.dll"));
    // fbclient.dll is still copied, and the sequence ends normally.
    EXPECT_EQ(ReadBytes(fb_ + L"32b\\fbclient.dll"), ReadBytes(exe_ + L"fbclient.dll"));
    EXPECT_EQ(Port(6), IniValue(ini_, L"PORT"));
}

// Hard links stand for every kind of link here: Wine has no junctions or
// symbolic links of Windows. The no-run marker's is only information.
TEST_F(DeploymentTest, FilesOfTheApplicationThatAreLinksStayAndAreReported) {
    TempDir elsewhere(L"elsewhere");
    const std::wstring victim = elsewhere / L"victim.txt";
    ASSERT_TRUE(WriteBytes(victim, "not the installer's"));
    const std::vector<std::wstring> links = {
        NoRunMarker(), exe_ + L"fbclient.dll", app_ + L"bin\\system\\quenlet\\Quenlet.exe", ini_};
    std::vector<std::wstring> reports;
    for (const std::wstring& link : links) {
        ASSERT_TRUE(CreateHardLinkW(link.c_str(), victim.c_str(), nullptr)) << ToUtf8(link);
        reports.push_back((reports.empty() ? L"Inform: " : L"ReportError: ") +
                          environment::LinkLeftText(link));
    }
    EXPECT_EQ(Outcome::kFinished, Install(Port(6)));

    EXPECT_EQ("not the installer's", ReadBytes(victim));
    EXPECT_EQ(reports, ui_.Said());
    EXPECT_EQ(ReadBytes(fb_ + L"32b\\fbclient.dll"), ReadBytes(exe_ + L"gds32.dll"));
}

// ---- A kept server (no installation) -----------------------------------------------------

TEST_F(DeploymentTest, KeptServerWithSamePortAndModeTouchesNoServiceButRewritesDataIni) {
    InstallEarlierServer(Port(7), L"CS", true);
    ASSERT_TRUE(WriteBytes(exe_ + L"gds32.dll", kOldClient));
    std::string confBefore = Conf();
    EXPECT_EQ(Outcome::kFinished, Keep(Port(7), outside::kModeClassic));

    EXPECT_TRUE(ui_.calls.empty()) << "no question, no wait, no progress page";
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
    EXPECT_FALSE(Exists(app_ + outside::kStopMarker));
}

TEST_F(DeploymentTest, KeptServerMovedToAnotherPortGetsANewInstance) {
    InstallEarlierServer(Port(7), L"SS", true);
    EXPECT_EQ(Outcome::kFinished, Keep(Port(8)));

    std::string p7 = ToUtf8(Port(7)), p8 = ToUtf8(Port(8));
    EXPECT_EQ(Reinstalled(p7, p8), ToolCalls());
    EXPECT_EQ(Times(4, SystemFolder()), ToolDirs(fb_)) << "not the installer's folder, users write it";
    EXPECT_EQ(0u, ServiceState(Service64(Port(7))));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(8))));
    std::string conf = Conf();
    EXPECT_NE(std::string::npos, conf.find("\r\nRemoteServicePort = " + p8 + "\r\n"));
    EXPECT_EQ(std::string::npos, conf.find(p7));
    EXPECT_EQ(Port(8), IniValue(ini_, L"PORT"));
    EXPECT_TRUE(FirewallCalls().empty()) << "no firewall rule for a kept server";
}

TEST_F(DeploymentTest, KeptServerWhoseNewInstanceNeverRunsGetsItsOldOneBack) {
    InstallEarlierServer(Port(7), L"SS", true);
    const std::string conf = Conf();
    // The service tool registers the new instance but does not start it.
    ASSERT_TRUE(WriteBytes(fb_ + L"instsvc.fail", "sta"));
    EXPECT_EQ(Outcome::kFailed, Keep(Port(8)));

    EXPECT_EQ(std::vector<std::wstring>{L"Failed: " + std::wstring(engine::kRestored) +
                                        L"Inštancia Firebird SQL servera velmora64b_" + Port(8) +
                                        L" sa nespustila!"},
              ui_.Said());
    EXPECT_EQ(0u, ServiceState(Service64(Port(8))));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(7))));
    EXPECT_EQ(conf, Conf()) << "firebird.conf as it was";
    EXPECT_FALSE(Exists(fb_ + L"firebird.conf" + engine::kAsideSuffix));
    EXPECT_EQ(Port(7), IniValue(ini_, L"PORT")) << "data.ini untouched";
}

TEST_F(DeploymentTest, KeptServerWithOnlyANewModeIsSetUpAgainOnItsPort) {
    InstallEarlierServer(Port(7), L"SS", true);
    EXPECT_EQ(Outcome::kFinished, Keep(Port(7), outside::kModeClassic));

    std::string p7 = ToUtf8(Port(7));
    EXPECT_EQ(Reinstalled(p7, p7), ToolCalls());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(7))));
    EXPECT_NE(std::string::npos, Conf().find("\r\nServerMode = Classic\r\n"));
    EXPECT_EQ(L"CS", IniValue(ini_, L"FBTYPE"));
}

TEST_F(DeploymentTest, KeptServerWhoseFilesDisagreeLosesTheInstanceOfItsConfPort) {
    InstallEarlierServer(Port(7), L"SS", true);
    WriteIni(Port(9), L"C:\\old\\firebird.exe", L"SS");  // data.ini names another port
    EXPECT_EQ(Outcome::kFinished, Keep(Port(9)));

    std::string p7 = ToUtf8(Port(7)), p9 = ToUtf8(Port(9));
    EXPECT_EQ(Reinstalled(p7, p9), ToolCalls());
    EXPECT_EQ(0u, ServiceState(Service64(Port(7)))) << "it would start beside the new one";
    EXPECT_NE(std::string::npos, Conf().find("\r\nRemoteServicePort = " + p9 + "\r\n"));
    EXPECT_EQ(Port(9), IniValue(ini_, L"PORT"));
}

// A port from firebird.conf that is no port never reaches the service tool,
// not even when an instance (an earlier version's) carries it in its name.
TEST_F(DeploymentTest, KeptServerWhoseConfPortIsNoPortNeverGivesItToTheTool) {
    InstallEarlierServer(Port(7), L"SS", false);
    ASSERT_TRUE(WriteBytes(fb_ + L"firebird.conf", "#\r\nRemoteServicePort = 0\r\n"));
    RunTool(L"i", L"0");
    DeleteFileW((fb_ + L"instsvc.log").c_str());
    EXPECT_EQ(Outcome::kFinished, Keep(Port(8)));
    const std::string p8 = ToUtf8(Port(8));
    EXPECT_EQ((std::vector<std::string>{"i -n velmora64b_" + p8, "sta -n velmora64b_" + p8}),
              ToolCalls());
    ForgetService(Service64(L"0"));
}

// The default folder beside the application, which users may write,
// holding a server that no registered instance runs from: nothing of it
// runs, data.ini is not pointed at it, and the log says why.
TEST_F(DeploymentTest, KeptServerNoInstanceRunsFromRunsNothingAndLeavesDataIniAlone) {
    InstallEarlierServer(Port(7), L"SS", false);
    EXPECT_EQ(Outcome::kFinished, Keep(Port(8), outside::kModeClassic));

    EXPECT_EQ(std::vector<std::wstring>{L"Log: Priečinok " + fb_ + environment::kNotTaken +
                                        environment::kNoInstance},
              ui_.Said());
    EXPECT_TRUE(ToolCalls().empty());
    EXPECT_EQ(0u, ServiceState(Service64(Port(8))));
    EXPECT_EQ(Port(7), IniValue(ini_, L"PORT"));
    EXPECT_EQ(L"C:\\old\\firebird.exe", IniValue(ini_, L"FBSERVER"));
}

// Its programs are held open while they run; one that cannot be held (open
// elsewhere without sharing) is refused before anything runs, through the
// deployment's failure report.
TEST_F(DeploymentTest, KeptServerWhoseToolCannotBeHeldIsRefusedAndKeepsItsInstance) {
    InstallEarlierServer(Port(7), L"SS", true);
    const std::string conf = Conf();
    const std::wstring tool = fb_ + L"instsvc.exe";
    HANDLE open = CreateFileW(tool.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, open);
    EXPECT_EQ(Outcome::kFailed, Keep(Port(8)));
    CloseHandle(open);

    EXPECT_EQ(std::vector<std::wstring>{L"Failed: " + std::wstring(kNothingLeft) +
                                        L"Program " + tool + L" sa nedá otvoriť: " +
                                        platform::SystemErrorText(ERROR_SHARING_VIOLATION)},
              ui_.Said());
    EXPECT_TRUE(ToolCalls().empty());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(7))));
    EXPECT_EQ(conf, Conf());
    EXPECT_EQ(Port(7), IniValue(ini_, L"PORT"));
}

TEST_F(DeploymentTest, FolderWithoutServerProgramLeavesDataIniAlone) {
    WriteIni(Port(7), L"C:\\old\\firebird.exe", L"SS");
    ASSERT_TRUE(MakeDirs(fb_));
    EXPECT_EQ(Outcome::kFinished, Keep(Port(8), outside::kModeClassic));
    EXPECT_EQ(Port(7), IniValue(ini_, L"PORT"));
    EXPECT_EQ(L"SS", IniValue(ini_, L"FBTYPE"));
    EXPECT_TRUE(ToolCalls().empty());
    // The tool is still placed.
    EXPECT_TRUE(Exists(app_ + L"bin\\system\\quenlet\\Quenlet.exe"));
}

}  // namespace
