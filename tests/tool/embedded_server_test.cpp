// The Linux quenlet against Firebird's embedded server. Every test makes its
// own database in a scratch folder, owned by a user other than SYSDBA (only
// such a database may hold a role SYSDBA), and runs a copy of the tool in
// that folder, where it writes its result file. ctest starts this program
// through tests/tool/fb-embedded, which sets up a private embedded server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <ibase.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

const char kOwner[] = "UCTOVNIK";
const char kPassword[] = "heslo";
const std::string kOk = "0\r\n\r\n";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string ServerMessage(const ISC_STATUS* status) {
    std::string text;
    char buffer[1024];
    const ISC_STATUS* p = status;
    while (fb_interpret(buffer, sizeof buffer, &p) > 0) text += std::string(buffer) + "\n";
    return text;
}

// A database made and inspected through the client library in this process.
// Everything is detached again before the tool runs, so the embedded server
// of this process does not hold the file.
class Database {
public:
    Database(const fs::path& path, int dialect = 3) : path_(path), dialect_(dialect) {}

    void Create() {
        std::string sql = "CREATE DATABASE '" + path_.string() + "' USER '" + kOwner +
                          "' PASSWORD '" + kPassword + "' PAGE_SIZE 4096";
        isc_db_handle db = 0;
        isc_tr_handle tr = 0;
        ISC_STATUS_ARRAY status;
        isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), dialect_, nullptr);
        ASSERT_FALSE(status[0] == 1 && status[1]) << ServerMessage(status);
        isc_detach_database(status, &db);
    }

    // Runs statements, each in its own committed transaction.
    void Run(const std::vector<std::string>& statements) {
        Attach();
        for (const std::string& sql : statements) {
            isc_tr_handle tr = Start();
            ISC_STATUS_ARRAY status;
            isc_dsql_execute_immediate(status, &db_, &tr, 0, sql.c_str(), dialect_, nullptr);
            EXPECT_FALSE(status[0] == 1 && status[1]) << sql << ": " << ServerMessage(status);
            isc_commit_transaction(status, &tr);
        }
        Detach();
    }

    // First column of the first row of a select, as an integer.
    long long Number(const std::string& sql) {
        Attach();
        isc_tr_handle tr = Start();
        ISC_STATUS_ARRAY status;
        isc_stmt_handle stmt = 0;
        isc_dsql_allocate_statement(status, &db_, &stmt);
        isc_dsql_prepare(status, &tr, &stmt, 0, sql.c_str(), dialect_, nullptr);
        EXPECT_FALSE(status[0] == 1 && status[1]) << sql << ": " << ServerMessage(status);
        XSQLDA sqlda{};
        sqlda.version = SQLDA_VERSION1;
        sqlda.sqln = 1;
        isc_dsql_describe(status, &stmt, 1, &sqlda);
        long long value = -1;
        short indicator = 0;
        sqlda.sqlvar[0].sqltype = SQL_INT64 + 1;
        sqlda.sqlvar[0].sqlscale = 0;
        sqlda.sqlvar[0].sqllen = sizeof value;
        sqlda.sqlvar[0].sqldata = reinterpret_cast<char*>(&value);
        sqlda.sqlvar[0].sqlind = &indicator;
        isc_dsql_execute(status, &tr, &stmt, 1, nullptr);
        isc_dsql_fetch(status, &stmt, 1, &sqlda);
        isc_dsql_free_statement(status, &stmt, DSQL_drop);
        isc_commit_transaction(status, &tr);
        Detach();
        return value;
    }

    long long SysdbaRoles() {
        return Number("SELECT COUNT(*) FROM RDB$ROLES WHERE RDB$ROLE_NAME = 'SYSDBA'");
    }

private:
    void Attach() {
        std::string dpb = {isc_dpb_version1, isc_dpb_user_name, char(sizeof kOwner - 1)};
        dpb += kOwner;
        ISC_STATUS_ARRAY status;
        isc_attach_database(status, 0, path_.c_str(), &db_, short(dpb.size()), dpb.data());
        ASSERT_FALSE(status[0] == 1 && status[1]) << ServerMessage(status);
    }
    void Detach() {
        ISC_STATUS_ARRAY status;
        isc_detach_database(status, &db_);
    }
    isc_tr_handle Start() {
        isc_tr_handle tr = 0;
        ISC_STATUS_ARRAY status;
        isc_start_transaction(status, &tr, 1, &db_, 0, nullptr);
        return tr;
    }

    fs::path path_;
    int dialect_;
    isc_db_handle db_ = 0;
};

struct RunResult {
    int exitCode = -1;
    bool resultFileExists = false;
    std::string resultFile;
    std::string standardError;
};

class QuenletTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/quenlet-test.XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(name));
        dir_ = name;
        tool_ = dir_ / "quenlet";
        fs::copy_file(QUENLET_BINARY, tool_);
        db_ = dir_ / "uctovnictvo.fdb";
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A database of the accounting application of this version, with or
    // without the role SYSDBA.
    Database MakeDatabase(const std::vector<std::string>& setup, int dialect = 3) {
        Database db(db_, dialect);
        db.Create();
        db.Run(setup);
        return db;
    }
    Database MakeVersion(const std::string& version, bool role = true) {
        std::vector<std::string> setup = {
            "CREATE TABLE status (verzia VARCHAR(20))",
            "INSERT INTO status VALUES ('" + version + "')",
            "CREATE TABLE doklady (id INTEGER PRIMARY KEY, nazov VARCHAR(40))",
            "INSERT INTO doklady VALUES (1, 'Faktúra 2026/001')"};
        if (role) setup.push_back("CREATE ROLE sysdba");
        return MakeDatabase(setup);
    }

    RunResult Run(const std::vector<std::string>& args, const fs::path& tool = {}) {
        fs::path program = tool.empty() ? tool_ : tool;
        fs::path result = fs::path(program).replace_extension(".res");
        fs::path err = dir_ / "stderr.txt";
        std::vector<std::string> items = {program.string()};
        items.insert(items.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& s : items) argv.push_back(s.data());
        argv.push_back(nullptr);
        // A UTF-8 locale: the result file's texts in known bytes.
        std::vector<std::string> env = {"LC_ALL=C.UTF-8"};
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("LC_ALL=", 0) != 0) env.push_back(*e);
        std::vector<char*> envp;
        for (std::string& s : env) envp.push_back(s.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        pid_t pid = 0;
        RunResult r;
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        posix_spawn_file_actions_destroy(&actions);
        r.resultFileExists = fs::exists(result);
        r.resultFile = ReadFile(result);
        r.standardError = ReadFile(err);
        return r;
    }
    RunResult Backup() { return Run({db_.string(), backup_.string(), kOwner, kPassword}); }

    // Restores the backup with gbak; the restored database's path.
    fs::path Restore() {
        fs::path restored = dir_ / "restored.fdb";
        std::string command = "gbak -c -user " + std::string(kOwner) + " '" + backup_.string() +
                              "' '" + restored.string() + "' >'" + (dir_ / "gbak.txt").string() +
                              "' 2>&1";
        EXPECT_EQ(0, std::system(command.c_str())) << ReadFile(dir_ / "gbak.txt");
        return restored;
    }

    fs::path dir_, tool_, db_;
    fs::path backup_ = fs::path("/nonexistent");
};

std::string VersionMessage(const std::string& version) {
    return "-1\r\nDatabáza je z verzie programu " + version +
           ".\r\nAutomatickú konverziu databázy je možné spustiť až od verzie 3.310.\r\n"
           "Kontaktujte tech. podporu Velmora.\r\n";
}

TEST_F(QuenletTest, BackupRestoresWithGbakWithoutTheRoleWhichTheDatabaseKeeps) {
    Database db = MakeVersion("3.310");
    backup_ = dir_ / "zaloha.fbk";
    RunResult r = Backup();
    EXPECT_EQ(0, r.exitCode) << r.standardError;
    EXPECT_EQ(kOk, r.resultFile);  // exactly "0", CR, LF, CR, LF
    EXPECT_EQ("", r.standardError);

    Database restored(Restore());
    EXPECT_EQ(1, restored.Number("SELECT COUNT(*) FROM doklady WHERE nazov = 'Faktúra 2026/001'"));
    EXPECT_EQ(0, restored.SysdbaRoles());
    EXPECT_EQ(1, db.SysdbaRoles());
}

// The chain as on Windows: nothing attaches to a database that is not
// checked before the role step, so no idle attachment holds it open.
TEST_F(QuenletTest, UncheckedDatabaseIsBackedUpWithoutTheIdleAttachment) {
    db_ = dir_ / "_kopia.fdb";
    Database db = MakeVersion("3.310");
    backup_ = dir_ / "zaloha.fbk";
    EXPECT_EQ(kOk, Backup().resultFile);
    EXPECT_EQ(0, Database(Restore()).SysdbaRoles());
    EXPECT_EQ(1, db.SysdbaRoles());
}

TEST_F(QuenletTest, DatabaseWithoutTheRoleHasItAfterASuccessfulRun) {
    Database db = MakeVersion("3.4", false);
    backup_ = dir_ / "zaloha.fbk";
    EXPECT_EQ(kOk, Backup().resultFile);
    EXPECT_EQ(1, db.SysdbaRoles());
    EXPECT_TRUE(fs::file_size(backup_) > 0);
}

TEST_F(QuenletTest, DatabaseWithoutStatusTablePassesTheCheck) {
    Database db = MakeDatabase({"CREATE TABLE ine (a INTEGER)", "CREATE ROLE sysdba"});
    backup_ = dir_ / "zaloha.fbk";
    EXPECT_EQ(kOk, Backup().resultFile);
    EXPECT_TRUE(fs::exists(backup_));
}

struct VersionCase {
    const char* name;
    std::vector<std::string> rows;  // INSERT values for status.verzia
    bool passes;
    std::string quoted;  // the version as the message quotes it
};

class VersionTest : public QuenletTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionTest, DecidesByTheVersionAsOneDecimalNumber) {
    const VersionCase& c = GetParam();
    std::vector<std::string> setup = {"CREATE TABLE status (verzia VARCHAR(20))",
                                      "CREATE ROLE sysdba"};
    for (const std::string& v : c.rows) setup.push_back("INSERT INTO status VALUES (" + v + ")");
    Database db = MakeDatabase(setup);
    backup_ = dir_ / "zaloha.fbk";
    RunResult r = Backup();
    EXPECT_EQ(0, r.exitCode);
    if (c.passes) {
        EXPECT_EQ(kOk, r.resultFile);
        EXPECT_TRUE(fs::exists(backup_));
    } else {
        EXPECT_EQ(VersionMessage(c.quoted), r.resultFile);
        // Refused before anything else: no backup, the role untouched.
        EXPECT_FALSE(fs::exists(backup_));
        EXPECT_EQ(1, db.SysdbaRoles());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Versions, VersionTest,
    ::testing::Values(VersionCase{"v3_310", {"'3.310'"}, true, ""},
                      VersionCase{"v3_4", {"'3.4'"}, true, ""},
                      VersionCase{"v10_0", {"'10.0'"}, true, ""},
                      VersionCase{"second_dot_cut", {"'3.310.5'"}, true, ""},
                      VersionCase{"v3_309", {"'3.309'"}, false, "3.309"},
                      VersionCase{"v3_1000_reads_as_3_1", {"'3.1000'"}, false, "3.1000"},
                      VersionCase{"second_dot_quoted_uncut", {"'3.2.1'"}, false, "3.2.1"},
                      VersionCase{"empty_table", {}, false, ""},
                      VersionCase{"null_version", {"NULL"}, false, ""},
                      VersionCase{"letters", {"'verzia'"}, false, "verzia"}),
    [](const ::testing::TestParamInfo<VersionCase>& info) { return info.param.name; });

// The role was dropped before the backup started; the failed run gives it back.
TEST_F(QuenletTest, FailedBackupLeavesTheRoleInPlace) {
    Database db = MakeVersion("3.310");
    backup_ = dir_ / "chyba" / "zaloha.fbk";  // a folder that does not exist
    RunResult r = Backup();
    EXPECT_EQ(0, r.exitCode);
    EXPECT_EQ(0u, r.resultFile.rfind("-1\r\ncannot open backup file " + backup_.string(), 0))
        << r.resultFile;
    EXPECT_EQ("\r\n", r.resultFile.substr(r.resultFile.size() - 2));
    EXPECT_EQ(1, db.SysdbaRoles());
}

TEST_F(QuenletTest, DialectOneDatabase) {
    Database db = MakeDatabase({"CREATE TABLE status (verzia VARCHAR(20))",
                                "INSERT INTO status VALUES ('3.310')", "CREATE ROLE sysdba"},
                               1);
    backup_ = dir_ / "zaloha.fbk";
    EXPECT_EQ(kOk, Backup().resultFile);
    Database restored(Restore(), 1);
    EXPECT_EQ(0, restored.SysdbaRoles());
    EXPECT_EQ(1, db.SysdbaRoles());
}

TEST_F(QuenletTest, UncaughtErrorReportsOnStandardErrorAndLeavesNoResultFile) {
    std::ofstream(dir_ / "quenlet.res") << "stale";
    backup_ = dir_ / "zaloha.fbk";
    RunResult r = Backup();  // no database there
    EXPECT_EQ(1, r.exitCode);
    EXPECT_FALSE(r.resultFileExists);
    EXPECT_EQ(0u, r.standardError.rfind("Application Error\nEngineError: ", 0)) << r.standardError;
    EXPECT_NE(std::string::npos, r.standardError.find(db_.string())) << r.standardError;
}

TEST_F(QuenletTest, ResultFileFollowsTheToolsName) {
    MakeVersion("3.310");
    backup_ = dir_ / "zaloha.fbk";
    fs::path renamed = dir_ / "zaloha.v2.bin";
    fs::copy_file(tool_, renamed);
    RunResult r = Run({db_.string(), backup_.string(), kOwner, kPassword}, renamed);
    EXPECT_EQ(kOk, ReadFile(dir_ / "zaloha.v2.res"));
    EXPECT_FALSE(fs::exists(dir_ / "quenlet.res"));
}

// Firebird 3's embedded server may crash while the process exits; a run that
// wrote its result file must still end with exit code 0.
TEST_F(QuenletTest, ManyRunsAllEndWithExitCodeZero) {
    MakeVersion("3.310");
    backup_ = dir_ / "zaloha.fbk";
    for (int i = 0; i < 25; ++i) {
        RunResult r = Backup();
        ASSERT_EQ(0, r.exitCode) << "run " << i << ": " << r.standardError;
        ASSERT_EQ(kOk, r.resultFile) << "run " << i;
    }
}

}  // namespace
