// firebird.conf and data.ini on real files under Wine: ANSI bytes in and out,
// the profile functions, and a conf file that must not be damaged.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "WinTestSupport.h"
#include "archive/ArchiveFiles.h"
#include "environment/ConfigFiles.h"
#include "outside/Outside.h"
#include "platform/Errors.h"

namespace {

using environment::PortSource;
using environment::ReadConfPort;
using environment::ReadFBPort;
using environment::ReadFBType;
using environment::SetConfValue;
using environment::SharedChange;
using environment::WriteDataIni;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

const std::string kKitConf =
    "#######\r\n#\r\n#UdfAccess = None\r\n#\r\n#DataTypeCompatibility =\r\n#\r\n"
    "#RemoteServicePort = 3050\r\n#\r\n#ServerMode = Super\r\n";

const std::wstring kServer = L"C:\\spusti\u0165\\firebird.exe";

std::string Utf16(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) bytes += {char(c & 0xFF), char(c >> 8)};
    return bytes;
}

class ConfigFilesTest : public ::testing::Test {
protected:
    SharedChange WriteIni() { return WriteDataIni(ini_, environment::StandardPort(), kServer, L"SS"); }
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
    // The text as found, and the port it names (none for one that names none).
    const auto read = [&](const std::wstring& ini, PortSource source) {
        const environment::FoundPort found = ReadFBPort(conf_, ini, source);
        return found.text + L"|" + (found.port ? found.port->Text() : L"-");
    };
    Ini("[DATA]\r\nPORT=3050\r\nFBTYPE=SC\r\n");
    Conf("#\r\nRemoteServicePort = 3050\r\n");
    EXPECT_EQ(L"3050|3050", read(ini_, PortSource::kAgreed));
    EXPECT_EQ(L"3050|3050", read(ini_, PortSource::kServer));
    Conf(kKitConf);  // no port line
    EXPECT_EQ(L"|-", read(ini_, PortSource::kAgreed));
    EXPECT_EQ(L"|-", read(ini_, PortSource::kServer));
    Ini("[DATA]\r\nFBTYPE=SS\r\n");
    EXPECT_EQ(L"|-", read(ini_, PortSource::kAgreed));
    Conf("#\r\nRemoteServicePort = 50064\r\n");
    EXPECT_EQ(L"|-", read(ini_, PortSource::kAgreed)) << "data.ini names no port";
    EXPECT_EQ(L"50064|50064", read(dir_ / L"none.ini", PortSource::kServer));
    Conf("#\r\nRemoteServicePort = 99999\r\n");
    EXPECT_EQ(L"99999|-", read(ini_, PortSource::kServer)) << "no port: shown as found";
    Conf("#\r\nRemoteServicePort = 03050\r\n");
    EXPECT_EQ(L"03050|3050", read(ini_, PortSource::kServer));
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

// Files someone put under every name the temporary file may take are not
// opened: the change fails and nothing is touched.
TEST_F(ConfigFilesTest, TemporaryNamesAllTakenRaiseAndTouchNothing) {
    Conf(kKitConf);
    const std::wstring used = archive::files::TemporaryName(conf_);
    const size_t dash = used.rfind(L'-'), serial = std::stoul(used.substr(dash + 1));
    for (int i = 1; i <= archive::files::kTemporaryNames; ++i)
        ASSERT_TRUE(WriteBytes(used.substr(0, dash + 1) + std::to_wstring(serial + i), "planted"));
    EXPECT_THROW(SetConfValue(conf_, outside::kConfPortKey, L"50064"), platform::SystemError);
    EXPECT_EQ(kKitConf, ReadBytes(conf_));
    EXPECT_EQ("planted", ReadBytes(used.substr(0, dash + 1) + std::to_wstring(serial + 1)));
    EXPECT_EQ(archive::files::kTemporaryNames, OtherFiles());
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

// ---- data.ini ---------------------------------------------------------------------------

// What the application and its users keep in data.ini stays byte for byte;
// the keys come out as the profile functions read them.
TEST_F(ConfigFilesTest, DataIniGetsTheKeysAndKeepsEverythingElse) {
    EXPECT_EQ(SharedChange::kDone, WriteIni());
    const std::string added = "FBSERVER=C:\\spusti\x9d\\firebird.exe\r\nFBTYPE=SS\r\n";
    EXPECT_EQ("[DATA]\r\nPORT=3050\r\n" + added, ReadBytes(ini_));

    Ini("; pozn\x9d\r\n[Other]\r\nPORT = 1\r\n\r\n[data]\r\n port = 1 "
        "\r\nX=y\r\n\r\n[Tail]\r\nB=2");
    EXPECT_EQ(SharedChange::kDone, WriteIni());
    EXPECT_EQ("; pozn\x9d\r\n[Other]\r\nPORT = 1\r\n\r\n[data]\r\nport=3050\r\nX=y\r\n" + added +
                  "\r\n[Tail]\r\nB=2",
              ReadBytes(ini_));
    EXPECT_EQ(kServer, environment::ReadFBServer(ini_));

    Ini("[Other]\nA=1");
    EXPECT_EQ(SharedChange::kDone, WriteIni());
    EXPECT_EQ("[Other]\nA=1\r\n[DATA]\r\nPORT=3050\r\n" + added, ReadBytes(ini_));
}

TEST_F(ConfigFilesTest, DataIniKeepsItsUnicodeEncoding) {
    Ini(Utf16(L"[DATA]\r\nPORT=1\r\n"));
    EXPECT_EQ(SharedChange::kDone, WriteIni());
    EXPECT_EQ(Utf16(L"[DATA]\r\nPORT=3050\r\nFBSERVER=" + kServer + L"\r\nFBTYPE=SS\r\n"),
              ReadBytes(ini_));
    EXPECT_EQ(kServer, environment::ReadFBServer(ini_));

    Ini("\xEF\xBB\xBF[DATA]\r\n");
    EXPECT_EQ(SharedChange::kDone, WriteIni());
    EXPECT_EQ(
        "\xEF\xBB\xBF[DATA]\r\nPORT=3050\r\nFBSERVER=C:\\spusti\xC5\xA5\\firebird.exe\r\nFBTYPE="
        "SS\r\n",
        ReadBytes(ini_));
}

// Every user writes the folder: data.ini may become a further name of
// another file at any moment, also between the installer's look at it and
// its writing. The other file is never written.
TEST_F(ConfigFilesTest, DataIniSwappedForALinkMeanwhileIsNotWrittenThrough) {
    TempDir elsewhere(L"elsewhere");
    const std::wstring victim = elsewhere / L"victim.ini";
    ASSERT_TRUE(WriteBytes(victim, "[DATA]\r\nPORT=1\r\n"));
    std::atomic<bool> done{false};
    std::thread user([&] {
        while (!done) {
            DeleteFileW(ini_.c_str());
            CreateHardLinkW(ini_.c_str(), victim.c_str(), nullptr);
            DeleteFileW(ini_.c_str());
            HANDLE plain =
                CreateFileW(ini_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            if (plain != INVALID_HANDLE_VALUE) CloseHandle(plain);
        }
    });
    int written = 0, left = 0;
    // Until the writes met both a plain file and the link often enough.
    for (int i = 0; i < 5000 && (written < 20 || left < 20); ++i) {
        const SharedChange change = WriteIni();
        written += change == SharedChange::kDone;
        left += change == SharedChange::kLinkLeft;
    }
    done = true;
    user.join();
    EXPECT_EQ("[DATA]\r\nPORT=1\r\n", ReadBytes(victim));
    EXPECT_GT(written, 0);
    EXPECT_GT(left, 0);
}

}  // namespace
