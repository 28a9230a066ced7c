// firebird.conf text rules: what counts as a port, where the port is read
// from, how keys are replaced, and how an upgrade carries the
// administrator's settings over.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "environment/ConfText.h"
#include "environment/Port.h"
#include "outside/Outside.h"

namespace {

using environment::ChooseFBPort;
using environment::ExtractConfPort;
using environment::JoinConfLines;
using environment::MergeConfSettings;
using environment::Port;
using environment::PortSource;
using environment::ReplaceConfLines;
using environment::SplitConfLines;

struct PortCase {
    const char* label;
    std::wstring text;
    std::wstring port;
};

class ConfPort : public ::testing::TestWithParam<PortCase> {};

TEST_P(ConfPort, IsReadFromTheExactPortLineOnly) {
    EXPECT_EQ(GetParam().port, ExtractConfPort(GetParam().text));
}

const std::wstring kHead = L"# Server configuration\r\n#\r\n";

INSTANTIATE_TEST_SUITE_P(
    Text, ConfPort,
    ::testing::Values(
        PortCase{"plain", kHead + L"RemoteServicePort = 3050\r\n#x\r\n", L"3050"},
        PortCase{"last_line_with_crlf", kHead + L"RemoteServicePort = 50064\r\n", L"50064"},
        PortCase{"commented_only", kHead + L"#RemoteServicePort = 3050\r\n", L""},
        PortCase{"first_line", L"RemoteServicePort = 3050\r\n#x\r\n", L""},
        PortCase{"bare_lf_ends", L"#\nRemoteServicePort = 3050\n#x\n", L""},
        PortCase{"no_blank_before_equals", kHead + L"RemoteServicePort=3050\r\n", L""},
        PortCase{"two_blanks_before_equals", kHead + L"RemoteServicePort  = 3050\r\n", L""},
        PortCase{"other_case", kHead + L"remoteserviceport = 3050\r\n", L""},
        PortCase{"last_line_without_end", kHead + L"RemoteServicePort = 3050", L""},
        PortCase{"trailing_comment", kHead + L"RemoteServicePort = 3050 # x\r\n", L"3050#x"},
        PortCase{"tab_stays", kHead + L"RemoteServicePort =\t3050\r\n", L"\t3050"},
        PortCase{"extra_equals", kHead + L"RemoteServicePort = = 3050=\r\n", L"3050"},
        PortCase{"first_of_two", kHead + L"RemoteServicePort = 1\r\nRemoteServicePort = 2\r\n",
                 L"1"},
        PortCase{"commented_then_real",
                 kHead + L"#RemoteServicePort = 3050\r\nRemoteServicePort = 50064\r\n", L"50064"},
        PortCase{"line_end_at_window_edge",  // CR LF starts at character 98 of the line
                 kHead + L"RemoteServicePort = " + std::wstring(78, L'7') + L"\r\n",
                 std::wstring(78, L'7')},
        PortCase{"line_end_past_window",  // the LF would be the 101st character
                 kHead + L"RemoteServicePort = " + std::wstring(79, L'7') + L"\r\n", L""},
        PortCase{"empty", L"", L""}),
    [](const auto& info) { return std::string(info.param.label); });

// The /PORT option and the page's port edit share the rule.
TEST(PortRule, DigitsFromOneTo65535WithoutLeadingZeros) {
    const std::pair<std::wstring, std::optional<std::wstring>> cases[] = {
        {L"65535", L"65535"}, {L"03050", L"3050"}, {L"0050064", L"50064"},
        {std::wstring(40, L'0') + L"1", L"1"}, {L"", std::nullopt}, {L"0", std::nullopt},
        {L"65536", std::nullopt}, {L"99999999999999999999", std::nullopt}, {L"x1", std::nullopt},
        {L" 1", std::nullopt}, {L"+1", std::nullopt}, {L"\uff13\uff10\uff15\uff10", std::nullopt}};
    for (const auto& [text, port] : cases) {
        const std::optional<Port> parsed = Port::Parse(text);
        EXPECT_EQ(port, parsed ? std::optional(parsed->Text()) : std::nullopt)
            << std::string(text.begin(), text.end());
    }
}

TEST(FBPort, TheAgreedPortNeedsBothFilesToAgree) {
    EXPECT_EQ(L"3050", ChooseFBPort(L"3050", L"3050", PortSource::kAgreed));
    EXPECT_EQ(L"", ChooseFBPort(L"3050", L"", PortSource::kAgreed));
    EXPECT_EQ(L"", ChooseFBPort(L"", L"", PortSource::kAgreed));
    EXPECT_EQ(L"", ChooseFBPort(L"3050", L"50064", PortSource::kAgreed));
}

TEST(FBPort, TheServersPortIsFirebirdConfs) {
    EXPECT_EQ(L"50064", ChooseFBPort(L"3050", L"50064", PortSource::kServer));
    EXPECT_EQ(L"", ChooseFBPort(L"3050", L"", PortSource::kServer));
}

std::wstring Set(const std::wstring& text, const std::wstring& key, const std::wstring& value) {
    auto lines = SplitConfLines(text);
    ReplaceConfLines(lines, key, value);
    return JoinConfLines(lines);
}

TEST(ConfLines, CommentedPortLineBecomesTheRealOneAndIsThenRead) {
    std::wstring text = kHead + L"#RemoteServicePort = 3050\r\n#\r\n";
    std::wstring set = Set(text, outside::kConfPortKey, L"50064");
    EXPECT_EQ(kHead + L"RemoteServicePort = 50064\r\n#\r\n", set);
    EXPECT_EQ(L"50064", ExtractConfPort(set));
}

TEST(ConfLines, EveryMatchingLineIsReplacedSpacedOrNot) {
    std::wstring text =
        L"#ServerMode = Super\r\nServerMode=Classic\r\nx\r\n# mode: ServerMode = SuperClassic\r\n";
    EXPECT_EQ(L"ServerMode = Classic\r\nServerMode = Classic\r\nx\r\nServerMode = Classic\r\n",
              Set(text, outside::kConfModeKey, L"Classic"));
}

TEST(ConfLines, KeysAreCaseSensitive) {
    EXPECT_EQ(L"servermode = Super\r\n",
              Set(L"servermode = Super\r\n", outside::kConfModeKey, L"Classic"));
}

TEST(ConfLines, MissingKeyIsNotAppendedButLineEndsBecomeCrLf) {
    EXPECT_EQ(L"#a\r\nb\r\nc\r\n", Set(L"#a\nb\r\nc", outside::kConfPortKey, L"1"));
    EXPECT_EQ(L"", Set(L"", outside::kConfPortKey, L"1"));
}

TEST(ConfLines, CommentKeyWritesACommentLine) {
    std::wstring value =
        std::wstring(outside::kConfUdfValuePrefix) + L"C:\\app\\bin\\system\\udf\\64";
    EXPECT_EQ(L"#UdfAccess = Restrict UDF;C:\\app\\bin\\system\\udf\\64\r\n",
              Set(L"#UdfAccess = None\r\n", outside::kConfUdfKey, value));
    EXPECT_EQ(
        L"DataTypeCompatibility = 3.0\r\n",
        Set(L"#DataTypeCompatibility =\r\n", outside::kConfCompatKey, outside::kConfCompatValue));
}

TEST(ConfLines, LoneCrStaysInsideItsLineAndEmptyLinesSurvive) {
    EXPECT_EQ((std::vector<std::wstring>{L"a\rb", L"", L"c"}), SplitConfLines(L"a\rb\r\n\nc\r\n"));
}

TEST(ConfLines, EmptyKeyChangesNothing) {
    EXPECT_EQ(L"a\r\n", Set(L"a\r\n", L"", L"x"));
}

std::wstring Merge(const std::wstring& kit, const std::wstring& old) {
    return JoinConfLines(MergeConfSettings(SplitConfLines(kit), SplitConfLines(old)));
}

TEST(ConfMerge, ActiveOldSettingsReplaceTheKitsLineOrAreAppended) {
    const std::wstring kit =
        L"# Cache\r\n#DefaultDbCachePages = 2048\r\n#\r\n#WireCompression = false\r\n# end\r\n";
    const std::wstring old =
        L"#\r\n  defaultdbcachepages=8192  # theirs\r\nWireCrypt = Enabled\r\n"
        L"#WireCompression = true\r\nAuthServer = Srp\r\n";
    EXPECT_EQ(
        L"# Cache\r\n  defaultdbcachepages=8192  # theirs\r\n#\r\n#WireCompression = false\r\n"
        L"# end\r\nWireCrypt = Enabled\r\nAuthServer = Srp\r\n",
        Merge(kit, old))
        << "taken as they stand, new keys in the old file's order; comments are not settings";
}

TEST(ConfMerge, TheLastOldSettingWinsAndTakesTheKitsActiveLineBeforeAComment) {
    const std::wstring kit =
        L"#TempCacheLimit = 1\r\nTempCacheLimit = 2\r\nx\r\nTempCacheLimit = 3\r\n";
    const std::wstring old = L"TempCacheLimit = 10\r\nTempCacheLimit = 20\r\n";
    EXPECT_EQ(L"#TempCacheLimit = 1\r\nTempCacheLimit = 2\r\nx\r\nTempCacheLimit = 20\r\n",
              Merge(kit, old))
        << "the kit's last active line is the one the server reads";
    EXPECT_EQ(L"TempCacheLimit = 20\r\n# TempCacheLimit = 2\r\n",
              Merge(L"#TempCacheLimit = 1\r\n# TempCacheLimit = 2\r\n", old))
        << "without an active line, the first commented one";
}

TEST(ConfMerge, NeitherTheInstallersKeysNorLinesThatSetNothingAreCarried) {
    const std::wstring kit = L"#ServerMode = Super\r\n#UdfAccess = None\r\n";
    EXPECT_EQ(kit, Merge(kit,
                         L"ServerMode = Classic\r\nRemoteServicePort = 3051\r\nudfaccess = Full\r\n"
                         L"DataTypeCompatibility = 2.5\r\nInclude x.conf\r\n= 1\r\nKey: 1\r\n"
                         L"Two words = 1\r\n"));
    EXPECT_EQ(L"Key = 1\r\n", Merge(L"", L"Key = 1")) << "an old file without a last line end";
}

}  // namespace
