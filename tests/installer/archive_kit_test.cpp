// The archive reader as the installer uses it under Wine: the stand-in kit
// extracted into a server folder.
#include <gtest/gtest.h>
#include <windows.h>

#include "WinTestSupport.h"
#include "archive/ArchiveReader.h"
#include "outside/Outside.h"

namespace {

using testsupport::TempDir;

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
