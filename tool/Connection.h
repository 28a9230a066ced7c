// One step's connection to the database, and the idle attachment that keeps
// a database open for an embedded server.
#pragma once

#include <optional>
#include <string>

#include "ClientApi.h"
#include "ClientHandle.h"

namespace quenlet {

// An attachment with the user's credentials and one read-committed, no-wait
// transaction on it. The constructor throws when the attachment or the
// transaction cannot be made (nothing is left open then); the destructor
// commits what Commit() did not (rolling back when that commit fails) and
// detaches, reporting nothing.
class Connection {
public:
    Connection(const std::wstring& userName, const std::wstring& password,
               const std::wstring& database);

    // Dialect in which statements are prepared: 3, or the database's when lower.
    unsigned short Dialect() const { return dialect_; }

    // A select: the first column of the first row as text; nullopt for no
    // row or NULL. Throws ToolError on any error status.
    std::optional<std::wstring> SelectText(const std::wstring& sql);
    // A select: the first column of the first row as an integer.
    std::optional<long long> SelectInteger(const std::wstring& sql);
    // Any other statement.
    void Execute(const std::wstring& sql);
    // Commits the transaction now and throws the server's error when that
    // fails (the transaction is rolled back then): for a step that changed
    // the database, whose changes are lost when the commit fails.
    void Commit();

private:
    struct Request {
        std::string name;
        std::string dpb;
    };
    static Request MakeRequest(const std::wstring& userName, const std::wstring& password,
                               const std::wstring& database);
    explicit Connection(const Request& request);
    std::optional<std::wstring> Select(const std::wstring& sql, bool asInteger);
    unsigned short ReadDialect();

    const client::EntryPoints& api_;
    AttachmentHandle attachment_;  // declared first: detached last
    TransactionHandle transaction_;
    unsigned short dialect_ = client::SQL_DIALECT_V6;

    friend class IdleAttachment;
};

// An attachment that only keeps the database open while it lives. An
// embedded server closes a database with its last attachment, so without it
// every step would open the database anew. Failures are ignored: the steps
// meet and report them themselves.
class IdleAttachment {
public:
    IdleAttachment(const std::wstring& userName, const std::wstring& password,
                   const std::wstring& database) noexcept;

private:
    std::optional<AttachmentHandle> handle_;
};

}  // namespace quenlet
