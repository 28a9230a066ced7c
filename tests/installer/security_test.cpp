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

#include "platform/Errors.h"
#include "platform/Security.h"
#include "platform/Trust.h"
#include "platform/UniqueHandle.h"
#include "WinTestSupport.h"

using namespace platform;
using testsupport::Exists;
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

TEST(DaclDenyingDelete, EveryoneDeniedFirstAndTheRestKept) {
    UniqueLocalMemory sd = Parse(L"O:BAD:(A;OICIID;0x1301bf;;;AU)(A;OICI;FA;;;BA)");
    const std::wstring dacl = DaclDenyingDelete(sd.get());
    EXPECT_EQ(dacl.rfind(L"D:(D;;SD;;;WD)", 0), 0u) << ToUtf8(dacl);
    EXPECT_NE(dacl.find(L";;;AU)"), std::wstring::npos) << ToUtf8(dacl);
    EXPECT_NE(dacl.find(L";;;BA)"), std::wstring::npos) << ToUtf8(dacl);
}

TEST(FindUntrusted, AFileWithASecondNameAndNothingElse) {
    TempDir dir(L"sec");
    const std::wstring folder = dir / L"server";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(folder + L"\\firebird.exe", "MZ"));
    EXPECT_FALSE(FindUntrusted(folder));
    EXPECT_FALSE(FindUntrusted(dir / L"missing"));
    ASSERT_TRUE(WriteBytes(dir / L"victim.txt", "theirs"));
    ASSERT_TRUE(CreateHardLinkW((folder + L"\\plugin.dll").c_str(), (dir / L"victim.txt").c_str(),
                                nullptr));
    const Untrusted found = FindUntrusted(folder + L"\\");
    EXPECT_EQ(found.kind, Untrusted::kSecondName);
    EXPECT_EQ(found.path, folder + L"\\plugin.dll");
}

TEST(HeldPath, TheFoldersThatExistAndNothingElse) {
    // That no folder held can be renamed shows only on Windows: Wine does
    // not check sharing when a folder is renamed.
    TempDir dir(L"sec");
    ASSERT_TRUE(CreateDirectoryW((dir / L"a").c_str(), nullptr));
    HeldPath path;
    // The folders that exist are held; the missing rest is for its maker.
    EXPECT_FALSE(path.Hold(dir / L"a\\b\\c\\"));
    EXPECT_EQ(path.Folder(), dir / L"a\\b\\c\\");
    // A file in the place of a folder on the way.
    ASSERT_TRUE(WriteBytes(dir / L"f", "x"));
    const HeldPath::Problem problem = path.Hold(dir / L"f\\g");
    EXPECT_EQ(problem.kind, HeldPath::Problem::kUnreadable);
    EXPECT_EQ(problem.folder, dir / L"f");
    EXPECT_EQ(path.Folder(), L"");
}
