// The part of the Firebird client library's classic interface that the tool
// uses: types, constants and entry points, declared here so that the tool
// builds without the server's headers. A native test checks every item
// against the system's ibase.h.
#pragma once

#include <cstdint>

// On 32-bit Windows the client library exports its isc_* calls as __stdcall
// with undecorated names.
#if defined(_WIN32) && !defined(_WIN64)
#define QUENLET_CLIENT_CALL __stdcall
#else
#define QUENLET_CLIENT_CALL
#endif

namespace quenlet::client {

// Handles are pointers on 32-bit systems and 32-bit integers on 64-bit ones.
#if defined(_LP64) || defined(__LP64__) || defined(_WIN64)
using FB_API_HANDLE = unsigned int;
#else
using FB_API_HANDLE = void*;
#endif
using ISC_STATUS = intptr_t;
using ISC_LONG = int;
using ISC_SHORT = short;
using ISC_INT64 = long long;
using isc_db_handle = FB_API_HANDLE;
using isc_tr_handle = FB_API_HANDLE;
using isc_stmt_handle = FB_API_HANDLE;
using isc_svc_handle = FB_API_HANDLE;
using isc_resv_handle = ISC_LONG;

constexpr int ISC_STATUS_LENGTH = 20;

struct XSQLVAR {
    ISC_SHORT sqltype;
    ISC_SHORT sqlscale;
    ISC_SHORT sqlsubtype;
    ISC_SHORT sqllen;
    char* sqldata;
    ISC_SHORT* sqlind;
    ISC_SHORT sqlname_length;
    char sqlname[32];
    ISC_SHORT relname_length;
    char relname[32];
    ISC_SHORT ownname_length;
    char ownname[32];
    ISC_SHORT aliasname_length;
    char aliasname[32];
};

struct XSQLDA {
    ISC_SHORT version;
    char sqldaid[8];
    ISC_LONG sqldabc;
    ISC_SHORT sqln;
    ISC_SHORT sqld;
    XSQLVAR sqlvar[1];
};

// One database of isc_start_multiple's transaction block, as the client
// library reads it.
struct TransactionBlock {
    isc_db_handle* database;
    int tpbLength;
    const char* tpb;
};

// Database parameter block
constexpr unsigned char isc_dpb_version1 = 1;
constexpr unsigned char isc_dpb_user_name = 28;
constexpr unsigned char isc_dpb_password = 29;

// Transaction parameter block
constexpr unsigned char isc_tpb_version3 = 3;
constexpr unsigned char isc_tpb_read_committed = 15;
constexpr unsigned char isc_tpb_rec_version = 17;
constexpr unsigned char isc_tpb_nowait = 7;

// Information items
constexpr unsigned char isc_info_end = 1;
constexpr unsigned char isc_info_truncated = 2;
constexpr unsigned char isc_info_db_sql_dialect = 62;
constexpr unsigned char isc_info_sql_stmt_type = 21;
constexpr int isc_info_sql_stmt_select = 1;
constexpr int isc_info_sql_stmt_select_for_upd = 12;

// Statements
constexpr unsigned short SQLDA_VERSION1 = 1;
constexpr unsigned short SQL_DIALECT_V6 = 3;
constexpr unsigned short DSQL_drop = 2;
constexpr ISC_SHORT SQL_VARYING = 448;
constexpr ISC_SHORT SQL_TEXT = 452;
constexpr ISC_SHORT SQL_LONG = 496;
constexpr ISC_SHORT SQL_SHORT = 500;
constexpr ISC_SHORT SQL_INT64 = 580;

// Services
constexpr unsigned char isc_spb_current_version = 2;
constexpr unsigned char isc_spb_version = isc_spb_current_version;
constexpr unsigned char isc_spb_user_name = isc_dpb_user_name;
constexpr unsigned char isc_spb_password = isc_dpb_password;
constexpr unsigned char isc_action_svc_backup = 1;
constexpr unsigned char isc_spb_dbname = 106;
constexpr unsigned char isc_spb_verbose = 107;
constexpr unsigned char isc_spb_options = 108;
constexpr unsigned char isc_spb_bkp_file = 5;
constexpr unsigned char isc_spb_bkp_length = 7;
constexpr int isc_spb_bkp_ignore_limbo = 0x02;
constexpr unsigned char isc_info_svc_line = 62;

// The entry points the tool resolves: name, result, parameters.
#define QUENLET_CLIENT_ENTRY_POINTS(X)                                                             \
    X(isc_attach_database, ISC_STATUS,                                                             \
      (ISC_STATUS*, short, const char*, isc_db_handle*, short, const char*))                       \
    X(isc_detach_database, ISC_STATUS, (ISC_STATUS*, isc_db_handle*))                              \
    X(isc_database_info, ISC_STATUS,                                                               \
      (ISC_STATUS*, isc_db_handle*, short, const char*, short, char*))                             \
    X(isc_vax_integer, ISC_LONG, (const char*, short))                                             \
    X(isc_portable_integer, ISC_INT64, (const unsigned char*, short))                              \
    X(isc_start_multiple, ISC_STATUS, (ISC_STATUS*, isc_tr_handle*, short, void*))                 \
    X(isc_commit_transaction, ISC_STATUS, (ISC_STATUS*, isc_tr_handle*))                           \
    X(isc_rollback_transaction, ISC_STATUS, (ISC_STATUS*, isc_tr_handle*))                         \
    X(isc_dsql_alloc_statement2, ISC_STATUS, (ISC_STATUS*, isc_db_handle*, isc_stmt_handle*))      \
    X(isc_dsql_prepare, ISC_STATUS,                                                                \
      (ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, const char*, unsigned short, \
       XSQLDA*))                                                                                   \
    X(isc_dsql_sql_info, ISC_STATUS,                                                               \
      (ISC_STATUS*, isc_stmt_handle*, short, const char*, short, char*))                           \
    X(isc_dsql_describe, ISC_STATUS, (ISC_STATUS*, isc_stmt_handle*, unsigned short, XSQLDA*))     \
    X(isc_dsql_execute, ISC_STATUS,                                                                \
      (ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, const XSQLDA*))              \
    X(isc_dsql_execute2, ISC_STATUS,                                                               \
      (ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short, const XSQLDA*,               \
       const XSQLDA*))                                                                             \
    X(isc_dsql_fetch, ISC_STATUS, (ISC_STATUS*, isc_stmt_handle*, unsigned short, const XSQLDA*))  \
    X(isc_dsql_free_statement, ISC_STATUS, (ISC_STATUS*, isc_stmt_handle*, unsigned short))        \
    X(isc_interprete, ISC_LONG, (char*, ISC_STATUS**))                                             \
    X(isc_service_attach, ISC_STATUS,                                                              \
      (ISC_STATUS*, unsigned short, const char*, isc_svc_handle*, unsigned short, const char*))    \
    X(isc_service_start, ISC_STATUS,                                                               \
      (ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short, const char*))               \
    X(isc_service_query, ISC_STATUS,                                                               \
      (ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short, const char*,                \
       unsigned short, const char*, unsigned short, char*))                                        \
    X(isc_service_detach, ISC_STATUS, (ISC_STATUS*, isc_svc_handle*))

// Pointer types derived from the one list, so a calling convention or a
// parameter cannot drift between declaration and use.
#define QUENLET_DECLARE_CLIENT_TYPE(name, result, params) \
    using name##_fn = result(QUENLET_CLIENT_CALL*) params;
QUENLET_CLIENT_ENTRY_POINTS(QUENLET_DECLARE_CLIENT_TYPE)
#undef QUENLET_DECLARE_CLIENT_TYPE

struct EntryPoints {
#define QUENLET_DECLARE_CLIENT_FIELD(name, result, params) name##_fn name = nullptr;
    QUENLET_CLIENT_ENTRY_POINTS(QUENLET_DECLARE_CLIENT_FIELD)
#undef QUENLET_DECLARE_CLIENT_FIELD
};

}  // namespace quenlet::client
