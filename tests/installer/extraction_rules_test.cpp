// The arithmetic and choices behind the wizard's extraction handlers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/ExtractionRules.h"
#include "engine/FilePolicy.h"

namespace {

using engine::ChooseFileFailure;
using engine::IsAdministratorsFile;
using engine::IsKeptFromOpenFolder;
using engine::NextProgressStep;
using engine::ProgressUnits;

TEST(ProgressUnits, RoundsHalfToEvenBeforeScaling) {
    EXPECT_EQ(50, ProgressUnits(50.5, 100));
    EXPECT_EQ(52, ProgressUnits(51.5, 100));
    EXPECT_EQ(51, ProgressUnits(50.500001, 100));
    EXPECT_EQ(0, ProgressUnits(0.5, 100));
    EXPECT_EQ(2, ProgressUnits(1.5, 100));
    EXPECT_EQ(33, ProgressUnits(33.3, 100));
}

TEST(ProgressUnits, ScalesIn64BitsAndTruncates) {
    // 99 * 2'000'000'000 overflows 32 bits
    EXPECT_EQ(1'980'000'000, ProgressUnits(99, 2'000'000'000));
    EXPECT_EQ(2'000'000'000, ProgressUnits(100, 2'000'000'000));
    EXPECT_EQ(3, ProgressUnits(50, 7));  // 3.5 truncated
    EXPECT_EQ(0, ProgressUnits(99, 1));
    EXPECT_EQ(1, ProgressUnits(100, 1));
}

TEST(ProgressUnits, EmptyArchiveGivesZeroEverywhere) {
    for (double p : {0.0, 12.5, 50.5, 100.0}) EXPECT_EQ(0, ProgressUnits(p, 0));
}

TEST(ProgressUnits, OutOfRangeReportsAreHeld) {
    EXPECT_EQ(0, ProgressUnits(-3, 1000));
    EXPECT_EQ(1000, ProgressUnits(250, 1000));
    EXPECT_EQ(0, ProgressUnits(std::numeric_limits<double>::quiet_NaN(), 1000));
}

TEST(ProgressStep, BarAdvancesByNewUnitsOnlyAndNeverBack) {
    auto s = NextProgressStep(25, 1000, 0);
    EXPECT_EQ(250, s.next);
    EXPECT_EQ(250, s.advance);
    EXPECT_EQ(250, s.shown);
    s = NextProgressStep(25.4, 1000, 250);  // same whole percent: nothing new
    EXPECT_EQ(0, s.advance);
    EXPECT_EQ(250, s.shown);
    s = NextProgressStep(10, 1000, 250);  // a retried entry reports less
    EXPECT_EQ(100, s.next);
    EXPECT_EQ(0, s.advance);
    EXPECT_EQ(250, s.shown);
    s = NextProgressStep(100, 1000, 250);
    EXPECT_EQ(750, s.advance);
    EXPECT_EQ(1000, s.shown) << "the bar reaches its maximum exactly at 100";
}

TEST(FileFailure, OtherEntriesAreReportedAndSkipped) {
    auto c = ChooseFileFailure(false, L"bin\\fbclient.dll", L"Súbor sa nedá vytvoriť");
    EXPECT_EQ(archive::fxaIgnore, c.action);
    EXPECT_EQ(L"Chyba pri spracovaní archívu!\r\nSúbor sa nedá vytvoriť", c.report);
}

TEST(FileFailure, QuietEntriesAreSkippedWithoutAWordInAnyCase) {
    for (const wchar_t* name :
         {L"firebird.msg", L"FIREBIRD.MSG", L"bin\\exe\\vorsel.exe", L"BIN\\EXE\\Vorsel.EXE"}) {
        auto c = ChooseFileFailure(false, name, L"x");
        EXPECT_EQ(archive::fxaIgnore, c.action) << name;
        EXPECT_TRUE(c.report.empty()) << name;
    }
    EXPECT_FALSE(ChooseFileFailure(false, L"doc\\firebird.msg", L"x").report.empty())
        << "only the entry at the top of the kit";
}

TEST(FileFailure, AfterCancelEveryFailureAbortsSilently) {
    for (const wchar_t* name : {L"firebird.exe", L"firebird.msg"}) {
        auto c = ChooseFileFailure(true, name, L"x");
        EXPECT_EQ(archive::fxaAbort, c.action);
        EXPECT_TRUE(c.report.empty());
    }
}

TEST(AdministratorsFiles, DatabasesAnywhereAndTheirConfigurationAtTheTop) {
    for (const wchar_t* path :
         {L"security4.fdb", L"SECURITY4.FDB", L"examples\\empbuild\\employee.fdb",
          L"examples/empbuild/Employee.Fdb", L"databases.conf", L"Databases.Conf", L"plugins.conf",
          L"fbtrace.conf", L"replication.conf"})
        EXPECT_TRUE(IsAdministratorsFile(path)) << path;
    for (const wchar_t* path :
         {L"firebird.conf", L"firebird.exe", L"fbclient.dll", L"intl\\fbintl.conf",
          L"doc\\databases.conf", L"plugins/udr/plugins.conf", L"security4.fdb.txt",
          L"databases.conf.bak", L"fdb"})
        EXPECT_FALSE(IsAdministratorsFile(path)) << path;
}

// From a folder users could write, the data and the log; no setting that
// would let a user's plugin, trace or replication in.
TEST(KeptFromOpenFolder, DataAndLogButNoSettings) {
    for (const wchar_t* path : {L"security4.fdb", L"data\\Office.FDB", L"DATABASES.CONF", L"firebird.log"})
        EXPECT_TRUE(IsKeptFromOpenFolder(path)) << path;
    for (const wchar_t* path : {L"plugins.conf", L"fbtrace.conf", L"replication.conf",
                                L"firebird.conf", L"version.dll", L"doc\\firebird.log"})
        EXPECT_FALSE(IsKeptFromOpenFolder(path)) << path;
}

// A removal keeps the administrator's files and the server's settings and
// log; without the kit it takes programs and libraries for the server's.
TEST(RemovalRules, KeepsSettingsAndDataTakesProgramsByExtension) {
    for (const wchar_t* path : {L"security4.fdb", L"data\\office.fdb", L"databases.conf",
                                L"plugins.conf", L"Firebird.Conf", L"firebird.log"})
        EXPECT_TRUE(engine::IsKeptByRemoval(path)) << path;
    for (const wchar_t* path : {L"firebird.exe", L"intl\\fbintl.conf", L"doc\\firebird.log"})
        EXPECT_FALSE(engine::IsKeptByRemoval(path)) << path;
    for (const wchar_t* path : {L"instsvc.exe", L"32b\\FBCLIENT.DLL", L"plugins\\engine13.dll"})
        EXPECT_TRUE(engine::IsProgramFile(path)) << path;
    for (const wchar_t* path : {L"firebird.msg", L"dll", L".exe", L"notes.exe.txt"})
        EXPECT_FALSE(engine::IsProgramFile(path)) << path;
}

}  // namespace
