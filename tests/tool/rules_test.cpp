// The tool's text rules, which the server never sees: command-line
// splitting, result-file naming, version numbers, start blocks.
#include <gtest/gtest.h>

#include <clocale>

#include "BackupRequest.h"
#include "CommandLine.h"
#include "Errors.h"
#include "Hex.h"
#include "Platform.h"
#include "ResultFile.h"
#include "VersionCheck.h"

using namespace quenlet;

namespace {

using Items = std::vector<std::wstring>;

TEST(SplitCommandLine, QuotesBlanksAndEmptyPairs) {
    EXPECT_EQ((Items{L"Quenlet.exe", L"a", L"b"}), SplitCommandLine(L"Quenlet.exe a  b "));
    EXPECT_EQ((Items{L"C:\\Program Files\\Q.exe", L"C:\\my data\\db.fdb"}),
              SplitCommandLine(L"\"C:\\Program Files\\Q.exe\" \"C:\\my data\\db.fdb\""));
    // Empty pairs before an item are skipped: the next argument moves up.
    EXPECT_EQ((Items{L"q", L"db", L"user", L"pw"}), SplitCommandLine(L"q db \"\" user pw"));
    EXPECT_EQ((Items{L"q", L"x"}), SplitCommandLine(L"q \"\" \"\"\t\"\"x \"\""));
    // Quotes inside an item are dropped; an open quote runs to the end.
    EXPECT_EQ((Items{L"q", L"ab c", L"d e"}), SplitCommandLine(L"q a\"b c\" \"d e"));
    // Control characters separate; no escape character.
    EXPECT_EQ((Items{L"q", L"a\\", L"b"}), SplitCommandLine(L"q\x01"
                                                            L"a\\\x1f"
                                                            L"b"));
    EXPECT_EQ(Items{}, SplitCommandLine(L"  "));
}

TEST(SplitCommandLine, ArgumentsBeyondTheFourthIgnoredMissingOnesEmpty) {
    Arguments a = ArgumentsFrom(SplitCommandLine(L"q db fbk user"));
    EXPECT_EQ(L"db", a.database);
    EXPECT_EQ(L"fbk", a.backupFile);
    EXPECT_EQ(L"user", a.userName);
    EXPECT_EQ(L"", a.password);
    EXPECT_EQ(L"5", ArgumentsFrom(SplitCommandLine(L"q 2 3 4 5 6")).password);
}

TEST(ResultFilePath, ExtensionReplacedOrAppended) {
    EXPECT_EQ(L"C:\\app\\bin\\Quenlet.res", ResultFilePath(L"C:\\app\\bin\\Quenlet.exe", L"\\:"));
    EXPECT_EQ(L"C:\\a.b\\tool.res", ResultFilePath(L"C:\\a.b\\tool", L"\\:"));
    EXPECT_EQ(L"C:\\x\\z.v2.res", ResultFilePath(L"C:\\x\\z.v2.bin", L"\\:"));
    EXPECT_EQ(L"C:tool.res", ResultFilePath(L"C:tool", L"\\:"));
    EXPECT_EQ(L"/opt/q.d/quenlet.res", ResultFilePath(L"/opt/q.d/quenlet", L"/"));
}

TEST(DatabaseFileNamePart, AfterLastBackslashOrColon) {
    EXPECT_EQ(L"_copy.fdb", DatabaseFileNamePart(L"C:\\data\\_copy.fdb"));
    EXPECT_EQ(L"_copy.fdb", DatabaseFileNamePart(L"server:_copy.fdb"));
    EXPECT_EQ(L"/data/_copy.fdb", DatabaseFileNamePart(L"C:/data/_copy.fdb"));
}

TEST(VersionNumber, CutAtSecondDotAndReadWithTheRegionalSeparator) {
    EXPECT_DOUBLE_EQ(3.31, VersionNumber(L"3.310", L'.'));
    EXPECT_DOUBLE_EQ(3.31, VersionNumber(L"3.310.5", L'.'));
    EXPECT_DOUBLE_EQ(3.2, VersionNumber(L"3.2.1", L'.'));
    EXPECT_DOUBLE_EQ(3.1, VersionNumber(L"3.1000", L'.'));
    EXPECT_DOUBLE_EQ(3.31, VersionNumber(L" 3.310 ", L'.'));
    // With a comma as separator both spellings are read.
    EXPECT_DOUBLE_EQ(3.31, VersionNumber(L"3.310", L','));
    EXPECT_DOUBLE_EQ(3.31, VersionNumber(L"3,310", L','));
    EXPECT_DOUBLE_EQ(0, VersionNumber(L"3,310", L'.'));
    EXPECT_DOUBLE_EQ(0, VersionNumber(L"", L'.'));
    EXPECT_DOUBLE_EQ(0, VersionNumber(L"abc", L'.'));
    EXPECT_DOUBLE_EQ(0, VersionNumber(L"3.31x", L'.'));
    EXPECT_DOUBLE_EQ(310, VersionNumber(L"3.1e2", L'.'));
    EXPECT_DOUBLE_EQ(-3.5, VersionNumber(L"-3.5", L'.'));
    EXPECT_DOUBLE_EQ(0, VersionNumber(L"3.\t", L'.'));
}

TEST(BackupStartBlock, FilesSizesAndBlanks) {
    const std::string head =
        "01 6a 02 00 64 62 6c 02 00 00 00 6b";  // action, "db", options, verbose
    EXPECT_EQ(head + " 05 05 00 61 2e 66 62 6b", Hex(BackupStartBlock(L"db", L"a.fbk")));
    // Blanks around the name are kept.
    EXPECT_EQ(head + " 05 03 00 20 61 20", Hex(BackupStartBlock(L"db", L" a ")));
    // file=size: the size follows the file item.
    EXPECT_EQ(head + " 05 01 00 61 07 e8 03 00 00 05 01 00 62",
              Hex(BackupStartBlock(L"db", L"a=1000\r\n \r\nb")));
    EXPECT_EQ(head, Hex(BackupStartBlock(L"db", L"")));
}

TEST(BackupStartBlock, SizeThatIsNoIntegerIsRefused) {
    try {
        BackupStartBlock(L"db", L"a.fbk=10MB");
        FAIL() << "no error";
    } catch (const ToolError& e) {
        EXPECT_EQ(L"'10MB' is not a valid integer value for Integer type", e.Message());
    }
}

TEST(BackupStartBlock, NameTooLongForItsLengthFieldIsRefused) {
    // The whole block's length is 16 bits too: 15 bytes besides this name.
    EXPECT_EQ(65535u, BackupStartBlock(L"db", std::wstring(65520, L'f')).size());
    EXPECT_THROW(BackupStartBlock(L"db", std::wstring(65521, L'f')), ToolError);
    EXPECT_THROW(BackupStartBlock(L"db", std::wstring(65536, L'f')), ToolError);
    EXPECT_THROW(BackupStartBlock(std::wstring(65536, L'd'), L"a.fbk"), ToolError);
    // Each name fits its own field, but the block's 16-bit length cannot hold both.
    try {
        BackupStartBlock(std::wstring(32767, L'd'), std::wstring(40000, L'f'));
        FAIL() << "no error";
    } catch (const ToolError& e) {
        EXPECT_EQ(L"The backup request is too long: 72780 bytes, at most 65535 are allowed",
                  e.Message());
    }
}

TEST(ServerFileName, ArgvBytesTheLocaleCannotDecodeSurviveTheRoundTrip) {
    std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(nullptr, std::setlocale(LC_ALL, "C.UTF-8"));
    // Latin-1 and a lone continuation byte, beside a valid "ú".
    const std::string name = "/data/uct\xe9\x80-\xc3\xba.fdb";
    EXPECT_EQ(name, platform::ToServerFileName(platform::FromNarrow(name), L"Database name"));
    EXPECT_EQ(name, ResultFileBytes(platform::FromNarrow(name)).substr(4, name.size()));
    std::setlocale(LC_ALL, previous.c_str());
}

TEST(ResultFileBytes, ZeroOrMinusOneThenTheText) {
    EXPECT_EQ("0\r\n\r\n", ResultFileBytes(L""));
    EXPECT_EQ("-1\r\nline 1\r\nline 2\r\n", ResultFileBytes(L"line 1\r\nline 2"));
}

}  // namespace
