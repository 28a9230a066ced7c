#include "SysdbaRole.h"

#include "Connection.h"
#include "Errors.h"

namespace quenlet {

namespace {

StepResult AdjustSysdbaRole(const std::wstring& userName, const std::wstring& password,
                            const std::wstring& database, bool present) {
    try {
        Connection connection(userName, password, database);
        bool exists =
            connection.SelectInteger(L"SELECT COUNT(*) FROM RDB$ROLES WHERE RDB$ROLE_NAME='SYSDBA'")
                .value_or(0) > 0;
        const wchar_t* change = nullptr;
        if (!present && exists) change = L"DROP   ROLE sysdba";
        if (present && !exists) change = L"CREATE ROLE sysdba";
        if (!change) return StepResult::Done();
        connection.Execute(change);
        // The change exists only once committed: a failed commit is the
        // step's failure, not a quiet rollback.
        connection.Commit();
        return StepResult::Changed();
    } catch (const std::exception& e) {
        return StepResult::Failed(MessageOf(e));
    }
}

}  // namespace

StepResult DropSysdbaRole(const std::wstring& userName, const std::wstring& password,
                          const std::wstring& database) {
    return AdjustSysdbaRole(userName, password, database, false);
}

StepResult CreateSysdbaRole(const std::wstring& userName, const std::wstring& password,
                            const std::wstring& database) {
    return AdjustSysdbaRole(userName, password, database, true);
}

}  // namespace quenlet
