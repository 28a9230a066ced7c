#include "Statement.h"

#include <algorithm>
#include <cstring>

#include "Errors.h"
#include "InfoReply.h"
#include "Platform.h"

namespace quenlet {

using namespace client;

namespace {

// isc_dsql_fetch's result after the last row.
constexpr ISC_STATUS kFetchEndOfCursor = 100;

}  // namespace

Statement::Statement(const EntryPoints& api, isc_db_handle* db, isc_tr_handle* tr,
                     const std::wstring& sql, unsigned short dialect)
    : api_(api), tr_(tr), handle_(api) {
    StatusVector status;
    api_.isc_dsql_alloc_statement2(status, db, handle_.Address());
    handle_.CheckOpened(status);
    std::string text = platform::ToNarrow(sql);
    api_.isc_dsql_prepare(status, tr_, handle_.Address(), 0, text.c_str(), dialect, nullptr);
    handle_.Check(status);
}

bool Statement::IsSelect() {
    const char items[] = {char(isc_info_sql_stmt_type)};
    char reply[32] = {};
    StatusVector status;
    api_.isc_dsql_sql_info(status, handle_.Address(), sizeof items, items, sizeof reply, reply);
    handle_.Check(status);
    InfoReply info(api_, std::string_view(reply, sizeof reply));
    if (info.Read() != InfoReply::Next::Item || info.Tag() != isc_info_sql_stmt_type)
        throw ToolError(kEngineError, L"Unexpected statement information");
    ISC_LONG type = api_.isc_vax_integer(info.Value().data(), short(info.Value().size()));
    return type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd;
}

void Statement::Execute() {
    StatusVector status;
    api_.isc_dsql_execute(status, tr_, handle_.Address(), 1, nullptr);
    handle_.Check(status);
}

std::optional<std::wstring> Statement::FirstColumn(bool asInteger) {
    Describe();
    Bind(asInteger);
    StatusVector status;
    api_.isc_dsql_execute2(status, tr_, handle_.Address(), 1, nullptr, nullptr);
    handle_.Check(status);
    ISC_STATUS fetched = api_.isc_dsql_fetch(status, handle_.Address(), 1, Sqlda());
    handle_.Check(status);
    if (fetched == kFetchEndOfCursor) return std::nullopt;
    const XSQLVAR& column = Sqlda()->sqlvar[0];
    if (*column.sqlind < 0) return std::nullopt;
    if (asInteger) {
        long long value;
        std::memcpy(&value, column.sqldata, sizeof value);
        return std::to_wstring(value);
    }
    unsigned short length;
    std::memcpy(&length, column.sqldata, sizeof length);
    length = std::min<unsigned short>(length, column.sqllen);
    return platform::FromNarrow(std::string_view(column.sqldata + 2, length));
}

void Statement::Allocate(short columns) {
    size_t bytes = sizeof(XSQLDA) + (columns - 1) * sizeof(XSQLVAR);
    sqlda_.assign((bytes + sizeof(long long) - 1) / sizeof(long long), 0);
    Sqlda()->version = SQLDA_VERSION1;
    Sqlda()->sqln = columns;
}

void Statement::Describe() {
    Allocate(1);
    StatusVector status;
    api_.isc_dsql_describe(status, handle_.Address(), 1, Sqlda());
    handle_.Check(status);
    short columns = Sqlda()->sqld;
    if (columns < 1) throw ToolError(kEngineError, L"The statement returns no columns");
    if (columns > 1) {
        Allocate(columns);
        api_.isc_dsql_describe(status, handle_.Address(), 1, Sqlda());
        handle_.Check(status);
    }
}

// Data and NULL indicator for every column. The first is asked for in the
// form the caller wants; the server converts it.
void Statement::Bind(bool asInteger) {
    XSQLDA* sqlda = Sqlda();
    data_.assign(sqlda->sqld, {});
    indicators_.assign(sqlda->sqld, 0);
    for (short i = 0; i < sqlda->sqld; ++i) {
        XSQLVAR& var = sqlda->sqlvar[i];
        if (i == 0 && asInteger) {
            var.sqltype = SQL_INT64;
            var.sqlscale = 0;
            var.sqllen = sizeof(long long);
        } else if (i == 0) {
            var.sqltype = SQL_VARYING;
            var.sqllen = std::max<short>(var.sqllen, 64);
        }
        var.sqltype |= 1;  // nullable: the indicator is always read
        size_t bytes = size_t(var.sqllen) + 2;
        data_[i].assign((bytes + sizeof(long long) - 1) / sizeof(long long), 0);
        var.sqldata = reinterpret_cast<char*>(data_[i].data());
        var.sqlind = &indicators_[i];
    }
}

}  // namespace quenlet
