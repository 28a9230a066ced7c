// The run's event as an administrator's filter and script read it: the ID
// and level of each outcome, and a key=value line whose values read back as
// they were, whatever a folder holds.
#include <gtest/gtest.h>

#include <iterator>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "wizard/RunEvent.h"

namespace {

using environment::EventLevel;
using wizard::RunAction;
using wizard::RunFacts;

struct KindCase {
    const char* label;
    int32_t exitCode;
    RunAction action;
    uint32_t id;
    EventLevel level;
};

class RunEventKind : public ::testing::TestWithParam<KindCase> {};

TEST_P(RunEventKind, FollowsTheExitCodeAndTheAction) {
    const wizard::RunEventKind kind =
        wizard::RunEventKindOf(GetParam().exitCode, GetParam().action);
    EXPECT_EQ(GetParam().id, kind.id);
    EXPECT_EQ(GetParam().level, kind.level);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunEventKind,
    ::testing::Values(
        KindCase{"installed", 0, RunAction::kInstall, 1000, EventLevel::kInformation},
        KindCase{"kept", 0, RunAction::kKeep, 1000, EventLevel::kInformation},
        KindCase{"removed", 0, RunAction::kRemove, 1001, EventLevel::kInformation},
        KindCase{"postponed", 4, RunAction::kInstall, 1010, EventLevel::kWarning},
        KindCase{"removal_postponed", 4, RunAction::kRemove, 1010, EventLevel::kWarning},
        KindCase{"stopped", 2, RunAction::kKeep, 1011, EventLevel::kWarning},
        KindCase{"removal_stopped", 2, RunAction::kRemove, 1011, EventLevel::kWarning},
        KindCase{"failed", 3, RunAction::kInstall, 1020, EventLevel::kError},
        KindCase{"removal_failed", 3, RunAction::kRemove, 1020, EventLevel::kError},
        KindCase{"not_started", 1, RunAction::kInstall, 1021, EventLevel::kError},
        KindCase{"removal_not_started", 1, RunAction::kRemove, 1021, EventLevel::kError},
        KindCase{"no_runs_code_counts_as_failed", 5, RunAction::kInstall, 1020,
                 EventLevel::kError}),
    [](const ::testing::TestParamInfo<KindCase>& info) { return std::string(info.param.label); });

// The pairs as the README's PowerShell reads them: a bare value up to the
// next blank, or a quoted one with its doubled quotes made single.
std::vector<std::pair<std::wstring, std::wstring>> ReadPairs(const std::wstring& line) {
    static const std::wregex pair(L"(\\w+)=(\"(?:[^\"]|\"\")*\"|\\S*)");
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (std::wsregex_iterator it(line.begin(), line.end(), pair), end; it != end; ++it) {
        std::wstring value = (*it)[2];
        if (!value.empty() && value.front() == L'"') {
            value = value.substr(1, value.size() - 2);
            for (size_t at = value.find(L"\"\""); at != std::wstring::npos;
                 at = value.find(L"\"\"", at + 1))
                value.erase(at, 1);
        }
        pairs.emplace_back((*it)[1], value);
    }
    return pairs;
}

RunFacts Facts(const std::wstring& folder) {
    RunFacts facts;
    facts.action = RunAction::kKeep;
    facts.exitCode = 3;
    facts.explanation = L"Inštalácia skončila s kódom 3: Inštancia sa nespustila!";
    facts.setupLog = L"C:\\Logs\\istrel.log";
    facts.version = L"4.3.0.0";
    facts.folder = folder;
    facts.port = L"3051";
    facts.mode = L"CS";
    facts.instance = L"velmora32b_3051";
    return facts;
}

TEST(RunKeyValues, EveryValueReadsBackWhateverTheFolderHolds) {
    const std::wstring folders[] = {
        L"C:\\velmora\\firebird\\firebird_4_0_x64\\",
        L"C:\\Program Files\\fb server\\",
        L"C:\\O\"Neil\\fb\\",
        L"C:\\fb\\end quote\"",
        L"\"",
        L"C:\\Účtovníctvo\\server\\",
        L"C:\\a\tb\\",
        L"C:\\x y=\"z\" port=1\\",
        L"",
    };
    for (size_t i = 0; i < std::size(folders); ++i) {
        SCOPED_TRACE(::testing::Message() << "folder " << i);
        const std::wstring& folder = folders[i];
        const std::wstring line = wizard::RunKeyValues(Facts(folder));
        const std::vector<std::pair<std::wstring, std::wstring>> expected = {
            {L"version", L"4.3.0.0"}, {L"action", L"keep"},
            {L"exit", L"3"},          {L"server", L""},
            {L"folder", folder},      {L"port", L"3051"},
            {L"mode", L"CS"},         {L"instance", L"velmora32b_3051"}};
        EXPECT_EQ(expected, ReadPairs(line));
        EXPECT_EQ(std::wstring::npos, line.find_first_of(L"\r\n"));
    }
}

TEST(RunEventText, EndsWithTheKeyValueLineAfterTheExplanationAndTheSetupLog) {
    const RunFacts facts = Facts(L"C:\\Program Files\\fb\\");
    const std::wstring text = wizard::RunEventText(facts);
    EXPECT_EQ(wizard::RunKeyValues(facts), text.substr(text.rfind(L"\r\n") + 2));
    const size_t explained = text.find(L"\r\n" + facts.explanation + L"\r\n");
    ASSERT_NE(std::wstring::npos, explained);
    EXPECT_NE(std::wstring::npos, text.find(facts.setupLog + L"\r\n", explained));
}

}  // namespace
