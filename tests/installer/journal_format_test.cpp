// The journal's lines and the bounds of its records, as bytes: what a later
// start accepts, cuts off or refuses.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/InstanceName.h"
#include "engine/JournalFormat.h"
#include "platform/PathText.h"

namespace {

using engine::JournalRecord;
namespace journal = engine::journal;

const std::string kRunId = "0123456789abcdef0123456789abcdef";
const std::wstring kApp = L"C:\\velmora\\zentaq\\";
const std::wstring kServer = L"C:\\velmora\\firebird\\servér\\";
const journal::Limits kLimits{L"C:\\Program Files\\firebird_2_5\\"};
const JournalRecord kRun{L"run", {L"install", kApp, kServer, L"50064", L"SS", L"\\\\srv\\kit\\"}};

JournalRecord Service(std::wstring name, std::wstring program, std::wstring type = L"16",
                      std::wstring start = L"3") {
    return {L"removed",
            {name, L"Firebird Server - x", program + L" -s x", L"", L"", L"LocalSystem", type,
             start, L"1", L"1"}};
}

std::string Bytes(const std::vector<JournalRecord>& records, const std::string& runId = kRunId) {
    std::string bytes = journal::EncodeHeader(runId);
    for (const JournalRecord& r : records) bytes += journal::EncodeRecord(runId, r);
    return bytes;
}

std::wstring ProblemOf(const std::string& bytes) {
    return journal::ReadJournal(bytes, kLimits).problem.value_or(L"(none)");
}

TEST(JournalFormat, EveryKindAsTheInstallerWritesItReadsBack) {
    const std::vector<JournalRecord> records = {
        {L"marker", {kApp, kApp + L"userdata\\vorsel.stop"}},
        {L"marker", {kApp, kApp + L"userdata\\comps\\norun.UCTAREN-2"}},
        kRun,
        Service(L"FirebirdServervelmora64b_3050", L"\"" + kServer + L"firebird.exe\""),
        Service(L"FirebirdServervelmora64b", L"C:\\Program Files\\firebird_2_5\\bin\\fbserver.exe",
                L"16", L"2"),
        {L"registered", {L"FirebirdServervelmora32b_50064"}},
        {L"parent", {L"C:\\velmora\\firebird"}},
        {L"dir", {L"C:\\VELMORA\\firebird\\servér"}},
        {L"dir", {kServer + L"intl"}},
        {L"moved", {kServer + L"fbclient.dll"}},
        {L"added", {kServer + L"intl\\fbintl.conf"}},
        {L"copy", {kServer + L"firebird.conf"}},
        {L"aside", {kServer.substr(0, kServer.size() - 1)}},
        {L"stash", {kServer + L".~istrel-old"}},
        {L"stashed", {kServer + L"intl\\fbintl.conf", kServer + L".~istrel-old\\intl\\fbintl.conf"}},
        {L"committed", {}},
        {L"firewall", {}},
        {L"done", {}}};
    for (const journal::Kind* kind : journal::kKinds)
        EXPECT_TRUE(std::any_of(records.begin(), records.end(),
                                [&](const JournalRecord& r) { return r.kind == kind->name; }))
            << "no record of kind " << testing::PrintToString(std::wstring(kind->name));
    const std::string bytes = Bytes(records);
    const journal::Contents read = journal::ReadJournal(bytes, kLimits);
    EXPECT_EQ(L"(none)", ProblemOf(bytes));
    EXPECT_EQ(kRunId, read.runId);
    EXPECT_EQ(bytes.size(), read.complete);
    ASSERT_EQ(records.size(), read.records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].kind, read.records[i].kind);
        EXPECT_EQ(records[i].fields, read.records[i].fields);
    }
}

// A power cut while appending leaves a last line without its line feed: it
// never counts, whatever it holds, and is no corruption.
TEST(JournalFormat, TornLastLineIsLeftOut) {
    const std::string whole = Bytes({kRun, {L"added", {kServer + L"a.dll"}}});
    const std::string torn = journal::EncodeRecord(kRunId, {L"added", {kApp + L"data\\x.fdb"}});
    for (const std::string& tail :
         {torn.substr(0, torn.size() - 1), torn.substr(0, 5), std::string("\0\0", 2)}) {
        const journal::Contents read = journal::ReadJournal(whole + tail, kLimits);
        EXPECT_FALSE(read.problem);
        EXPECT_EQ(whole.size(), read.complete);
        EXPECT_EQ(2u, read.records.size());
    }
    const std::string header = journal::EncodeHeader(kRunId);
    for (const std::string& cut : {std::string(), header.substr(0, header.size() - 1)}) {
        const journal::Contents read = journal::ReadJournal(cut, kLimits);
        EXPECT_FALSE(read.problem);
        EXPECT_EQ(0u, read.complete);
        EXPECT_TRUE(read.records.empty());
    }
}

TEST(JournalFormat, HeaderAndChecksumsAreChecked) {
    std::string damaged = Bytes({kRun, {L"dir", {kServer + L"intl"}}});
    damaged[damaged.rfind('\t') + 3] ^= 1;
    const std::string header = journal::EncodeHeader(kRunId);
    // A record moved over from another journal carries that run's checksum.
    const std::string spliced = header + journal::EncodeRecord(std::string(32, 'f'), kRun);
    const std::pair<std::string, std::wstring> cases[] = {
        {"run\tinstall\tC:\\a\\\tC:\\b\\\t1\tSS\tC:\\\n", L"riadok 1: nezačína hlavičkou"},
        {"00000000\tother-journal\t1\t" + kRunId + "\n", L"riadok 1: nezačína hlavičkou"},
        {Bytes({}).replace(24, 1, "2"), L"riadok 1: neznáma verzia formátu 2"},
        {"8c736521\tistrel-journal\t1\t0123\n", L"riadok 1: chybný identifikátor"},
        {std::string(header).replace(0, 1, header[0] == '0' ? "1" : "0"),
         L"riadok 1: nesedí kontrolný súčet"},
        {damaged, L"riadok 3: nesedí kontrolný súčet"},
        {spliced, L"riadok 2: nesedí kontrolný súčet"},
        {header + "dir\tC:\\x\n", L"riadok 2: chýba kontrolný súčet"},
    };
    for (const auto& [bytes, problem] : cases)
        EXPECT_EQ(0u, ProblemOf(bytes).find(problem)) << bytes;
}

// Each record stays inside what the run record names; the first record
// that does not makes the whole journal unusable.
struct Bound {
    const char* name;
    JournalRecord record;
    std::wstring problem;
};

const Bound kBounds[] = {
    {"file_outside_server_folder",
     {L"added", {kApp + L"data\\uctovnictvo.fdb"}},
     L"leží mimo priečinka servera"},
    {"folder_prefix_is_no_parent",
     {L"moved", {L"C:\\velmora\\firebird\\servér2\\x.dll"}},
     L"leží mimo"},
    {"dot_dot_backslash_name", {L"added", {kServer + L"..\\..\\zentaq\\x"}}, L"nie je úplná cesta"},
    {"trailing_dot_name", {L"added", {kServer + L"a.\\x"}}, L"nie je úplná cesta"},
    {"unc_path", {L"moved", {L"\\\\srv\\share\\x.dll"}}, L"nie je úplná cesta"},
    {"device_path",
     {L"added", {L"\\\\?\\C:\\velmora\\firebird\\servér\\x"}},
     L"nie je úplná cesta"},
    {"device_name", {L"copy", {kServer + L"nul.conf"}}, L"nie je úplná cesta"},
    {"stream_name", {L"added", {kServer + L"a.dll:s"}}, L"nie je úplná cesta"},
    {"empty_folder", {L"dir", {L""}}, L"nie je úplná cesta"},
    {"drive_root_folder", {L"dir", {L"C:\\"}}, L"leží mimo"},
    {"parent_not_above", {L"parent", {L"C:\\Users"}}, L"nie je nad priečinkom servera"},
    {"parent_is_the_folder", {L"parent", {L"C:\\velmora\\firebird\\servér"}}, L"nie je nad"},
    {"foreign_service", {L"registered", {L"Spooler"}}, L"nie je inštanciou servera"},
    {"instance_lookalike", {L"registered", {L"FirebirdServervelmora64b_1x"}}, L"nie je inštanciou"},
    {"foreign_service_restored", Service(L"Spooler", kServer + L"firebird.exe"),
     L"nie je inštanciou"},
    {"kernel_driver", Service(L"FirebirdServervelmora64b_1", kServer + L"x.sys", L"1"),
     L"samostatný proces"},
    {"shared_process", Service(L"FirebirdServervelmora64b_1", kServer + L"x.exe", L"32"),
     L"samostatný proces"},
    {"boot_start", Service(L"FirebirdServervelmora64b_1", kServer + L"x.exe", L"16", L"0"),
     L"spôsob spustenia"},
    {"program_outside", Service(L"FirebirdServervelmora64b_1", L"C:\\Users\\x\\evil.exe"),
     L"mimo priečinka servera"},
    {"program_climbs_out", Service(L"FirebirdServervelmora64b_1", kServer + L"..\\evil.exe"),
     L"mimo priečinka"},
    {"marker_elsewhere",
     {L"marker", {kApp, kApp + L"data\\uctovnictvo.fdb"}},
     L"nie je značkou aplikácie"},
    {"marker_below_comps",
     {L"marker", {kApp, kApp + L"userdata\\comps\\norun.x\\y"}},
     L"nie je značkou"},
    {"stashed_outside",
     {L"stashed", {kServer + L"fbclient.dll", L"C:\\Users\\x\\fbclient.dll"}},
     L"leží mimo priečinka servera"},
    {"missing_field", {L"added", {}}, L"záznam added má 0 údajov namiesto 1"},
    {"unknown_kind", {L"delete", {L"C:\\x"}}, L"neznámy druh záznamu delete"},
    {"control_character",
     {L"registered", {L"FirebirdServervelmora64b_1\r"}},
     L"znak, ktorý sa nedá zapísať"},
    {"second_run", kRun, L"druhý záznam o inštalácii"},
};

void PrintTo(const Bound& bound, std::ostream* out) {
    *out << bound.name;
}

class JournalBounds : public ::testing::TestWithParam<Bound> {};

TEST_P(JournalBounds, RecordOutOfBoundsMakesTheJournalUnusable) {
    const std::wstring problem = ProblemOf(Bytes({kRun, GetParam().record}));
    EXPECT_EQ(0u, problem.find(L"riadok 3: ")) << GetParam().name;
    EXPECT_NE(std::wstring::npos, problem.find(GetParam().problem)) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Records, JournalBounds, ::testing::ValuesIn(kBounds),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(JournalFormat, RunRecordComesFirstAndNamesAFolderBelowADriveRoot) {
    for (const JournalRecord& early :
         {JournalRecord{L"dir", {kServer}}, {L"registered", {L"FirebirdServervelmora64b_1"}},
          {L"committed", {}}, {L"done", {}}})
        EXPECT_NE(std::wstring::npos,
                  ProblemOf(Bytes({early})).find(L"záznam " + early.kind + L" predchádza"));
    JournalRecord root = kRun;
    root.fields[2] = L"D:\\";
    EXPECT_NE(std::wstring::npos,
              ProblemOf(Bytes({root})).find(L"priečinok servera D:\\ je koreň disku"));
    // Without a legacy folder to compare with, no program lies in it.
    const JournalRecord legacy =
        Service(L"FirebirdServervelmora64b", L"C:\\Program Files\\firebird_2_5\\fb.exe");
    EXPECT_FALSE(journal::ReadJournal(Bytes({kRun, legacy}), kLimits).problem);
    EXPECT_TRUE(journal::ReadJournal(Bytes({kRun, legacy}), journal::Limits{}).problem);
    // A removal's run record is one of the three kinds; no other is.
    JournalRecord removal = kRun;
    removal.fields[0] = L"remove";
    EXPECT_FALSE(journal::ReadJournal(Bytes({removal}), kLimits).problem);
    removal.fields[0] = L"uninstall";
    EXPECT_NE(std::wstring::npos, ProblemOf(Bytes({removal})).find(L"neznámy druh inštalácie"));
    // The port is one a server can listen on, as the run wrote it.
    for (const wchar_t* port : {L"0", L"65536", L"4294967296", L"+3050"}) {
        JournalRecord wrong = kRun;
        wrong.fields[3] = port;
        EXPECT_NE(std::wstring::npos, ProblemOf(Bytes({wrong})).find(L"chybný port")) << port;
    }
}

// The program a removed instance's record names, which must lie in the
// server folder, is the one the service manager would start.
TEST(ProgramOfCommand, QuotedOrNot) {
    using platform::ProgramOfCommand;
    EXPECT_EQ(L"C:\\a b\\firebird.exe", ProgramOfCommand(L"\"C:\\a b\\firebird.exe\" -s x"));
    EXPECT_EQ(L"C:\\a b\\firebird.exe", ProgramOfCommand(L"C:\\a b\\firebird.exe -s x"));
    EXPECT_EQ(L"C:\\a.exec\\fb.EXE", ProgramOfCommand(L"C:\\a.exec\\fb.EXE"));
    EXPECT_EQ(L"C:\\a\\fb", ProgramOfCommand(L"C:\\a\\fb -s x")) << "no .exe: to the blank";
    EXPECT_EQ(L"", ProgramOfCommand(L"\"C:\\a b\\firebird.exe -s x")) << "unclosed quote";
}

// A service stands for the installer's own instance only under the name the
// installer makes for its port; any other name is someone else's service.
TEST(InstanceName, ReadBackFromAServiceOnlyAsItIsMade) {
    using environment::Port;
    const engine::InstanceName made(L"C:\\Velmora\\Server_X64\\", *Port::Parse(L"3051"));
    EXPECT_EQ(L"FirebirdServervelmora64b_3051", made.Service());
    EXPECT_EQ(L"velmora32b_3051",
              engine::InstanceName(L"C:\\Server SQL\\", *Port::Parse(L"3051")).Text());

    const struct {
        const wchar_t* service;
        const wchar_t* instance;  // nullptr: not the installer's
    } cases[] = {
        {L"FirebirdServervelmora64b_3051", L"velmora64b_3051"},
        {L"FIREBIRDSERVERVELMORA32B_65535", L"VELMORA32B_65535"},
        {L"FirebirdServervelmora64b_03051", nullptr},  // not a name made for a port
        {L"FirebirdServervelmora64b_", nullptr},
        {L"FirebirdServervelmora64b_70000", nullptr},
        {L"FirebirdServervelmora64b_3051x", nullptr},
        {L"FirebirdServerDefaultInstance", nullptr},
        {L"velmora64b_3051", nullptr},
    };
    for (const auto& c : cases) {
        const auto name = engine::InstanceName::OfService(c.service);
        ASSERT_EQ(c.instance != nullptr, name.has_value()) << testing::PrintToString(std::wstring(c.service));
        if (name) {
            EXPECT_EQ(c.instance, name->Text());
            // Service names are the same in any case.
            EXPECT_EQ(platform::FoldedAscii(c.service), platform::FoldedAscii(name->Service()));
        }
    }
    EXPECT_EQ(L"DefaultInstance", engine::InstanceText(L"FirebirdServerDefaultInstance"));
    EXPECT_EQ(L"Other", engine::InstanceText(L"Other"));
}

}  // namespace
