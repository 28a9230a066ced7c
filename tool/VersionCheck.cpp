#include "VersionCheck.h"

#include <algorithm>
#include <charconv>

#include "Connection.h"
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

std::optional<double> ParseDecimal(std::wstring_view text, wchar_t decimalSeparator) {
    size_t begin = text.find_first_not_of(L' ');
    if (begin == std::wstring_view::npos) return std::nullopt;
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
    if (!digits) return std::nullopt;
    if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) plain += char(text[i++]);
        bool exponentDigits = false;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
            plain += char(text[i]);
            exponentDigits = true;
        }
        if (!exponentDigits) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    const char* first = plain.data() + (plain[0] == '+' ? 1 : 0);
    double value = 0;
    auto [ptr, ec] = std::from_chars(first, plain.data() + plain.size(), value);
    if (ec != std::errc() || ptr != plain.data() + plain.size()) return std::nullopt;
    return value;
}

double VersionNumber(const std::wstring& version, wchar_t decimalSeparator) {
    std::wstring work = version;
    while (std::count(work.begin(), work.end(), L'.') > 1) work.pop_back();
    for (wchar_t& c : work)
        if (c == L'.') c = decimalSeparator;
    return ParseDecimal(work, decimalSeparator).value_or(0);
}

StepResult CheckDatabaseVersion(const std::wstring& userName, const std::wstring& password,
                                const std::wstring& database) {
    if (IsUncheckedDatabase(database)) return StepResult::Done();
    std::wstring version;
    bool tooOld = false;
    {
        Connection connection(userName, password, database);
        try {
            version = connection.SelectText(L"SELECT verzia FROM status").value_or(L"");
            tooOld = VersionNumber(version, platform::DecimalSeparator()) < kLowestVersion;
        } catch (const std::exception&) {
            // A database that cannot tell its version (no table "status") is let through.
            tooOld = false;
        }
    }
    return tooOld ? StepResult::Failed(VersionMessage(version)) : StepResult::Done();
}

}  // namespace quenlet
