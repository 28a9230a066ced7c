#include "DatabaseChecks.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "Connection.h"
#include "Errors.h"
#include "Platform.h"

namespace quenlet {

namespace {

constexpr double kLowestVersion = 3.31;

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

std::wstring VersionMessage(const std::wstring& version) {
    return L"Databáza je z verzie programu " + version + L".\r\n" +
           L"Automatickú konverziu databázy je možné spustiť až od verzie 3.310.\r\n" +
           L"Kontaktujte tech. podporu Velmora.";
}

}  // namespace

std::wstring DatabaseFileNamePart(const std::wstring& database) {
    size_t cut = database.find_last_of(L"\\:");
    return cut == std::wstring::npos ? database : database.substr(cut + 1);
}

bool IsUncheckedDatabase(const std::wstring& database) {
    std::wstring name = DatabaseFileNamePart(database);
    return !name.empty() && name[0] == L'_';
}

bool ParseDecimal(std::wstring_view text, wchar_t decimalSeparator, double& value) {
    size_t begin = text.find_first_not_of(L' ');
    if (begin == std::wstring_view::npos) return false;
    size_t end = text.find_last_not_of(L' ') + 1;
    text = text.substr(begin, end - begin);

    // Checked here by the regional rule, then handed to from_chars in the
    // C form, which knows nothing of regional settings.
    std::string plain;
    size_t i = 0;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) plain += char(text[i++]);
    bool digits = false, separator = false;
    for (; i < text.size(); ++i) {
        if (IsDigit(text[i])) {
            plain += char(text[i]);
            digits = true;
        } else if (text[i] == decimalSeparator && !separator) {
            plain += '.';
            separator = true;
        } else {
            break;
        }
    }
    if (!digits) return false;
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) plain += char(text[i++]);
        bool exponentDigits = false;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
            plain += char(text[i]);
            exponentDigits = true;
        }
        if (!exponentDigits) return false;
    }
    if (i != text.size()) return false;
    const char* first = plain.data() + (plain[0] == '+' ? 1 : 0);
    auto [ptr, ec] = std::from_chars(first, plain.data() + plain.size(), value);
    return ec == std::errc() && ptr == plain.data() + plain.size();
}

double VersionNumber(const std::wstring& version, wchar_t decimalSeparator) {
    std::wstring work = version;
    while (std::count(work.begin(), work.end(), L'.') > 1) work.pop_back();
    for (wchar_t& c : work)
        if (c == L'.') c = decimalSeparator;
    double value = 0;
    return ParseDecimal(work, decimalSeparator, value) ? value : 0;
}

bool CheckDatabaseVersion(const std::wstring& userName, const std::wstring& password,
                          const std::wstring& database, std::wstring& ErrorText) {
    if (IsUncheckedDatabase(database)) {
        ErrorText.clear();
        return true;
    }
    std::wstring version;
    bool failed = false;
    {
        Connection connection(userName, password, database);
        try {
            version = connection.SelectText(L"SELECT verzia FROM status").value_or(L"");
            failed = VersionNumber(version, platform::DecimalSeparator()) < kLowestVersion;
        } catch (const std::exception&) {
            // A database that cannot tell its version (no table "status") is let through.
            failed = false;
        }
    }
    if (failed) {
        ErrorText = VersionMessage(version);
        return false;
    }
    ErrorText.clear();
    return true;
}

bool AdjustSysdbaRole(const std::wstring& userName, const std::wstring& password,
                      const std::wstring& database, std::wstring& ErrorText, bool present,
                      bool* changed) {
    if (changed) *changed = false;
    try {
        Connection connection(userName, password, database);
        bool exists =
            connection.SelectInteger(L"SELECT COUNT(*) FROM RDB$ROLES WHERE RDB$ROLE_NAME='SYSDBA'")
                .value_or(0) > 0;
        const wchar_t* change = nullptr;
        if (!present && exists) change = L"DROP   ROLE sysdba";
        if (present && !exists) change = L"CREATE ROLE sysdba";
        if (change) {
            connection.Execute(change);
            // The change exists only once committed: a failed commit is the
            // step's failure, not a quiet rollback.
            connection.Commit();
            if (changed) *changed = true;
        }
        return true;
    } catch (const std::exception& e) {
        ErrorText = MessageOf(e);
        return false;
    }
}

}  // namespace quenlet
