#include "EngineLibrary.h"

#include <cstring>
#include <vector>

#include "Errors.h"
#include "ParamBlock.h"
#include "Platform.h"

namespace quenlet {

using namespace engine;

namespace {

// isc_dsql_fetch's result after the last row.
constexpr ISC_STATUS kFetchEndOfCursor = 100;

struct Binding {
    void* library = nullptr;
    EntryPoints entries;
};

Binding& TheBinding() {
    static Binding binding;
    return binding;
}

// Resolves every entry point of the list; the first missing one refuses the
// library.
EntryPoints Resolve(void* library) {
    EntryPoints entries;
    std::wstring error;
#define QUENLET_RESOLVE_ENGINE_ENTRY(name, result, params)                                       \
    entries.name = reinterpret_cast<name##_fn>(platform::FindEntryPoint(library, #name, error)); \
    if (!entries.name) throw ToolError(kLibraryError, error);
    QUENLET_ENGINE_ENTRY_POINTS(QUENLET_RESOLVE_ENGINE_ENTRY)
#undef QUENLET_RESOLVE_ENGINE_ENTRY
    return entries;
}

}  // namespace

const EntryPoints& EngineLibrary::Get() {
    Binding& binding = TheBinding();
    if (!binding.library) {
        void* library = platform::OpenLibrary(platform::kEngineLibraryName);
        if (!library)
            throw ToolError(kLibraryError, std::wstring(L"InterBase library ") +
                                               platform::kEngineLibraryName +
                                               L" not found in the path. Please install "
                                               L"InterBase to use this functionality");
        binding.entries = Resolve(library);
        binding.library = library;
    }
    return binding.entries;
}

std::wstring FormatEngineError(const ISC_STATUS* status) {
    const EntryPoints& api = EngineLibrary::Get();
    std::wstring text;
    std::vector<char> buffer(20480);
    ISC_STATUS* cursor = const_cast<ISC_STATUS*>(status);
    // A status vector holds at most ISC_STATUS_LENGTH items; the bound keeps
    // a faulty library from looping forever.
    for (int i = 0; i < ISC_STATUS_LENGTH; ++i) {
        buffer[0] = '\0';
        if (api.isc_interprete(buffer.data(), &cursor) <= 0) break;
        std::string_view message(buffer.data(), strnlen(buffer.data(), buffer.size()));
        if (!text.empty() && text.back() != L'\n') text += L"\r\n";
        text += platform::FromNarrow(message);
    }
    return text;
}

void CheckStatus(const ISC_STATUS* status) {
    if (!Failed(status)) return;
    std::wstring message = FormatEngineError(status);
    // An empty ErrorText would report the failed step as a success.
    if (message.empty())
        message = L"Unknown engine error (code " + std::to_wstring(status[1]) + L")";
    throw ToolError(kEngineError, message);
}

// --- Connection ---------------------------------------------------------

namespace {

std::string AttachBlock(const std::wstring& userName, const std::wstring& password) {
    ParamBlock dpb;
    dpb.Byte(isc_dpb_version1)
        .String8(isc_dpb_user_name, platform::ToNarrow(userName), L"User name")
        .String8(isc_dpb_password, platform::ToNarrow(password), L"Password");
    return dpb.Bytes();
}

// The one way the tool attaches to a database; throws ToolError and leaves
// no handle when it cannot.
isc_db_handle AttachDatabase(const std::wstring& userName, const std::wstring& password,
                             const std::wstring& database) {
    if (database.empty()) throw ToolError(kParameterError, L"Database name is missing");
    std::string name = platform::ToNarrow(database);
    ParamBlock::CheckLength(name.size(), 32767, L"Database name");
    std::string dpb = AttachBlock(userName, password);
    const EntryPoints& api = EngineLibrary::Get();
    isc_db_handle handle = 0;
    ISC_STATUS status[ISC_STATUS_LENGTH] = {};
    api.isc_attach_database(status, short(name.size()), name.c_str(), &handle, short(dpb.size()),
                            dpb.data());
    CheckStatus(status);
    return handle;
}

// A failed detach is not reported.
void DetachQuietly(isc_db_handle& handle) {
    if (!handle) return;
    ISC_STATUS status[ISC_STATUS_LENGTH] = {};
    EngineLibrary::Get().isc_detach_database(status, &handle);
}

}  // namespace

Connection::Attachment::Attachment(const std::wstring& userName, const std::wstring& password,
                                   const std::wstring& database)
    : handle(AttachDatabase(userName, password, database)) {}

Connection::Attachment::~Attachment() {
    DetachQuietly(handle);
}

Connection::Transaction::Transaction(isc_db_handle& db) {
    static const char tpb[] = {isc_tpb_version3, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_nowait};
    TransactionBlock block{&db, int(sizeof tpb), tpb};
    ISC_STATUS status[ISC_STATUS_LENGTH] = {};
    EngineLibrary::Get().isc_start_multiple(status, &handle, 1, &block);
    if (Failed(status)) {
        handle = 0;
        CheckStatus(status);
    }
}

Connection::Transaction::~Transaction() {
    if (!handle) return;
    const EntryPoints& api = EngineLibrary::Get();
    ISC_STATUS status[ISC_STATUS_LENGTH] = {};
    api.isc_commit_transaction(status, &handle);
    if (Failed(status)) {
        ISC_STATUS rollback[ISC_STATUS_LENGTH] = {};
        api.isc_rollback_transaction(rollback, &handle);
    }
}

IdleAttachment::IdleAttachment(const std::wstring& userName, const std::wstring& password,
                               const std::wstring& database) noexcept {
    try {
        handle_ = AttachDatabase(userName, password, database);
    } catch (const std::exception&) {
        handle_ = 0;
    }
}

IdleAttachment::~IdleAttachment() {
    DetachQuietly(handle_);
}

Connection::Connection(const std::wstring& userName, const std::wstring& password,
                       const std::wstring& database)
    : attachment_(userName, password, database),
      dialect_(ReadDialect()),
      transaction_(attachment_.handle) {}

Connection::~Connection() = default;

unsigned short Connection::ReadDialect() {
    const EntryPoints& api = EngineLibrary::Get();
    const char items[] = {char(isc_info_db_sql_dialect), char(isc_info_end)};
    char reply[64] = {};
    ISC_STATUS status[ISC_STATUS_LENGTH] = {};
    api.isc_database_info(status, &attachment_.handle, sizeof items, items, sizeof reply, reply);
    CheckStatus(status);
    long long dialect = 1;
    if (static_cast<unsigned char>(reply[0]) == isc_info_db_sql_dialect) {
        short length = short(api.isc_vax_integer(reply + 1, 2));
        if (length >= 0 && length <= int(sizeof reply) - 3)
            dialect = api.isc_portable_integer(reinterpret_cast<unsigned char*>(reply + 3), length);
    }
    return dialect < SQL_DIALECT_V6 ? static_cast<unsigned short>(dialect) : SQL_DIALECT_V6;
}

namespace {

// A statement handle, freed when the owner goes.
struct StatementHandle {
    explicit StatementHandle(const EntryPoints& api) : api(api) {}
    ~StatementHandle() {
        if (!handle) return;
        ISC_STATUS status[ISC_STATUS_LENGTH] = {};
        api.isc_dsql_free_statement(status, &handle, DSQL_drop);
    }
    StatementHandle(const StatementHandle&) = delete;
    StatementHandle& operator=(const StatementHandle&) = delete;
    const EntryPoints& api;
    isc_stmt_handle handle = 0;
};

// One prepared statement; freed when the object goes, also after an error.
class Statement {
public:
    Statement(isc_db_handle& db, isc_tr_handle& tr, const std::wstring& sql, unsigned short dialect)
        : api_(EngineLibrary::Get()), tr_(tr), owner_(api_) {
        ISC_STATUS status[ISC_STATUS_LENGTH] = {};
        api_.isc_dsql_alloc_statement2(status, &db, &owner_.handle);
        if (Failed(status)) owner_.handle = 0;
        CheckStatus(status);
        std::string text = platform::ToNarrow(sql);
        api_.isc_dsql_prepare(status, &tr_, &owner_.handle, 0, text.c_str(), dialect, nullptr);
        CheckStatus(status);
    }

    bool IsSelect() {
        const char items[] = {char(isc_info_sql_stmt_type)};
        char reply[32] = {};
        ISC_STATUS status[ISC_STATUS_LENGTH] = {};
        api_.isc_dsql_sql_info(status, &handle_, sizeof items, items, sizeof reply, reply);
        CheckStatus(status);
        if (static_cast<unsigned char>(reply[0]) != isc_info_sql_stmt_type)
            throw ToolError(kEngineError, L"Unexpected statement information");
        short length = short(api_.isc_vax_integer(reply + 1, 2));
        if (length < 0 || length > int(sizeof reply) - 3)
            throw ToolError(kEngineError, L"Unexpected statement information");
        ISC_LONG type = api_.isc_vax_integer(reply + 3, length);
        return type == isc_info_sql_stmt_select || type == isc_info_sql_stmt_select_for_upd;
    }

    void Execute() {
        ISC_STATUS status[ISC_STATUS_LENGTH] = {};
        api_.isc_dsql_execute(status, &tr_, &handle_, 1, nullptr);
        CheckStatus(status);
    }

    // Describes the columns, executes, fetches the first row; the first
    // column comes back as text (or as a 64-bit integer, in text form).
    std::optional<std::wstring> FirstColumn(bool asInteger) {
        Describe();
        Bind(asInteger);
        ISC_STATUS status[ISC_STATUS_LENGTH] = {};
        api_.isc_dsql_execute2(status, &tr_, &handle_, 1, nullptr, nullptr);
        CheckStatus(status);
        ISC_STATUS fetched = api_.isc_dsql_fetch(status, &handle_, 1, Sqlda());
        CheckStatus(status);
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

private:
    XSQLDA* Sqlda() { return reinterpret_cast<XSQLDA*>(sqlda_.data()); }

    void Allocate(short columns) {
        size_t bytes = sizeof(XSQLDA) + (columns - 1) * sizeof(XSQLVAR);
        sqlda_.assign((bytes + sizeof(long long) - 1) / sizeof(long long), 0);
        Sqlda()->version = SQLDA_VERSION1;
        Sqlda()->sqln = columns;
    }

    void Describe() {
        Allocate(1);
        ISC_STATUS status[ISC_STATUS_LENGTH] = {};
        api_.isc_dsql_describe(status, &handle_, 1, Sqlda());
        CheckStatus(status);
        short columns = Sqlda()->sqld;
        if (columns < 1) throw ToolError(kEngineError, L"The statement returns no columns");
        if (columns > 1) {
            Allocate(columns);
            api_.isc_dsql_describe(status, &handle_, 1, Sqlda());
            CheckStatus(status);
        }
    }

    // Data and NULL indicator for every column. The first is asked for in
    // the form the caller wants; the engine converts it.
    void Bind(bool asInteger) {
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

    const EntryPoints& api_;
    isc_tr_handle& tr_;
    StatementHandle owner_;
    isc_stmt_handle& handle_ = owner_.handle;
    std::vector<long long> sqlda_;
    std::vector<std::vector<long long>> data_;
    std::vector<short> indicators_;
};

}  // namespace

std::optional<std::wstring> Connection::Select(const std::wstring& sql, bool asInteger) {
    Statement statement(attachment_.handle, transaction_.handle, sql, dialect_);
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
    Statement statement(attachment_.handle, transaction_.handle, sql, dialect_);
    if (statement.IsSelect()) {
        statement.FirstColumn(false);
        return;
    }
    statement.Execute();
}

}  // namespace quenlet
