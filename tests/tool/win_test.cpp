// Quenlet.exe under Wine with the scripted stand-in gds32.dll in its own
// folder: the calls it makes and their parameter blocks, byte for byte, the
// result file, the exit code and the "Application Error" box.
#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "WinTestSupport.h"
#include "Hex.h"

using namespace testsupport;

namespace {

const std::wstring kDatabase = L"C:\\data\\uctovnictvo.fdb";
const std::string kCount = "SELECT COUNT(*) FROM RDB$ROLES WHERE RDB$ROLE_NAME='SYSDBA'";
// A database of version 3.310 that has the role before the run and not after
// the drop.
const std::string kUsualScript =
    "row\tSELECT verzia FROM status\t3.310\nrow\t" + kCount + "\t1\t0\n";

std::wstring BinDir() {
    std::wstring out = L"Z:";
    for (const char* p = QUENLET_BIN_DIR; *p; ++p) out += *p == '/' ? L'\\' : wchar_t(*p);
    return out + L"\\";
}

std::string Ansi(const std::wstring& text) {
    int n =
        WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Tag, one length byte, the text.
std::string Item8(int tag, const std::string& text) {
    return std::string{char(tag), char(text.size())} + text;
}
std::string Item16(int tag, const std::string& text) {
    return std::string{char(tag), char(text.size() & 0xFF), char(text.size() >> 8)} + text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text, n);
    LocalFree(text);
    while (!message.empty() &&
           (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' '))
        message.pop_back();
    return Ansi(message);
}

struct BoxRun {
    long exitCode = -1;
    std::wstring boxText;  // empty when no box was shown
};

class QuenletWinTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CopyInto(BinDir() + L"Quenlet.exe", tool_));
        Library(L"gds32");
    }

    void Library(const std::wstring& variant) {
        ASSERT_TRUE(CopyInto(DoublesDir() + variant + L"\\gds32.dll", dir_ / L"gds32.dll"));
    }
    void Script(const std::string& text) { ASSERT_TRUE(WriteBytes(dir_ / L"gds32.script", text)); }

    std::wstring CommandLine(const std::wstring& args, const std::wstring& tool) {
        return L"\"" + tool + L"\" " + args;
    }
    // In the window station and desktop `desktop` names, the test's own when
    // empty. A run that has not ended within a minute is ended.
    long Run(const std::wstring& args, const std::wstring& tool = {}, std::wstring desktop = {}) {
        std::wstring program = tool.empty() ? tool_ : tool;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        if (!desktop.empty()) si.lpDesktop = desktop.data();
        PROCESS_INFORMATION pi{};
        std::wstring line = CommandLine(args, program);
        if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &si, &pi))
            return -1;
        if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0)
            TerminateProcess(pi.hProcess, 99);
        DWORD code = DWORD(-1);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return long(code);
    }
    long Backup(const std::wstring& backupFile = L"C:\\zalohy\\uctovnictvo.fbk") {
        return Run(L"\"" + kDatabase + L"\" \"" + backupFile + L"\" UCTOVNIK heslo");
    }

    // Runs the tool and answers its "Application Error" box, noting its text.
    BoxRun RunAnsweringBox(const std::wstring& args) {
        BoxRun r;
        ChildProcess child(CommandLine(args, tool_));
        if (!child.Started()) return r;
        for (int i = 0; i < 300 && WaitForSingleObject(child.Handle(), 0) == WAIT_TIMEOUT; ++i) {
            HWND box = FindWindowW(L"#32770", L"Application Error");
            if (box) {
                wchar_t text[4096] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 4096);
                r.boxText = text;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                break;
            }
            Sleep(50);
        }
        child.Wait(20000);
        DWORD code = DWORD(-1);
        GetExitCodeProcess(child.Handle(), &code);
        r.exitCode = long(code);
        return r;
    }

    std::string Result() { return ReadBytes(dir_ / L"Quenlet.res"); }
    bool ResultExists() { return Exists(dir_ / L"Quenlet.res"); }
    std::vector<std::string> Log() { return Lines(ReadBytes(dir_ / L"gds32.log")); }
    int Count(const std::string& prefix) {
        int n = 0;
        for (const std::string& line : Log()) n += line.rfind(prefix, 0) == 0;
        return n;
    }

    TempDir dir_{L"quenlet"};
    std::wstring tool_ = dir_ / L"Quenlet.exe";
};

std::vector<std::string> Connection(const std::string& database, const std::string& dpb,
                                    const std::vector<std::string>& statements) {
    std::vector<std::string> calls = {"isc_attach_database name=" + database + " length=" +
                                          std::to_string(database.size()) + " dpb=" + Hex(dpb),
                                      "isc_database_info items=3e 01 size=64",
                                      "isc_start_multiple count=1 db=attached tpb=03 0f 11 07"};
    for (const std::string& s : statements) calls.push_back(s);
    calls.push_back("isc_commit_transaction");
    calls.push_back("isc_detach_database");
    return calls;
}

std::vector<std::string> Select(const std::string& sql, int dialect) {
    return {
        "isc_dsql_alloc_statement2",
        "isc_dsql_prepare length=0 dialect=" + std::to_string(dialect) + " sqlda=none sql=" + sql,
        "isc_dsql_sql_info items=15",
        "isc_dsql_describe sqln=1",
        "isc_dsql_execute2 in=none out=none",
        "isc_dsql_fetch",
        "isc_dsql_free_statement option=2"};
}

std::vector<std::string> Execute(const std::string& sql, int dialect) {
    return {
        "isc_dsql_alloc_statement2",
        "isc_dsql_prepare length=0 dialect=" + std::to_string(dialect) + " sqlda=none sql=" + sql,
        "isc_dsql_sql_info items=15", "isc_dsql_execute in=none",
        "isc_dsql_free_statement option=2"};
}

template <typename... Parts>
std::vector<std::string> Join(const Parts&... parts) {
    std::vector<std::string> all;
    (all.insert(all.end(), parts.begin(), parts.end()), ...);
    return all;
}

TEST(QuenletExe, VersionResource) {
    std::wstring exe = BinDir() + L"Quenlet.exe";
    DWORD ignored = 0, size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    for (const wchar_t* name : {L"FileDescription", L"ProductName"}) {
        wchar_t* value = nullptr;
        std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(
            VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length));
        EXPECT_EQ(std::wstring(L"Quenlet"), value) << name;
    }
}

TEST(QuenletExe, ManifestAsksForNoElevation) {
    // Without an execution level a 32-bit program's files are virtualised.
    HMODULE exe = LoadLibraryExW((BinDir() + L"Quenlet.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, exe);
    HRSRC found = FindResourceW(exe, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    ASSERT_NE(nullptr, found);
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(exe, found))),
                         SizeofResource(exe, found));
    FreeLibrary(exe);
    EXPECT_NE(std::string::npos,
              manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"))
        << manifest;
}

TEST_F(QuenletWinTest, SuccessfulRunCallsAndBlocksByteForByte) {
    ASSERT_EQ(1250u, GetACP());  // a Slovak Windows
    Script(kUsualScript);
    ASSERT_TRUE(WriteBytes(dir_ / L"Quenlet.res", "stale"));
    EXPECT_EQ(0, Backup());
    EXPECT_EQ("0\r\n\r\n", Result());

    const std::string db = Ansi(kDatabase), file = "C:\\zalohy\\uctovnictvo.fbk";
    const std::string dpb = "\x01" + Item8(28, "UCTOVNIK") + Item8(29, "heslo");
    const std::string attach = std::string("\x02\x02") + Item8(28, "UCTOVNIK") + Item8(29, "heslo");
    const std::string start =
        "\x01" + Item16(106, db) + std::string("\x6c\x02\x00\x00\x00\x6b", 6) + Item16(5, file);
    const std::string query = "isc_service_query reserved=none send=0 request=3e size=32000";
    std::vector<std::string> expected = Join(
        Connection(db, dpb, Select("SELECT verzia FROM status", 3)),
        Connection(db, dpb, Join(Select(kCount, 3), Execute("DROP   ROLE sysdba", 3))),
        std::vector<std::string>{"isc_service_attach name=service_mgr length=11 spb=" + Hex(attach),
                                 "isc_service_start reserved=none spb=" + Hex(start), query, query,
                                 query, query, "isc_service_detach"},
        Connection(db, dpb, Join(Select(kCount, 3), Execute("CREATE ROLE sysdba", 3))));
    EXPECT_EQ(expected, Log());
}

TEST_F(QuenletWinTest, DialectOfTheDatabaseIsUsedWhenLower) {
    Script(kUsualScript + "dialect\t1\n");
    EXPECT_EQ(0, Backup());
    EXPECT_EQ("0\r\n\r\n", Result());
    EXPECT_EQ(5, Count("isc_dsql_prepare length=0 dialect=1 "));
    EXPECT_EQ(0, Count("isc_dsql_prepare length=0 dialect=3 "));
}

TEST_F(QuenletWinTest, OldVersionStopsAfterTheCheckWithTheSlovakMessage) {
    Script("row\tSELECT verzia FROM status\t3.2.1\n");
    EXPECT_EQ(0, Backup());
    EXPECT_EQ(Ansi(L"-1\r\nDatabáza je z verzie programu 3.2.1.\r\n"
                   L"Automatickú konverziu databázy je možné spustiť až od verzie 3.310.\r\n"
                   L"Kontaktujte tech. podporu Velmora.\r\n"),
              Result());
    EXPECT_EQ(1, Count("isc_attach_database"));
    EXPECT_EQ(0, Count("isc_service_attach"));
}

TEST_F(QuenletWinTest, BackupFileOfTheFormFileEqualsSize) {
    Script(kUsualScript);
    EXPECT_EQ(0, Backup(L" zaloha 1.fbk =2048"));
    EXPECT_EQ("0\r\n\r\n", Result());
    // The blanks stay in the file name; the size follows as a 4-byte value.
    std::string start = "\x01" + Item16(106, Ansi(kDatabase)) +
                        std::string("\x6c\x02\x00\x00\x00\x6b", 6) + Item16(5, " zaloha 1.fbk ") +
                        std::string("\x07\x00\x08\x00\x00", 5);
    EXPECT_EQ(1, Count("isc_service_start reserved=none spb=" + Hex(start)));
}

TEST_F(QuenletWinTest, SizeThatIsNoIntegerFailsAfterAttachingAndDetaches) {
    Script(kUsualScript);
    EXPECT_EQ(0, Backup(L"zaloha.fbk=2k"));
    EXPECT_EQ("-1\r\n'2k' is not a valid integer value for Integer type\r\n", Result());
    EXPECT_EQ(1, Count("isc_service_attach"));
    EXPECT_EQ(0, Count("isc_service_start"));
    EXPECT_EQ(1, Count("isc_service_detach"));
}

TEST_F(QuenletWinTest, ServerMessagesJoinedByCrLfAndTheHandleDropped) {
    // The server's messages come in the ANSI code page.
    Script(kUsualScript +
           Ansi(L"fail\tisc_service_start\t1\tunsuccessful metadata update|ROLE SYSDBA is in "
                L"use|Chyba č. 3\n"));
    EXPECT_EQ(0, Backup());
    EXPECT_EQ(
        Ansi(L"-1\r\nunsuccessful metadata update\r\nROLE SYSDBA is in use\r\nChyba č. 3\r\n"),
        Result());
    EXPECT_EQ(0, Count("isc_service_detach"));
}

TEST_F(QuenletWinTest, FailedBackupStartGivesBackADroppedRoleAndCreatesNoneWhereNoneWas) {
    const std::string failedStart = "fail\tisc_service_start\t1\tcannot open backup file\n";
    const std::string create = "isc_dsql_prepare length=0 dialect=3 sqlda=none sql=CREATE ROLE";
    Script(kUsualScript + failedStart);
    EXPECT_EQ(0, Backup());
    EXPECT_EQ("-1\r\ncannot open backup file\r\n", Result());
    EXPECT_EQ(1, Count(create));

    // When creating it fails too, that message follows on the next line.
    Script(kUsualScript + failedStart + "fail\tisc_dsql_execute\t2\tlock conflict\n");
    EXPECT_EQ(0, Backup());
    EXPECT_EQ("-1\r\ncannot open backup file\r\nlock conflict\r\n", Result());

    DeleteFileW((dir_ / L"gds32.log").c_str());
    Script("row\tSELECT verzia FROM status\t3.310\nrow\t" + kCount + "\t0\n" + failedStart);
    EXPECT_EQ(0, Backup());
    EXPECT_EQ(0, Count(create));
}

TEST_F(QuenletWinTest, ErrorWithoutMessageIsStillAFailure) {
    Script(kUsualScript + "fail\tisc_service_start\t1\t\n");
    EXPECT_EQ(0, Backup());
    EXPECT_EQ("-1\r\nUnknown engine error (code 1000)\r\n", Result());
}

TEST_F(QuenletWinTest, MalformedServiceReplyStillDetaches) {
    for (const char* reply : {"3f 00 00 01",            // not isc_info_svc_line
                              "3e 02 00 41 42 02",      // no isc_info_end after the text
                              "3e ff ff 41 42 43 01"})  // a length beyond the buffer
    {
        SCOPED_TRACE(reply);
        DeleteFileW((dir_ / L"gds32.log").c_str());
        Script(kUsualScript + "reply\t2\t" + reply + "\n");
        EXPECT_EQ(0, Backup());
        EXPECT_EQ("-1\r\nUnexpected Output buffer value\r\n", Result());
        EXPECT_EQ(2, Count("isc_service_query"));
        EXPECT_EQ(1, Count("isc_service_detach"));
    }
}

TEST_F(QuenletWinTest, ThousandsOfOutputLinesReadOneByOneAndDropped) {
    Script(kUsualScript + "lines\t3000\n");
    EXPECT_EQ(0, Backup());
    EXPECT_EQ("0\r\n\r\n", Result());
    EXPECT_EQ(3001, Count("isc_service_query"));
}

TEST_F(QuenletWinTest, ServiceReplyIsCheckedOnItsOwnBytesUpToTheBuffersEnd) {
    // The longest line that fits the 32000-byte buffer: 3 + 31996 + 1 bytes.
    auto reply = [](size_t length, char fill, bool end) {
        std::string hex = "3e" + Hex(std::string{char(length & 0xFF), char(length >> 8)});
        for (size_t i = 0; i < length; ++i) hex += fill == 'a' ? "61" : "62";
        return end ? hex + "01" : hex;
    };
    // The second reply lacks its end mark where the first one had it.
    Script(kUsualScript + "reply\t1\t" + reply(31996, 'a', true) + "\nreply\t2\t" +
           reply(31996, 'b', false) + "\n");
    EXPECT_EQ(0, Backup());
    EXPECT_EQ("-1\r\nUnexpected Output buffer value\r\n", Result());
    EXPECT_EQ(2, Count("isc_service_query"));

    // One byte more leaves no room for the end mark.
    DeleteFileW((dir_ / L"gds32.log").c_str());
    Script(kUsualScript + "reply\t1\t" + reply(31997, 'a', true) + "\n");
    EXPECT_EQ(0, Backup());
    EXPECT_EQ("-1\r\nUnexpected Output buffer value\r\n", Result());
    EXPECT_EQ(1, Count("isc_service_query"));
}

TEST_F(QuenletWinTest, FailedRoleCreationAfterTheBackupIsReported) {
    Script(kUsualScript + "fail\tisc_dsql_execute\t2\tlock conflict on no wait transaction\n");
    EXPECT_EQ(0, Backup());
    EXPECT_EQ("-1\r\nlock conflict on no wait transaction\r\n", Result());
    EXPECT_EQ(1, Count("isc_service_detach"));
    // The connection is still ended: 3 commits and detaches.
    EXPECT_EQ(3, Count("isc_commit_transaction"));
    EXPECT_EQ(3, Count("isc_detach_database"));
}

TEST_F(QuenletWinTest, FailedCommitIsAnErrorOnlyAfterARoleChange) {
    struct Case {
        int commit;  // 1: the version check, 2: the drop, 3: the creation
        const char* result;
        int serviceAttaches;
    };
    for (Case c : {Case{1, "0\r\n\r\n", 1},
                   // The role would go into the backup.
                   Case{2, "-1\r\ndeadlock\r\n", 0},
                   // The database would lose its role for good.
                   Case{3, "-1\r\ndeadlock\r\n", 1}}) {
        SCOPED_TRACE(c.commit);
        DeleteFileW((dir_ / L"gds32.log").c_str());
        Script(kUsualScript + "fail\tisc_commit_transaction\t" + std::to_string(c.commit) +
               "\tdeadlock\n");
        EXPECT_EQ(0, Backup());
        EXPECT_EQ(c.result, Result());
        EXPECT_EQ(1, Count("isc_rollback_transaction"));
        EXPECT_EQ(c.serviceAttaches, Count("isc_service_attach"));
    }
}

TEST_F(QuenletWinTest, NameOutsideTheCodePageIsRefusedBeforeAnyCall) {
    // A best fit would turn "ñ" into another, valid name.
    Script(kUsualScript);
    EXPECT_EQ(0, Run(L"C:\\data\\A\u00f1o.fdb zaloha.fbk UCTOVNIK heslo"));
    EXPECT_EQ(0u, Result().rfind("-1\r\nDatabase name contains characters that the ANSI code page "
                                 "1250 cannot represent: C:\\data\\A",
                                 0))
        << Result();
    EXPECT_EQ(0, Run(L"C:\\data\\_a.fdb C:\\zalohy\\A\u00f1o.fbk UCTOVNIK heslo"));
    EXPECT_EQ(0u, Result().rfind("-1\r\nBackup file name contains characters", 0)) << Result();
    EXPECT_FALSE(Exists(dir_ / L"gds32.log"));
}

TEST_F(QuenletWinTest, UnderscoreNameSkipsTheCheckAndTheRoleStepReports) {
    Script("fail\tisc_attach_database\t*\tYour user name and password are not defined.\n");
    EXPECT_EQ(0, Run(L"C:\\data\\_kopia.fdb zaloha.fbk UCTOVNIK zle"));
    EXPECT_EQ("-1\r\nYour user name and password are not defined.\r\n", Result());
    EXPECT_EQ(1, Count("isc_attach_database name=C:\\data\\_kopia.fdb"));
}

TEST_F(QuenletWinTest, CommandLineSplitting) {
    Script("");
    // The empty pair is skipped: the user name becomes the backup file, the
    // password the user name, and the password is empty.
    EXPECT_EQ(0, Run(L"\"C:\\moje data\\_db.fdb\" \"\" UCTOVNIK heslo"));
    EXPECT_EQ(2, Count("isc_attach_database name=C:\\moje data\\_db.fdb length=20 dpb=" +
                       Hex("\x01" + Item8(28, "heslo") + Item8(29, ""))));
    EXPECT_EQ(1, Count("isc_service_start reserved=none spb=" +
                       Hex("\x01" + Item16(106, "C:\\moje data\\_db.fdb") +
                           std::string("\x6c\x02\x00\x00\x00\x6b", 6) + Item16(5, "UCTOVNIK"))));
}

TEST_F(QuenletWinTest, TooLongUserNameIsRefusedBeforeAnyAttachment) {
    Script("");
    EXPECT_EQ(0, Run(L"C:\\data\\_kopia.fdb zaloha.fbk " + std::wstring(256, L'u') + L" heslo"));
    EXPECT_EQ("-1\r\nUser name is too long: 256 bytes, at most 255 are allowed\r\n", Result());
    EXPECT_EQ(0, Count("isc_attach_database"));
}

TEST_F(QuenletWinTest, ResultFileFollowsTheToolsFileName) {
    Script(kUsualScript);
    std::wstring renamed = dir_ / L"Zaloha.v2.bin", bare = dir_ / L"zalohovac";
    ASSERT_TRUE(CopyInto(tool_, renamed));
    ASSERT_TRUE(CopyInto(tool_, bare));
    EXPECT_EQ(0, Run(L"C:\\data\\_a.fdb b.fbk UCTOVNIK heslo", renamed));
    EXPECT_EQ(0, Run(L"C:\\data\\_a.fdb b.fbk UCTOVNIK heslo", bare));
    EXPECT_EQ("0\r\n\r\n", ReadBytes(dir_ / L"Zaloha.v2.res"));
    EXPECT_EQ("0\r\n\r\n", ReadBytes(dir_ / L"zalohovac.res"));
    EXPECT_FALSE(ResultExists());
}

TEST_F(QuenletWinTest, UnloadableLibraryInTheRoleStepIsReportedWithTheSystemsReason) {
    const std::string text =
        "-1\r\nInterBase library gds32.dll not found in the path. Please install InterBase "
        "to use this functionality\r\n";
    // A file that is no library of this kind reads differently from a missing one.
    ASSERT_TRUE(WriteBytes(dir_ / L"gds32.dll", "MZ, but no library"));
    EXPECT_EQ(0, Run(L"C:\\data\\_kopia.fdb zaloha.fbk UCTOVNIK heslo"));
    std::string reason = SystemMessage(ERROR_BAD_EXE_FORMAT);
    if (reason.find("%1") != std::string::npos) reason.replace(reason.find("%1"), 2, "gds32.dll");
    EXPECT_EQ(text + reason + "\r\n", Result());

    ASSERT_TRUE(DeleteFileW((dir_ / L"gds32.dll").c_str()));
    EXPECT_EQ(0, Run(L"C:\\data\\_kopia.fdb zaloha.fbk UCTOVNIK heslo"));
    EXPECT_EQ(text + SystemMessage(ERROR_MOD_NOT_FOUND) + "\r\n", Result());
}

TEST_F(QuenletWinTest, MissingEntryPointIsRefusedWithTheSystemsError) {
    Library(L"gds32-noquery");
    EXPECT_EQ(0, Run(L"C:\\data\\_kopia.fdb zaloha.fbk UCTOVNIK heslo"));
    EXPECT_EQ("-1\r\n" + SystemMessage(ERROR_PROC_NOT_FOUND) + "\r\n", Result());
    EXPECT_FALSE(Exists(dir_ / L"gds32.log"));
}

TEST_F(QuenletWinTest, UncaughtErrorsShowTheBoxExitOneAndLeaveNoResultFile) {
    // The version check's attachment is not guarded: a missing library.
    ASSERT_TRUE(DeleteFileW((dir_ / L"gds32.dll").c_str()));
    ASSERT_TRUE(WriteBytes(dir_ / L"Quenlet.res", "stale"));
    BoxRun r = RunAnsweringBox(L"C:\\data\\db.fdb zaloha.fbk UCTOVNIK heslo");
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::wstring::npos, r.boxText.find(L"InterBase library gds32.dll not found"))
        << ToUtf8(r.boxText);
    EXPECT_FALSE(ResultExists());

    // A failed detach from the services manager, after a complete backup.
    Library(L"gds32");
    Script(kUsualScript + "fail\tisc_service_detach\t1\tconnection lost to database\n");
    r = RunAnsweringBox(L"C:\\data\\db.fdb zaloha.fbk UCTOVNIK heslo");
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NE(std::wstring::npos, r.boxText.find(L"connection lost to database"))
        << ToUtf8(r.boxText);
    EXPECT_FALSE(ResultExists());
    // The dropped role is given back before the tool ends.
    EXPECT_EQ(1, Count("isc_dsql_prepare length=0 dialect=3 sqlda=none sql=CREATE ROLE sysdba"));
}

TEST_F(QuenletWinTest, UncaughtErrorInAnUnseenWindowStationEndsAtOnceWithoutABox) {
    // Not visible, like the station of a task run with nobody logged on.
    HWINSTA station = CreateWindowStationW(L"quenlet-unseen", 0, WINSTA_ALL_ACCESS, nullptr);
    ASSERT_NE(nullptr, station);
    ASSERT_TRUE(DeleteFileW((dir_ / L"gds32.dll").c_str()));
    EXPECT_EQ(1,
              Run(L"C:\\data\\db.fdb zaloha.fbk UCTOVNIK heslo", {}, L"quenlet-unseen\\Default"));
    EXPECT_FALSE(ResultExists());
    CloseWindowStation(station);
}

}  // namespace
