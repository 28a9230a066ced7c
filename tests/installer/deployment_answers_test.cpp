// What the engine answers is what the PC holds: /CHECK is the run's own
// list (its answer is the code the run then ends with), and /REMOVE finds
// the installer's instances through the service manager, whatever data.ini
// says, and ends well only when none stays.
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>

#include "DeploymentBed.h"
#include "engine/Messages.h"
#include "platform/Security.h"

namespace {

using sequencebed::Service64;
using testsupport::CopyInto;
using testsupport::DoublesDir;
using testsupport::Exists;
using testsupport::ServiceState;
using Answers = std::pair<int32_t, int32_t>;  // the check's code, the run's

class AnswersTest : public DeploymentTest {
protected:
    engine::Plan PlanFor(bool installServer, const std::wstring& port) const {
        engine::Plan plan;
        plan.installServer = installServer;
        plan.appDir = plan.shownAppDir = app_;
        plan.serverDir = fb_;
        plan.port = *environment::Port::Parse(port);
        plan.mode = &outside::kModeSuper;
        plan.waitSeconds = 0;
        return plan;
    }
    // A check's answer, then the run's own ending for the same plan.
    std::pair<int32_t, int32_t> CheckThenRun(bool installServer, const std::wstring& port) {
        run_.SettleEarlierRun();  // as every start does: the last run's journal goes
        const engine::CheckOutcome check = run_.Check(PlanFor(installServer, port));
        checkLines_ = check.lines;
        const engine::Outcome outcome = run_.Install(PlanFor(installServer, port));
        return {check.exitCode, outcome.ExitCode()};
    }
    std::vector<std::wstring> checkLines_;
};

// The check names what stops the run before its first change, and the run
// then stops there with the same code; where it would change something, the
// run does it.
TEST_F(AnswersTest, CheckAnswersWhatTheRunThenDoes) {
    // The older server's program held by another program, its instance stopped.
    InstallEarlierServer(Port(1), L"SS", false);
    ASSERT_TRUE(CopyInto(DoublesDir() + L"fbclient\\4.0.2.0\\fbclient.dll", fb_ + L"fbclient.dll"));
    HANDLE held = CreateFileW((fb_ + L"firebird.exe").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ui_.answers = {true};
    EXPECT_EQ(Answers(3, 3), CheckThenRun(true, Port(1)));
    EXPECT_EQ(std::wstring(engine::kServerInUse), checkLines_.back());
    EXPECT_TRUE(ToolCalls().empty()) << "the run stopped before any change";
    CloseHandle(held);

    // Free again: the check says what the run then changes.
    ui_.answers = {true};
    EXPECT_EQ(Answers(5, 0), CheckThenRun(true, Port(1)));
    EXPECT_EQ(0u, checkLines_.back().find(L"Inštalácia by nainštalovala"));
    // Installed as asked: nothing to change, and a run changes nothing.
    EXPECT_EQ(Answers(0, 0), CheckThenRun(false, Port(1)));
    EXPECT_EQ(0u, checkLines_.back().find(L"Inštalácia by nič nezmenila"));
}

// data.ini names no server (any user may write it): the installer's own
// instance is found through the service manager and removed all the same.
TEST_F(AnswersTest, RemoveFindsItsInstancesWhateverDataIniSays) {
    ASSERT_EQ(Outcome::kFinished, Install(Port(2)));
    WriteIni(Port(2), L"", L"SS");
    run_.SettleEarlierRun();
    ui_.calls.clear();
    ui_.answers = {true};  // the question of an attended removal
    const Outcome removed = run_.Remove(PlanFor(false, Port(2)));
    EXPECT_EQ(0, removed.ExitCode());
    EXPECT_EQ(0u, ServiceState(Service64(Port(2))));
    EXPECT_FALSE(Exists(fb_ + L"firebird.exe"));
    EXPECT_EQ(L"Inform: Firebird SQL server v priečinku " + fb_ + L" (inštancia velmora64b_" +
                  Port(2) + L") bol odstránený. Databázy, konfiguračné súbory a firebird.log zostali "
                  L"v priečinku.",
              ui_.Said().back());
}

// An instance of the folder registered under the name the other build of
// the server would have goes too, by that name, not the one the tool makes.
TEST_F(AnswersTest, RemoveTakesAnInstanceByItsRegisteredName) {
    ASSERT_EQ(Outcome::kFinished, Install(Port(5)));
    ASSERT_TRUE(testsupport::RegisterInstance(L"velmora32b_" + Port(6),
                                              L"\"" + fb_ + L"firebird.exe\" -s"));
    run_.SettleEarlierRun();
    ui_.answers = {true};  // the question of an attended removal
    const Outcome removed = run_.Remove(PlanFor(false, Port(5)));
    EXPECT_EQ(0, removed.ExitCode()) << removed.sentence;
    EXPECT_EQ(0u, ServiceState(Service64(Port(5))));
    EXPECT_EQ(0u, ServiceState(sequencebed::Service32(Port(6))));
}

// An instance whose folder others could write stays, and so does one whose
// command line names no folder: never 0 with one of the installer's
// instances registered.
TEST_F(AnswersTest, RemoveNamesAnInstanceThatStays) {
    ASSERT_EQ(Outcome::kFinished, Install(Port(3)));
    ASSERT_TRUE(testsupport::RegisterInstance(L"velmora64b_" + Port(4), L"\"C:\\fb\\firebird.exe -s"));
    platform::UniqueKernelHandle plugin(CreateFileW((fb_ + L"plugin.dll").c_str(),
                                                    GENERIC_WRITE | WRITE_DAC, 0, nullptr,
                                                    CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(plugin);
    const platform::Descriptor everyone(L"D:(A;;FA;;;WD)");
    ASSERT_EQ(DWORD(ERROR_SUCCESS), SetSecurityInfo(plugin.get(), SE_FILE_OBJECT,
                                                    DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                                    everyone.Dacl(), nullptr));
    plugin.reset();
    run_.SettleEarlierRun();
    const Outcome removed = run_.Remove(PlanFor(false, Port(3)));
    EXPECT_EQ(1, removed.ExitCode());
    EXPECT_NE(std::wstring::npos, removed.sentence.find(fb_ + L"plugin.dll"));
    EXPECT_NE(std::wstring::npos, removed.sentence.find(L"velmora64b_" + Port(4) + L" nespúšťa"));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), ServiceState(Service64(Port(3))));
    EXPECT_NE(0u, ServiceState(Service64(Port(4))));
}

}  // namespace
