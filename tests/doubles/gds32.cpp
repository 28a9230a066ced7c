// Stand-in client library "gds32.dll" for Quenlet.exe: the classic isc_*
// entry points, __stdcall with undecorated names (linked with --kill-at).
// Every call is logged, one line each with its parameter blocks in hex, to
// "gds32.log" beside the DLL; answers come from "gds32.script" beside it:
//
//   fail <TAB> function <TAB> n|* <TAB> message[|message...]
//       the n-th call (or every call) returns an error status whose
//       messages isc_interprete gives one after another
//   row <TAB> sql <TAB> value[ <TAB> value...]
//       the row a select returns, one value per execution (the last one
//       repeats); <NULL> is a NULL, <NONE> no row
//   dialect <TAB> n|none      reply to isc_info_db_sql_dialect (default 3)
//   lines <TAB> n             service output lines before the end (default 3)
//   reply <TAB> n <TAB> hex   raw reply of the n-th service query
//
// Built twice: gds32.dll, and gds32-noquery/gds32.dll without
// isc_service_query.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using ISC_STATUS = intptr_t;
// The client library's handles: pointers in 32-bit builds, 32-bit integers
// in 64-bit ones.
#ifdef _WIN64
using Handle = unsigned int;
#else
using Handle = void*;
#endif

namespace {

struct XSQLVAR {
    short sqltype, sqlscale, sqlsubtype, sqllen;
    char* sqldata;
    short* sqlind;
    short sqlname_length;
    char sqlname[32];
    short relname_length;
    char relname[32];
    short ownname_length;
    char ownname[32];
    short aliasname_length;
    char aliasname[32];
};
struct XSQLDA {
    short version;
    char sqldaid[8];
    int sqldabc;
    short sqln, sqld;
    XSQLVAR sqlvar[1];
};
struct TransactionBlock {
    Handle* database;
    int tpbLength;
    const char* tpb;
};

const short SQL_VARYING = 448, SQL_TEXT = 452, SQL_LONG = 496, SQL_INT64 = 580;

struct Failure {
    std::string function;
    int call = 0;  // 0: every call
    std::vector<std::string> messages;
};

struct State {
    bool loaded = false;
    std::string folder;
    std::vector<Failure> failures;
    std::map<std::string, std::vector<std::string>> rows;
    std::map<std::string, int> executions;
    std::string dialect = "3";
    int lines = 3;
    std::map<int, std::string> replies;
    std::map<std::string, int> calls;
    std::vector<std::string> messages;  // of the error statuses handed out
    std::map<uintptr_t, std::string> statements;
    uintptr_t nextHandle = 0x100;
    int queries = 0;
};

State& S() {
    static State state;
    return state;
}

std::vector<std::string> Split(const std::string& text, char by) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(by, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

std::string ReadWhole(const std::string& path) {
    std::string text;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n) text.append(buffer, n);
    CloseHandle(h);
    return text;
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size();) {
        if (hex[i] == ' ') {
            ++i;
            continue;
        }
        bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
        i += 2;
    }
    return bytes;
}

std::string Hex(const char* data, size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        if (i) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

void Load(HMODULE self) {
    State& s = S();
    if (s.loaded) return;
    s.loaded = true;
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    s.folder = std::string(path, n);
    s.folder.resize(s.folder.find_last_of('\\') + 1);
    for (std::string line : Split(ReadWhole(s.folder + "gds32.script"), '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> f = Split(line, '\t');
        if (f[0] == "fail" && f.size() == 4)
            s.failures.push_back({f[1], f[2] == "*" ? 0 : std::stoi(f[2]), Split(f[3], '|')});
        else if (f[0] == "row" && f.size() >= 3)
            s.rows[f[1]].assign(f.begin() + 2, f.end());
        else if (f[0] == "dialect" && f.size() == 2)
            s.dialect = f[1];
        else if (f[0] == "lines" && f.size() == 2)
            s.lines = std::stoi(f[1]);
        else if (f[0] == "reply" && f.size() == 3)
            s.replies[std::stoi(f[1])] = FromHex(f[2]);
    }
}

void Log(const std::string& line) {
    std::string text = line + "\r\n";
    HANDLE h = CreateFileA((S().folder + "gds32.log").c_str(), FILE_APPEND_DATA, 0, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(h);
}

// Counts the call; when the script says so, fills an error status.
bool Fails(const char* function, ISC_STATUS* status) {
    State& s = S();
    int call = ++s.calls[function];
    status[0] = 1;
    status[1] = 0;
    status[2] = 0;
    for (const Failure& f : s.failures) {
        if (f.function != function || (f.call && f.call != call)) continue;
        int k = 0;
        for (const std::string& m : f.messages) {
            s.messages.push_back(m);
            status[k++] = 1;
            status[k++] = ISC_STATUS(1000 + s.messages.size() - 1);
        }
        status[k] = 0;
        return true;
    }
    return false;
}

Handle NewHandle() {
    return (Handle)(S().nextHandle++);
}

uintptr_t Key(Handle handle) {
    return (uintptr_t)handle;
}

HMODULE g_self;

}  // namespace

#define EXPORT extern "C" __declspec(dllexport)

EXPORT ISC_STATUS __stdcall isc_attach_database(ISC_STATUS* status, short length, const char* name,
                                                Handle* db, short dpbLength, const char* dpb) {
    Log("isc_attach_database name=" + std::string(name, length ? size_t(length) : strlen(name)) +
        " length=" + std::to_string(length) + " dpb=" + Hex(dpb, dpbLength));
    if (Fails("isc_attach_database", status)) return status[1];
    *db = NewHandle();
    return 0;
}

EXPORT ISC_STATUS __stdcall isc_detach_database(ISC_STATUS* status, Handle* db) {
    Log("isc_detach_database");
    if (Fails("isc_detach_database", status)) return status[1];
    *db = Handle{};
    return 0;
}

EXPORT ISC_STATUS __stdcall isc_database_info(ISC_STATUS* status, Handle*, short itemsLength,
                                              const char* items, short size, char* reply) {
    Log("isc_database_info items=" + Hex(items, itemsLength) + " size=" + std::to_string(size));
    if (Fails("isc_database_info", status)) return status[1];
    if (S().dialect == "none") {
        reply[0] = 1;
    } else {
        const char answer[] = {62, 1, 0, char(std::stoi(S().dialect)), 1};
        memcpy(reply, answer, sizeof answer);
    }
    return 0;
}

EXPORT int __stdcall isc_vax_integer(const char* p, short length) {
    int value = 0;
    for (short i = 0; i < length; ++i) value += static_cast<unsigned char>(p[i]) << (8 * i);
    return value;
}

EXPORT long long __stdcall isc_portable_integer(const unsigned char* p, short length) {
    long long value = 0;
    for (short i = 0; i < length; ++i) value += static_cast<long long>(p[i]) << (8 * i);
    return value;
}

EXPORT ISC_STATUS __stdcall isc_start_multiple(ISC_STATUS* status, Handle* tr, short count,
                                               void* blocks) {
    auto* b = static_cast<TransactionBlock*>(blocks);
    Log("isc_start_multiple count=" + std::to_string(count) + " db=" +
        (b->database && *b->database ? "attached" : "none") + " tpb=" + Hex(b->tpb, b->tpbLength));
    if (Fails("isc_start_multiple", status)) return status[1];
    *tr = NewHandle();
    return 0;
}

EXPORT ISC_STATUS __stdcall isc_commit_transaction(ISC_STATUS* status, Handle* tr) {
    Log("isc_commit_transaction");
    if (Fails("isc_commit_transaction", status)) return status[1];
    *tr = Handle{};
    return 0;
}

EXPORT ISC_STATUS __stdcall isc_rollback_transaction(ISC_STATUS* status, Handle* tr) {
    Log("isc_rollback_transaction");
    if (Fails("isc_rollback_transaction", status)) return status[1];
    *tr = Handle{};
    return 0;
}

EXPORT ISC_STATUS __stdcall isc_dsql_alloc_statement2(ISC_STATUS* status, Handle*, Handle* stmt) {
    Log("isc_dsql_alloc_statement2");
    if (Fails("isc_dsql_alloc_statement2", status)) return status[1];
    *stmt = NewHandle();
    return 0;
}

EXPORT ISC_STATUS __stdcall isc_dsql_prepare(ISC_STATUS* status, Handle*, Handle* stmt,
                                             unsigned short length, const char* sql,
                                             unsigned short dialect, XSQLDA* sqlda) {
    std::string text(sql, length ? length : strlen(sql));
    Log("isc_dsql_prepare length=" + std::to_string(length) + " dialect=" +
        std::to_string(dialect) + " sqlda=" + (sqlda ? "given" : "none") + " sql=" + text);
    if (Fails("isc_dsql_prepare", status)) return status[1];
    S().statements[Key(*stmt)] = text;
    return 0;
}

EXPORT ISC_STATUS __stdcall isc_dsql_sql_info(ISC_STATUS* status, Handle* stmt, short itemsLength,
                                              const char* items, short, char* reply) {
    Log("isc_dsql_sql_info items=" + Hex(items, itemsLength));
    if (Fails("isc_dsql_sql_info", status)) return status[1];
    const std::string& sql = S().statements[Key(*stmt)];
    char type = sql.rfind("SELECT", 0) == 0 ? 1 : 9;
    const char answer[] = {21, 4, 0, type, 0, 0, 0, 1};
    memcpy(reply, answer, sizeof answer);
    return 0;
}

EXPORT ISC_STATUS __stdcall isc_dsql_describe(ISC_STATUS* status, Handle* stmt, unsigned short,
                                              XSQLDA* sqlda) {
    Log("isc_dsql_describe sqln=" + std::to_string(sqlda->sqln));
    if (Fails("isc_dsql_describe", status)) return status[1];
    const std::string& sql = S().statements[Key(*stmt)];
    sqlda->sqld = 1;
    XSQLVAR& v = sqlda->sqlvar[0];
    bool count = sql.rfind("SELECT COUNT", 0) == 0;
    v.sqltype = short((count ? SQL_INT64 : SQL_VARYING) + 1);
    v.sqllen = count ? 8 : 20;
    v.sqlscale = 0;
    return 0;
}

EXPORT ISC_STATUS __stdcall isc_dsql_execute(ISC_STATUS* status, Handle*, Handle* stmt,
                                             unsigned short, const XSQLDA* in) {
    Log(std::string("isc_dsql_execute in=") + (in ? "given" : "none"));
    (void)stmt;
    if (Fails("isc_dsql_execute", status)) return status[1];
    return 0;
}

EXPORT ISC_STATUS __stdcall isc_dsql_execute2(ISC_STATUS* status, Handle*, Handle*, unsigned short,
                                              const XSQLDA* in, const XSQLDA* out) {
    Log(std::string("isc_dsql_execute2 in=") + (in ? "given" : "none") +
        " out=" + (out ? "given" : "none"));
    if (Fails("isc_dsql_execute2", status)) return status[1];
    return 0;
}

EXPORT ISC_STATUS __stdcall isc_dsql_fetch(ISC_STATUS* status, Handle* stmt, unsigned short,
                                           const XSQLDA* sqlda) {
    Log("isc_dsql_fetch");
    if (Fails("isc_dsql_fetch", status)) return status[1];
    State& s = S();
    const std::string& sql = s.statements[Key(*stmt)];
    auto row = s.rows.find(sql);
    std::string value = sql.rfind("SELECT COUNT", 0) == 0 ? "0" : "<NONE>";
    if (row != s.rows.end()) {
        size_t k = size_t(s.executions[sql]++);
        value = row->second[std::min(k, row->second.size() - 1)];
    }
    if (value == "<NONE>") return 100;
    const XSQLVAR& v = sqlda->sqlvar[0];
    *v.sqlind = value == "<NULL>" ? -1 : 0;
    if (value == "<NULL>") return 0;
    switch (v.sqltype & ~1) {
        case SQL_VARYING: {
            unsigned short n =
                static_cast<unsigned short>(std::min<size_t>(value.size(), v.sqllen));
            memcpy(v.sqldata, &n, 2);
            memcpy(v.sqldata + 2, value.data(), n);
            break;
        }
        case SQL_TEXT:
            memset(v.sqldata, ' ', v.sqllen);
            memcpy(v.sqldata, value.data(), std::min<size_t>(value.size(), v.sqllen));
            break;
        case SQL_INT64: {
            long long n = std::stoll(value);
            memcpy(v.sqldata, &n, 8);
            break;
        }
        case SQL_LONG: {
            int n = std::stoi(value);
            memcpy(v.sqldata, &n, 4);
            break;
        }
    }
    return 0;
}

EXPORT ISC_STATUS __stdcall isc_dsql_free_statement(ISC_STATUS* status, Handle* stmt,
                                                    unsigned short option) {
    Log("isc_dsql_free_statement option=" + std::to_string(option));
    if (Fails("isc_dsql_free_statement", status)) return status[1];
    *stmt = Handle{};
    return 0;
}

EXPORT int __stdcall isc_interprete(char* buffer, ISC_STATUS** vector) {
    ISC_STATUS* v = *vector;
    if (v[0] != 1 || v[1] < 1000) return 0;
    const std::string& m = S().messages.at(size_t(v[1] - 1000));
    memcpy(buffer, m.c_str(), m.size() + 1);
    *vector = v + 2;
    return int(m.size());
}

EXPORT ISC_STATUS __stdcall isc_service_attach(ISC_STATUS* status, unsigned short length,
                                               const char* name, Handle* svc,
                                               unsigned short spbLength, const char* spb) {
    Log("isc_service_attach name=" + std::string(name, length) +
        " length=" + std::to_string(length) + " spb=" + Hex(spb, spbLength));
    if (Fails("isc_service_attach", status)) return status[1];
    *svc = NewHandle();
    return 0;
}

EXPORT ISC_STATUS __stdcall isc_service_start(ISC_STATUS* status, Handle*, int* reserved,
                                              unsigned short length, const char* spb) {
    Log(std::string("isc_service_start reserved=") + (reserved ? "given" : "none") +
        " spb=" + Hex(spb, length));
    if (Fails("isc_service_start", status)) return status[1];
    return 0;
}

#ifndef GDS32_WITHOUT_SERVICE_QUERY
EXPORT ISC_STATUS __stdcall isc_service_query(ISC_STATUS* status, Handle*, int* reserved,
                                              unsigned short sendLength, const char*,
                                              unsigned short requestLength, const char* request,
                                              unsigned short size, char* reply) {
    Log(std::string("isc_service_query reserved=") + (reserved ? "given" : "none") +
        " send=" + std::to_string(sendLength) + " request=" + Hex(request, requestLength) +
        " size=" + std::to_string(size));
    if (Fails("isc_service_query", status)) return status[1];
    State& s = S();
    int n = ++s.queries;
    auto raw = s.replies.find(n);
    std::string answer;
    if (raw != s.replies.end()) {
        answer = raw->second;
    } else {
        std::string line = n <= s.lines ? "gbak: riadok " + std::to_string(n) : "";
        answer = std::string{62, char(line.size() & 0xFF), char(line.size() >> 8)} + line + '\1';
    }
    memcpy(reply, answer.data(), std::min<size_t>(answer.size(), size));
    return 0;
}
#endif

EXPORT ISC_STATUS __stdcall isc_service_detach(ISC_STATUS* status, Handle* svc) {
    Log("isc_service_detach");
    if (Fails("isc_service_detach", status)) return status[1];
    *svc = Handle{};
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = self;
        Load(self);
    }
    return TRUE;
}
