#include "BackupRequest.h"

#include <charconv>
#include <cstdint>
#include <vector>

#include "ClientApi.h"
#include "Errors.h"
#include "ParamBlock.h"
#include "Platform.h"

namespace quenlet {

using namespace client;

namespace {

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start =
            end + (text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n' ? 2 : 1);
    }
    return lines;
}

bool IsBlankLine(const std::wstring& line) {
    for (wchar_t c : line)
        if (c > L' ') return false;
    return true;
}

// A size as a 32-bit integer: leading blanks, a sign, decimal digits.
int32_t ParseSize(const std::wstring& text) {
    std::string plain;
    size_t i = text.find_first_not_of(L' ');
    bool valid = i != std::wstring::npos;
    for (; valid && i < text.size(); ++i) {
        wchar_t c = text[i];
        if ((c >= L'0' && c <= L'9') || ((c == L'-' || c == L'+') && plain.empty()))
            plain += char(c);
        else
            valid = false;
    }
    int32_t value = 0;
    if (valid && !plain.empty()) {
        const char* first = plain.data() + (plain[0] == '+' ? 1 : 0);
        auto [ptr, ec] = std::from_chars(first, plain.data() + plain.size(), value);
        if (ec == std::errc() && ptr == plain.data() + plain.size()) return value;
    }
    throw ToolError(kConvertError,
                    L"'" + text + L"' is not a valid integer value for Integer type");
}

}  // namespace

std::string BackupStartBlock(const std::wstring& database, const std::wstring& backupFile) {
    BackupStartBlockWriter block;
    block
        .Text(isc_spb_dbname, platform::ToServerFileName(database, L"Database name"),
              L"Database name")
        .Int32(isc_spb_options, isc_spb_bkp_ignore_limbo)
        .Flag(isc_spb_verbose);
    for (const std::wstring& line : Lines(backupFile)) {
        if (IsBlankLine(line)) continue;
        size_t equals = line.find(L'=');
        std::wstring file = equals == std::wstring::npos ? line : line.substr(0, equals);
        block.Text(isc_spb_bkp_file, platform::ToServerFileName(file, L"Backup file name"),
                   L"Backup file name");
        if (equals != std::wstring::npos)
            block.Int32(isc_spb_bkp_length, ParseSize(line.substr(equals + 1)));
    }
    // The names together must fit the block's 16-bit length, not only each
    // one alone.
    return block.Bytes();
}

}  // namespace quenlet
