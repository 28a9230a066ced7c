// What the installer gives its own folders, whom it trusts as an owner, and
// entries opened in folders others can write. Wine stores no DACL, so the
// descriptor is checked as built, not by access; and it follows Unix links
// as if they were the files, with no reparse points to refuse, so the
// refusal of a link shows only on Windows.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include "platform/Errors.h"
#include "platform/Security.h"
#include "platform/UniqueHandle.h"
#include "WinTestSupport.h"

using namespace platform;
using testsupport::Exists;
using testsupport::TempDir;
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
