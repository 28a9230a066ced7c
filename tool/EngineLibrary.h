// The client library binding and what the database steps share in their
// dealings with the engine: error texts, the SQL dialect, the course of a
// statement, and the connection of one step.
#pragma once

#include <optional>
#include <string>

#include "EngineApi.h"

namespace quenlet {

// Binds the client library by its plain file name on first use and keeps it
// for the rest of the process. Throws ToolError when the library cannot be
// loaded ("InterBase library ... not found in the path...") or lacks an
// entry point (the platform's error for a missing procedure); a failed
// binding is tried again on the next use.
class EngineLibrary {
public:
    static const engine::EntryPoints& Get();
};

// The engine's interpreted messages of an error status, joined by CR LF.
std::wstring FormatEngineError(const engine::ISC_STATUS* status);

// True when a status vector reports an error.
inline bool Failed(const engine::ISC_STATUS* status) {
    return status[0] == 1 && status[1] != 0;
}

// Throws ToolError(kEngineError, FormatEngineError(status)) on an error status.
void CheckStatus(const engine::ISC_STATUS* status);

// One step's connection: an attachment with the user's credentials and one
// read-committed, no-wait transaction on it. The constructor throws when the
// attachment or the transaction cannot be made (nothing is left open then);
// the destructor commits (rolling back when the commit fails) and detaches,
// reporting nothing.
class Connection {
public:
    Connection(const std::wstring& userName, const std::wstring& password,
               const std::wstring& database);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Dialect in which statements are prepared: 3, or the database's when lower.
    unsigned short Dialect() const { return dialect_; }

    // A select: the first column of the first row as text; nullopt for no
    // row or NULL. Throws ToolError on any engine error.
    std::optional<std::wstring> SelectText(const std::wstring& sql);
    // A select: the first column of the first row as an integer.
    std::optional<long long> SelectInteger(const std::wstring& sql);
    // Any other statement.
    void Execute(const std::wstring& sql);

private:
    class Attachment {
    public:
        Attachment(const std::wstring& userName, const std::wstring& password,
                   const std::wstring& database);
        ~Attachment();
        engine::isc_db_handle handle = 0;
    };
    class Transaction {
    public:
        explicit Transaction(engine::isc_db_handle& db);
        ~Transaction();
        engine::isc_tr_handle handle = 0;
    };

    std::optional<std::wstring> Select(const std::wstring& sql, bool asInteger);
    unsigned short ReadDialect();

    Attachment attachment_;
    unsigned short dialect_;
    Transaction transaction_;
};

// An attachment that only keeps the database open while it lives. An
// embedded engine closes a database with its last attachment, so without it
// every step would open the database anew. Failures are ignored: the steps
// meet and report them themselves.
class IdleAttachment {
public:
    IdleAttachment(const std::wstring& userName, const std::wstring& password,
                   const std::wstring& database) noexcept;
    ~IdleAttachment();
    IdleAttachment(const IdleAttachment&) = delete;
    IdleAttachment& operator=(const IdleAttachment&) = delete;

private:
    engine::isc_db_handle handle_ = 0;
};

}  // namespace quenlet
