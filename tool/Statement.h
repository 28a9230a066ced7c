// One prepared statement of a step, in the course every statement takes:
// allocate, prepare, ask its kind, execute (a select: describe, execute,
// fetch the first row), free.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ClientApi.h"
#include "ClientHandle.h"

namespace quenlet {

class Statement {
public:
    // Allocates and prepares; throws ToolError on an error status. The
    // statement is freed when the object goes, also after an error.
    Statement(const client::EntryPoints& api, client::isc_db_handle* db, client::isc_tr_handle* tr,
              const std::wstring& sql, unsigned short dialect);

    bool IsSelect();
    void Execute();
    // Describes the columns, executes, fetches the first row; the first
    // column comes back as text (or as a 64-bit integer, in text form);
    // nullopt for no row or NULL.
    std::optional<std::wstring> FirstColumn(bool asInteger);

private:
    client::XSQLDA* Sqlda() { return reinterpret_cast<client::XSQLDA*>(sqlda_.data()); }
    void Allocate(short columns);
    void Describe();
    void Bind(bool asInteger);

    const client::EntryPoints& api_;
    client::isc_tr_handle* tr_;
    StatementHandle handle_;
    std::vector<long long> sqlda_;
    std::vector<std::vector<long long>> data_;
    std::vector<short> indicators_;
};

}  // namespace quenlet
