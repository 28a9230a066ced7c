// The archive reader as the installer uses it under Wine: the size of the
// stand-in kit, its extraction into a server folder, the error raised for an
// archive that cannot be opened.
#include <gtest/gtest.h>
#include <windows.h>

#include "WinTestSupport.h"
#include "archive/ArchiveReader.h"
#include "outside/Outside.h"

namespace {

using testsupport::TempDir;

TEST(ArchiveKit, SizeOfTheKitIsTheSumOfItsFiles) {
    archive::ArchiveReader reader;
    reader.FileName = testsupport::KitArchive();
    reader.OpenArchive();
    int64_t sum = 0;
    archive::TZFArchiveItem item;
    for (bool f = reader.FindFirst(L"*.*", item, archive::faAnyFile); f; f = reader.FindNext(item))
        sum += item.UncompressedSize;
    EXPECT_GT(sum, 10000);
    EXPECT_EQ(sum, archive::ArchiveTotalSize(testsupport::KitArchive()));
}

TEST(ArchiveKit, ArchiveThatCannotBeOpenedIsNamedInTheError) {
    TempDir dir(L"kitsize");
    std::wstring garbage = dir / L"firebird_4_0_x64.zip";
    testsupport::WriteBytes(garbage, "MZ this is an executable, not an archive");
    for (const std::wstring& path : {garbage, dir / L"missing.zip"}) {
        try {
            archive::ArchiveTotalSize(path);
            ADD_FAILURE() << "no error";
        } catch (const archive::ArchiveError& e) {
            EXPECT_EQ(L"Chyba pri otváraní súboru: " + path, e.Message());
        }
    }
}

TEST(ArchiveKit, RelativeArchiveNameIsTakenFromTheCurrentDirectory) {
    TempDir dir(L"kitcwd");
    ASSERT_TRUE(testsupport::CopyInto(testsupport::KitArchive(), dir / outside::kKitArchive));
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(dir.Path().c_str());
    int32_t size = archive::ArchiveTotalSize(outside::kKitArchive);
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(archive::ArchiveTotalSize(testsupport::KitArchive()), size);
}

TEST(ArchiveKit, KitUnpacksIntoTheServerFolderOverAnOlderServer) {
    TempDir dir(L"kitx");
    std::wstring server = dir / L"firebird\\firebird_4_0_x64\\";
    ASSERT_TRUE(testsupport::MakeDirs(server));
    // an older, read-only server program in the way
    ASSERT_TRUE(testsupport::WriteBytes(server + outside::kServerExe, "old server"));
    SetFileAttributesW((server + outside::kServerExe).c_str(), FILE_ATTRIBUTE_READONLY);

    archive::ArchiveReader reader;
    reader.FileName = testsupport::KitArchive();
    reader.BaseDir = server;
    reader.FileMasks.push_back(L"*.*");
    int failures = 0;
    double last = -1;
    reader.OnOverallProgress = [&](double p, bool&) { last = p; };
    reader.OnProcessFileFailure = [&](const std::wstring&, const std::wstring&,
                                      archive::TZFProcessFileFailureAction&) { ++failures; };
    reader.OpenArchive();
    reader.ExtractFiles();
    reader.CloseArchive();

    EXPECT_EQ(0, failures);
    EXPECT_EQ(100.0, last);
    for (const wchar_t* entry : outside::kKitEntries)
        EXPECT_TRUE(testsupport::Exists(server + entry)) << testsupport::ToUtf8(entry);
    std::string exe = testsupport::ReadBytes(server + outside::kServerExe);
    EXPECT_EQ("MZ", exe.substr(0, 2)) << "the old server program was replaced";
}

}  // namespace
