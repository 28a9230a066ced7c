// firebird.conf and data.ini on real files under Wine: ANSI bytes in and out,
// the profile functions, and a conf file that must not be damaged.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "WinTestSupport.h"
#include "environment/ConfigFiles.h"
#include "outside/Outside.h"
#include "platform/Errors.h"

namespace {

using environment::PortSource;
using environment::ReadConfPort;
using environment::ReadFBPort;
using environment::ReadFBType;
using environment::SetConfValue;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

const std::string kKitConf =
    "#######\r\n#\r\n#UdfAccess = None\r\n#\r\n#DataTypeCompatibility =\r\n#\r\n"
    "#RemoteServicePort = 3050\r\n#\r\n#ServerMode = Super\r\n";

class ConfigFilesTest : public ::testing::Test {
protected:
    std::wstring Conf(const std::string& bytes) {
        WriteBytes(conf_, bytes);
        return conf_;
    }
    std::wstring Ini(const std::string& bytes) {
        WriteBytes(ini_, bytes);
        return ini_;
    }
    // Files in the folder besides the two under test: temporaries left behind.
    int OtherFiles() {
        int n = 0;
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((dir_.Path() + L"*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return 0;
        do {
            std::wstring name = fd.cFileName;
            if (name != L"." && name != L".." && name != L"firebird.conf" && name != L"data.ini")
                ++n;
        } while (FindNextFileW(h, &fd));
        FindClose(h);
        return n;
    }

    TempDir dir_{L"conf"};
    std::wstring conf_ = dir_ / L"firebird.conf";
    std::wstring ini_ = dir_ / L"data.ini";
};

TEST_F(ConfigFilesTest, PortIsReadFromTheConfAndMissingFilesGiveNothing) {
    EXPECT_EQ(L"", ReadConfPort(conf_));
    EXPECT_EQ(L"", ReadConfPort(dir_ / L"missing\\firebird.conf"));
    EXPECT_EQ(L"3050", ReadConfPort(Conf("#\r\nRemoteServicePort = 3050\r\n")));
    EXPECT_EQ(L"", ReadConfPort(Conf(kKitConf)));
    EXPECT_EQ(L"", ReadConfPort(Conf("#\nRemoteServicePort = 3050\n")));
}

TEST_F(ConfigFilesTest, AZeroByteEndsTheText) {
    EXPECT_EQ(L"", ReadConfPort(Conf(std::string("#\r\n\0\r\nRemoteServicePort = 3050\r\n", 31))));
    EXPECT_EQ(L"3050",
              ReadConfPort(Conf(std::string("#\r\nRemoteServicePort = 3050\r\n\0tail", 34))));
}

TEST_F(ConfigFilesTest, FBPortComparesDataIniWithTheConf) {
    Ini("[DATA]\r\nPORT=3050\r\nFBTYPE=SC\r\n");
    Conf("#\r\nRemoteServicePort = 3050\r\n");
    EXPECT_EQ(L"3050", ReadFBPort(conf_, ini_, PortSource::kAgreed));
    EXPECT_EQ(L"3050", ReadFBPort(conf_, ini_, PortSource::kServer));
    Conf(kKitConf);  // no port line
    EXPECT_EQ(L"", ReadFBPort(conf_, ini_, PortSource::kAgreed));
    EXPECT_EQ(L"", ReadFBPort(conf_, ini_, PortSource::kServer));
    Ini("[DATA]\r\nFBTYPE=SS\r\n");
    EXPECT_EQ(L"", ReadFBPort(conf_, ini_, PortSource::kAgreed));
    Conf("#\r\nRemoteServicePort = 50064\r\n");
    EXPECT_EQ(L"", ReadFBPort(conf_, ini_, PortSource::kAgreed)) << "data.ini names no port";
    EXPECT_EQ(L"50064", ReadFBPort(conf_, dir_ / L"none.ini", PortSource::kServer));
}

TEST_F(ConfigFilesTest, FBTypeComesFromSectionData) {
    EXPECT_EQ(L"", ReadFBType(ini_));
    EXPECT_EQ(L"SC", ReadFBType(Ini("[OTHER]\r\nFBTYPE=CS\r\n[DATA]\r\nPORT=1\r\nFBTYPE=SC\r\n")));
    EXPECT_EQ(L"", ReadFBType(Ini("[OTHER]\r\nFBTYPE=CS\r\n")));
}

TEST_F(ConfigFilesTest, SettingThePortTurnsTheCommentIntoThePortLine) {
    Conf(kKitConf);
    SetConfValue(conf_, outside::kConfPortKey, L"50064");
    EXPECT_EQ(L"50064", ReadConfPort(conf_));
    SetConfValue(conf_, outside::kConfModeKey, L"SuperClassic");
    EXPECT_EQ(
        "#######\r\n#\r\n#UdfAccess = None\r\n#\r\n#DataTypeCompatibility =\r\n#\r\n"
        "RemoteServicePort = 50064\r\n#\r\nServerMode = SuperClassic\r\n",
        ReadBytes(conf_));
    EXPECT_EQ(0, OtherFiles());
}

TEST_F(ConfigFilesTest, TextIsWrittenInTheAnsiCodePage) {
    // "ť" is 0x9D in code page 1250, the ANSI code page of a Slovak system.
    Conf("#UdfAccess = None\n");
    SetConfValue(conf_, outside::kConfUdfKey,
                 L"Restrict UDF;C:\\spusti\u0165\\bin\\system\\udf\\64");
    EXPECT_EQ("#UdfAccess = Restrict UDF;C:\\spusti\x9d\\bin\\system\\udf\\64\r\n",
              ReadBytes(conf_));
    Conf("#\r\nRemoteServicePort = 3050 # \x9d\r\n");
    EXPECT_EQ(L"3050#\u0165", ReadConfPort(conf_));
}

TEST_F(ConfigFilesTest, MissingConfIsNotCreated) {
    SetConfValue(conf_, outside::kConfPortKey, L"50064");
    EXPECT_FALSE(testsupport::Exists(conf_));
    EXPECT_EQ(0, OtherFiles());
}

TEST_F(ConfigFilesTest, ReadOnlyConfRaisesAndStaysAsItWas) {
    Conf(kKitConf);
    SetFileAttributesW(conf_.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_THROW(SetConfValue(conf_, outside::kConfPortKey, L"50064"), platform::Error);
    EXPECT_EQ(kKitConf, ReadBytes(conf_));
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_READONLY),  // Wine adds archive to every file
              GetFileAttributesW(conf_.c_str()) & ~DWORD(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(0, OtherFiles());
}

TEST_F(ConfigFilesTest, LockedConfRaisesAndStaysAsItWas) {
    Conf(kKitConf);
    {
        HANDLE lock =
            CreateFileW(conf_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, lock);
        EXPECT_THROW(SetConfValue(conf_, outside::kConfPortKey, L"50064"), platform::SystemError);
        EXPECT_THROW(ReadConfPort(conf_), platform::SystemError);
        CloseHandle(lock);
    }
    {  // readable by others, but not to be replaced while open
        HANDLE lock = CreateFileW(conf_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, lock);
        EXPECT_THROW(SetConfValue(conf_, outside::kConfPortKey, L"50064"), platform::SystemError);
        CloseHandle(lock);
    }
    EXPECT_EQ(kKitConf, ReadBytes(conf_));
    EXPECT_EQ(0, OtherFiles());
}

TEST_F(ConfigFilesTest, AttributesOfTheConfAreKept) {
    Conf(kKitConf);
    SetFileAttributesW(conf_.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    SetConfValue(conf_, outside::kConfModeKey, L"Classic");
    EXPECT_EQ(DWORD(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE),
              GetFileAttributesW(conf_.c_str()));
}

// The old file's bytes end up in a file every user reads: never through a
// further name of some other file.
TEST_F(ConfigFilesTest, SettingsAreCarriedFromTheOldFileItselfOnly) {
    const std::wstring old = dir_ / L"firebird.conf.old", linked = dir_ / L"linked.conf";
    ASSERT_TRUE(WriteBytes(old, "#\nDefaultDbCachePages = 8192 # \x9d\nServerMode = Classic\n"));
    Conf(kKitConf + "#DefaultDbCachePages = 2048\r\n");
    environment::CarryConfSettings(conf_, old);
    EXPECT_EQ(kKitConf + "DefaultDbCachePages = 8192 # \x9d\r\n", ReadBytes(conf_));

    Conf(kKitConf);
    ASSERT_TRUE(CreateHardLinkW(linked.c_str(), old.c_str(), nullptr));
    EXPECT_THROW(environment::CarryConfSettings(conf_, linked), platform::Error);
    EXPECT_EQ(kKitConf, ReadBytes(conf_));
}

}  // namespace
