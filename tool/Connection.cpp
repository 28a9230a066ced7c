#include "Connection.h"

#include "ClientLibrary.h"
#include "Errors.h"
#include "InfoReply.h"
#include "ParamBlock.h"
#include "Platform.h"
#include "Statement.h"

namespace quenlet {

using namespace client;

namespace {

// The one way the tool attaches to a database.
void Attach(AttachmentHandle& attachment, const std::string& name, const std::string& dpb) {
    StatusVector status;
    attachment.Api().isc_attach_database(status, short(name.size()), name.c_str(),
                                         attachment.Address(), short(dpb.size()), dpb.data());
    attachment.CheckOpened(status);
}

}  // namespace

// Everything that can be refused without the client library, before it
// is bound.
Connection::Request Connection::MakeRequest(const std::wstring& userName,
                                            const std::wstring& password,
                                            const std::wstring& database) {
    if (database.empty()) throw ToolError(kParameterError, L"Database name is missing");
    Request request{platform::ToServerFileName(database, L"Database name"), {}};
    CheckLength(request.name.size(), 32767, L"Database name");
    request.dpb = DatabaseAttachBlock()
                      .Text(isc_dpb_user_name, platform::ToNarrow(userName), L"User name")
                      .Text(isc_dpb_password, platform::ToNarrow(password), L"Password")
                      .Bytes();
    return request;
}

Connection::Connection(const std::wstring& userName, const std::wstring& password,
                       const std::wstring& database)
    : Connection(MakeRequest(userName, password, database)) {}

Connection::Connection(const Request& request)
    : api_(ClientLibrary::Get()), attachment_(api_), transaction_(api_) {
    Attach(attachment_, request.name, request.dpb);
    dialect_ = ReadDialect();
    static const char tpb[] = {isc_tpb_version3, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_nowait};
    TransactionBlock block{attachment_.Address(), int(sizeof tpb), tpb};
    StatusVector status;
    api_.isc_start_multiple(status, transaction_.Address(), 1, &block);
    transaction_.CheckOpened(status);
}

unsigned short Connection::ReadDialect() {
    const char items[] = {char(isc_info_db_sql_dialect), char(isc_info_end)};
    char reply[64] = {};
    StatusVector status;
    api_.isc_database_info(status, attachment_.Address(), sizeof items, items, sizeof reply, reply);
    attachment_.Check(status);
    long long dialect = 1;
    InfoReply info(api_, std::string_view(reply, sizeof reply));
    if (info.Read() == InfoReply::Next::Item && info.Tag() == isc_info_db_sql_dialect)
        dialect =
            api_.isc_portable_integer(reinterpret_cast<const unsigned char*>(info.Value().data()),
                                      short(info.Value().size()));
    return dialect < SQL_DIALECT_V6 ? static_cast<unsigned short>(dialect) : SQL_DIALECT_V6;
}

std::optional<std::wstring> Connection::Select(const std::wstring& sql, bool asInteger) {
    Statement statement(api_, attachment_.Address(), transaction_.Address(), sql, dialect_);
    if (!statement.IsSelect()) {
        statement.Execute();
        return std::nullopt;
    }
    return statement.FirstColumn(asInteger);
}

std::optional<std::wstring> Connection::SelectText(const std::wstring& sql) {
    return Select(sql, false);
}

std::optional<long long> Connection::SelectInteger(const std::wstring& sql) {
    std::optional<std::wstring> text = Select(sql, true);
    if (!text) return std::nullopt;
    return std::stoll(*text);
}

void Connection::Execute(const std::wstring& sql) {
    Statement statement(api_, attachment_.Address(), transaction_.Address(), sql, dialect_);
    if (statement.IsSelect()) {
        statement.FirstColumn(false);
        return;
    }
    statement.Execute();
}

void Connection::Commit() {
    transaction_.End();
}

IdleAttachment::IdleAttachment(const std::wstring& userName, const std::wstring& password,
                               const std::wstring& database) noexcept {
    try {
        Connection::Request request = Connection::MakeRequest(userName, password, database);
        handle_.emplace(ClientLibrary::Get());
        Attach(*handle_, request.name, request.dpb);
    } catch (const std::exception&) {
        handle_.reset();
    }
}

}  // namespace quenlet
