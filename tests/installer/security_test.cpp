// What the installer gives its own folders, whom it trusts as an owner, and
// entries opened in folders others can write. Wine stores no DACL, so the
// descriptor is checked as built, not by access; and it follows Unix links
// as if they were the files, with no reparse points to refuse, so the
// refusal of a link shows only on Windows.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>
#include <sddl.h>

#include <iostream>
#include <optional>
#include <utility>
#include <vector>

#include "platform/Errors.h"
#include "platform/HeldPath.h"
#include "platform/Paths.h"
#include "platform/Security.h"
#include "platform/Trust.h"
#include "platform/UniqueHandle.h"
#include "WinTestSupport.h"

using namespace platform;
using testsupport::Exists;
using testsupport::MakeDirs;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::ToUtf8;
using testsupport::WriteBytes;

namespace {

UniqueLocalMemory Parse(const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                     &sd, nullptr));
    return UniqueLocalMemory(sd);
}

struct Sid {
    explicit Sid(const wchar_t* text) { ConvertStringSidToSidW(text, &sid); }
    ~Sid() { LocalFree(sid); }
    PSID sid = nullptr;
};

}  // namespace

// A set of file names keyed by FoldedName holds a name once exactly when
// Windows takes two spellings for the same name: every character folds to
// one that SameName finds the same ("İ" lowered would be "i", which is not).
TEST(FileNames, FoldedAsWindowsComparesThem) {
    for (wchar_t c = 0x20; c < 0xD800; ++c) {
        const std::wstring name(1, c);
        ASSERT_TRUE(SameName(name, FoldedName(name))) << "U+" << std::hex << int(c);
    }
    EXPECT_EQ(FoldedName(L"C:\\Servér\\Security4.fdb"), FoldedName(L"c:\\SERVÉR\\SECURITY4.FDB"));
    EXPECT_TRUE(StartsWithName(L"C:\\SERVÉR\\x", L"c:\\servér\\"));
    EXPECT_FALSE(SameName(L"strasse", L"straße"));
}

TEST(ProtectedSddl, AdministratorsOwnAndNothingIsInherited) {
    EXPECT_EQ(ProtectedSddl(Protection::kAdministratorsOnly),
              L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    EXPECT_EQ(ProtectedSddl(Protection::kUsersReadExecute),
              L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)");
    for (Protection p : {Protection::kAdministratorsOnly, Protection::kUsersReadExecute}) {
        UniqueLocalMemory sd = Parse(ProtectedSddl(p));
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ASSERT_TRUE(GetSecurityDescriptorControl(sd.get(), &control, &revision));
        EXPECT_TRUE(control & SE_DACL_PROTECTED);
        PACL dacl = nullptr;
        BOOL present = FALSE, defaulted = FALSE;
        ASSERT_TRUE(GetSecurityDescriptorDacl(sd.get(), &present, &dacl, &defaulted));
        ASSERT_TRUE(present && dacl);
        EXPECT_EQ(dacl->AceCount, p == Protection::kAdministratorsOnly ? 2 : 3);
        // Users never get more than read and run.
        for (WORD i = 0; i < dacl->AceCount; ++i) {
            ACCESS_ALLOWED_ACE* ace = nullptr;
            ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
            if (IsWellKnownSid(&ace->SidStart, WinBuiltinUsersSid)) {
                EXPECT_EQ(ace->Mask & (FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC |
                                       WRITE_OWNER), 0u);
            }
        }
    }
}

TEST(IsTrustedOwner, OnlyAccountsAStandardUserCannotBe) {
    for (const wchar_t* trusted :
         {L"BA", L"SY", L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"})
        EXPECT_TRUE(IsTrustedOwner(Sid(trusted).sid)) << trusted;
    for (const wchar_t* other : {L"BU", L"AU", L"WD", L"S-1-5-21-1-2-3-1001", L"S-1-5-80-1-2-3-4-5"})
        EXPECT_FALSE(IsTrustedOwner(Sid(other).sid)) << other;
    EXPECT_FALSE(IsTrustedOwner(nullptr));
}

TEST(HasTrustedOwner, TheInstallersOwnFilesAndNothingMissing) {
    TempDir dir(L"sec");
    ASSERT_TRUE(WriteBytes(dir / L"own.txt", "x"));
    EXPECT_TRUE(HasTrustedOwner(dir / L"own.txt"));
    EXPECT_TRUE(HasTrustedOwner(dir.Path()));
    EXPECT_FALSE(HasTrustedOwner(dir / L"missing.txt"));
}

TEST(CreateProtectedFolder, MakesTheFolderAndItsParents) {
    TempDir dir(L"sec");
    const std::wstring folder = dir / L"a\\b\\c\\";
    ASSERT_TRUE(CreateProtectedFolder(folder, Protection::kAdministratorsOnly));
    EXPECT_TRUE(Exists(folder));
    // Again on the existing folder: given the security, not an error.
    EXPECT_TRUE(CreateProtectedFolder(folder, Protection::kUsersReadExecute));
}

TEST(DeleteEntry, AFileGoesEvenReadOnlyAndAMissingOneCountsAsGone) {
    TempDir dir(L"sec");
    ASSERT_TRUE(WriteBytes(dir / L"ro.txt", "x"));
    SetFileAttributesW((dir / L"ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeleteEntry(dir / L"ro.txt"));
    EXPECT_FALSE(Exists(dir / L"ro.txt"));
    EXPECT_TRUE(DeleteEntry(dir / L"never.txt"));
}

TEST(OthersMayChange, OnlyWhatNoStandardUserCouldWrite) {
    // Closed: the installer's own, users reading and running, a deny, a
    // placeholder for whoever creates an entry below.
    for (const wchar_t* closed : {
             L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)",
             L"O:SYD:(A;OICI;FA;;;SY)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;WD)",
             L"O:BAD:(D;;FA;;;BU)(A;;FA;;;BA)",
         })
        EXPECT_FALSE(OthersMayChange(std::wstring(closed))) << closed;
    // Open: a folder under the drive's root (Modify inherited), a right that
    // only what lies below inherits, delete alone, a user's own folder, and
    // text that is no descriptor.
    for (const wchar_t* open : {
             L"O:BAD:(A;OICIID;0x1301bf;;;AU)(A;OICIID;FA;;;BA)",
             L"O:BAD:(A;OICIIO;FW;;;BU)(A;;FA;;;BA)",
             L"O:BAD:(A;;FRFX;;;BU)(A;;SD;;;WD)",
             L"O:S-1-5-21-1-2-3-1001D:P(A;;FA;;;BA)",
             L"not a descriptor",
         })
        EXPECT_TRUE(OthersMayChange(std::wstring(open))) << open;
    // Present but null: everyone may do everything.
    SECURITY_DESCRIPTOR nullDacl;
    ASSERT_TRUE(InitializeSecurityDescriptor(&nullDacl, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorOwner(&nullDacl, Sid(L"BA").sid, FALSE));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&nullDacl, TRUE, nullptr, FALSE));
    EXPECT_TRUE(OthersMayChange(&nullDacl));
}

// Rights on a folder on the way that let others take it from under the
// server: what each DACL gives them on the folder itself.
TEST(RightsOthersHave, OnTheFolderItselfAndNotDeniedFirst) {
    const ACCESS_MASK asked = kTakingRights | FILE_DELETE_CHILD;
    const struct {
        const wchar_t* sddl;
        ACCESS_MASK expected;
    } cases[] = {
        // A folder made under the drive's root: Modify, which has no delete-child.
        {L"O:BAD:(A;OICIID;0x1301bf;;;AU)(A;OICIID;FA;;;BA)", DELETE},
        {L"O:BAD:(A;;FA;;;BU)", asked},
        {L"O:BAD:(A;;GA;;;S-1-5-21-1-2-3-1001)", asked},
        {L"O:BAD:(A;;WDWO;;;BU)(A;;FA;;;BA)", WRITE_DAC | WRITE_OWNER},
        // Everyone denied first; only what lies below inherits; trusted accounts.
        {L"O:BAD:(D;;SD;;;WD)(A;OICIID;0x1301bf;;;AU)", 0},
        {L"O:BAD:(A;OICIIO;FA;;;BU)(A;;FRFX;;;BU)", 0},
        {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)", 0},
    };
    for (const auto& c : cases) {
        UniqueLocalMemory sd = Parse(c.sddl);
        EXPECT_EQ(RightsOthersHave(sd.get(), asked), c.expected) << ToUtf8(c.sddl);
    }
}

TEST(DaclDenying, EveryoneDeniedFirstAndTheRestKept) {
    UniqueLocalMemory sd = Parse(L"O:BAD:(A;OICIID;0x1301bf;;;AU)(A;OICI;FA;;;BA)");
    const std::wstring dacl = DaclDenyingSddl(sd.get(), DELETE | WRITE_DAC | WRITE_OWNER);
    EXPECT_EQ(dacl.rfind(L"D:(D;;SDWDWO;;;WD)", 0), 0u) << ToUtf8(dacl);
    EXPECT_NE(dacl.find(L";;;AU)"), std::wstring::npos) << ToUtf8(dacl);
    EXPECT_NE(dacl.find(L";;;BA)"), std::wstring::npos) << ToUtf8(dacl);
    // Once denied, nothing is left to deny.
    UniqueLocalMemory denied = Parse(L"O:BA" + dacl);
    EXPECT_EQ(RightsOthersHave(denied.get(), DELETE | WRITE_DAC | WRITE_OWNER), 0u);
}

// What the server folder's entries get: whatever others may change the
// folder's protection, a database readable by others the administrators'
// alone; tighter rights stay.
TEST(NeededProtection, DatabasesPrivateAndTighterRightsKept) {
    const std::wstring ours = L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFX;;;BU)";
    const std::wstring adminsOnly = L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)";
    const std::wstring systemOnly = L"O:SYD:P(A;;FA;;;SY)";
    const std::wstring open = L"O:BAD:(A;;0x1301bf;;;AU)(A;;FA;;;BA)";
    const struct {
        bool database;
        std::wstring sddl;
        std::optional<Protection> expected;
    } cases[] = {
        {true, ours, Protection::kAdministratorsOnly},
        {true, open, Protection::kAdministratorsOnly},
        {true, L"O:BAD:(A;;FR;;;S-1-5-21-1-2-3-1001)(A;;FA;;;BA)", Protection::kAdministratorsOnly},
        {true, adminsOnly, std::nullopt},
        {true, systemOnly, std::nullopt},
        {false, ours, std::nullopt},
        {false, systemOnly, std::nullopt},
        {false, open, Protection::kUsersReadExecute},
    };
    for (const auto& c : cases) {
        UniqueLocalMemory sd = Parse(c.sddl);
        EXPECT_EQ(NeededProtection(c.database, sd.get()), c.expected) << ToUtf8(c.sddl);
        EXPECT_EQ(OthersMayRead(c.sddl), c.sddl == ours || c.sddl == open ||
                                             c.sddl.find(L"1001") != std::wstring::npos)
            << ToUtf8(c.sddl);
    }
}

// A further name changes nobody's rights to a file: judged by its DACL
// alone, a file others may only read counts as the administrators', with a
// second name in a folder of theirs or not.
TEST(FindUntrusted, JudgedByWhoMayWriteNotByNames) {
    TempDir dir(L"sec");
    const std::wstring folder = dir / L"server";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(folder + L"\\firebird.exe", "MZ"));
    EXPECT_FALSE(FindUntrusted(folder));
    EXPECT_FALSE(FindUntrusted(dir / L"missing"));
    ASSERT_TRUE(CreateDirectoryW((dir / L"users").c_str(), nullptr));
    ASSERT_TRUE(CreateHardLinkW((dir / L"users\\copy.exe").c_str(), (folder + L"\\firebird.exe").c_str(),
                                nullptr));
    EXPECT_FALSE(FindUntrusted(folder + L"\\"));
    // A file others may write is found, by its path in the folder.
    ASSERT_TRUE(WriteBytes(folder + L"\\plugin.dll", "MZ"));
    UniqueKernelHandle plugin(CreateFileW((folder + L"\\plugin.dll").c_str(), READ_CONTROL | WRITE_DAC,
                                          FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(plugin);
    Descriptor everyone(L"D:(A;;FA;;;WD)");
    ASSERT_EQ(SetSecurityInfo(plugin.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, everyone.Dacl(), nullptr),
              DWORD(ERROR_SUCCESS));
    plugin.reset();
    const Untrusted found = FindUntrusted(folder + L"\\");
    EXPECT_EQ(found.kind, Untrusted::kOpen);
    EXPECT_EQ(found.path, folder + L"\\plugin.dll");
}

// The run makes every missing folder on the way itself, each told first
// (the journal), each held from the moment it exists; a name someone else
// made in between stops the hold.
TEST(HeldPath, MissingFoldersMadeByTheRunAndNoneFound) {
    TempDir dir(L"sec");
    ASSERT_TRUE(CreateDirectoryW((dir / L"a").c_str(), nullptr));
    HeldPath path;
    // Without a maker the folders that exist are held, the rest left out.
    EXPECT_FALSE(path.Hold(dir / L"a\\b\\c\\"));
    EXPECT_FALSE(Exists(dir / L"a\\b"));
    std::vector<std::pair<std::wstring, bool>> told;
    const auto making = [&](const std::wstring& folder, bool last) {
        told.push_back({folder, last});
        EXPECT_FALSE(Exists(folder)) << "told before it is made";
    };
    EXPECT_FALSE(path.Hold(dir / L"a\\b\\c\\", making));
    const std::vector<std::pair<std::wstring, bool>> expected = {{dir / L"a\\b", false},
                                                                 {dir / L"a\\b\\c", true}};
    EXPECT_EQ(told, expected);
    EXPECT_TRUE(Exists(dir / L"a\\b\\c"));
    EXPECT_NE(path.Last(), nullptr);
    // Judged through the held handle while still empty, as a run does, then
    // filled: the undo finds what came since.
    EXPECT_FALSE(FindUntrusted(path.Last(), dir / L"a\\b\\c"));
    ASSERT_TRUE(WriteBytes(dir / L"a\\b\\c\\new.txt", "x"));
    // Undone deepest first, through the handles held.
    EXPECT_TRUE(path.RemoveHeld(dir / L"a\\b\\c", /*whole=*/true));
    EXPECT_TRUE(path.RemoveHeld(dir / L"a\\b", /*whole=*/false));
    path.Release();
    EXPECT_FALSE(Exists(dir / L"a\\b"));
    EXPECT_TRUE(Exists(dir / L"a"));

    // Somebody makes the folder between the look and the making.
    const HeldPath::Problem problem = path.Hold(dir / L"a\\x\\", [&](const std::wstring& f, bool) {
        ASSERT_TRUE(CreateDirectoryW(f.c_str(), nullptr));
    });
    EXPECT_EQ(problem.kind, HeldPath::Problem::kAppeared);
    EXPECT_EQ(problem.folder, dir / L"a\\x");
    EXPECT_EQ(path.Folder(), L"");

    // A file in the place of a folder on the way.
    ASSERT_TRUE(WriteBytes(dir / L"f", "x"));
    EXPECT_EQ(path.Hold(dir / L"f\\g", making).kind, HeldPath::Problem::kUnreadable);
}

// An open server folder is set aside whole through the handle that holds
// it, and a new one made in its place; a rollback puts the old one back.
TEST(HeldPath, TheHeldFolderSetAsideAndBack) {
    TempDir dir(L"sec");
    ASSERT_TRUE(MakeDirs(dir / L"server\\sub\\"));
    ASSERT_TRUE(WriteBytes(dir / L"server\\sub\\data.fdb", "data"));
    HeldPath path;
    ASSERT_FALSE(path.Hold(dir / L"server\\"));
    std::vector<std::wstring> made;
    ASSERT_FALSE(path.SetAsideLast(dir / L"server.~old",
                                   [&](const std::wstring& f, bool) { made.push_back(f); }));
    EXPECT_EQ(made, std::vector<std::wstring>{dir / L"server"});
    EXPECT_EQ("data", ReadBytes(dir / L"server.~old\\sub\\data.fdb"));
    EXPECT_TRUE(Exists(dir / L"server"));
    EXPECT_FALSE(Exists(dir / L"server\\sub"));
    EXPECT_FALSE(path.PutAsideBack()) << "the new folder is in the way";
    EXPECT_TRUE(path.RemoveHeld(dir / L"server", /*whole=*/true));
    EXPECT_TRUE(path.PutAsideBack());
    path.Release();
    EXPECT_EQ("data", ReadBytes(dir / L"server\\sub\\data.fdb"));
    EXPECT_FALSE(Exists(dir / L"server.~old"));
}
