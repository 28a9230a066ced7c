#include "environment/ProfileText.h"

#include <windows.h>

#include <cstdint>
#include <cwctype>
#include <string_view>

#include "platform/Paths.h"
#include "platform/Text.h"

namespace environment {

namespace {

enum class Encoding { kAnsi, kUtf8, kUtf16Le, kUtf16Be };

struct Form {
    Encoding encoding;
    size_t markBytes;  // the byte-order mark, kept as it is
    size_t unit;       // bytes of one code unit
};

Form FormOf(const std::string& bytes) {
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return {Encoding::kUtf8, 3, 1};
    if (bytes.rfind("\xFF\xFE", 0) == 0) return {Encoding::kUtf16Le, 2, 2};
    if (bytes.rfind("\xFE\xFF", 0) == 0) return {Encoding::kUtf16Be, 2, 2};
    return {Encoding::kAnsi, 0, 1};
}

std::wstring Decode(const Form& form, std::string_view bytes) {
    if (form.unit == 1)
        return platform::FromCodePage(form.encoding == Encoding::kUtf8 ? CP_UTF8 : CP_ACP, bytes);
    const size_t high = form.encoding == Encoding::kUtf16Be ? 0 : 1;
    std::wstring text(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = wchar_t(uint8_t(bytes[2 * i + high]) << 8 | uint8_t(bytes[2 * i + 1 - high]));
    return text;
}

std::string Encode(const Form& form, std::wstring_view text) {
    if (form.unit == 1)
        return platform::ToCodePage(form.encoding == Encoding::kUtf8 ? CP_UTF8 : CP_ACP, text);
    const size_t high = form.encoding == Encoding::kUtf16Be ? 0 : 1;
    std::string bytes(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i + high] = char(text[i] >> 8);
        bytes[2 * i + 1 - high] = char(text[i] & 0xFF);
    }
    return bytes;
}

// Blanks as the profile functions skip them; ^Z ends old DOS files.
bool IsBlank(wchar_t c) {
    return std::iswspace(c) || c == 0x1A;
}

std::wstring Trimmed(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return std::wstring(text);
}

// One line of the file: its bytes, and what it is to the profile functions.
struct Line {
    std::string bytes;  // without the line end
    std::string end;    // the line end as it was (CR LF, LF), empty for an unended last line
    bool blank = true;
    bool section = false;  // "[name]"; otherwise a key's line "name=value" or a name alone
    std::wstring name;
};

Line ParsedLine(const Form& form, std::string bytes, std::string end) {
    Line line;
    line.bytes = std::move(bytes);
    line.end = std::move(end);
    const std::wstring text = Trimmed(Decode(form, line.bytes));
    line.blank = text.empty();
    const size_t close = text.rfind(L']');
    line.section = !text.empty() && text[0] == L'[' && close != std::wstring::npos;
    line.name = line.section ? text.substr(1, close - 1) : Trimmed(text.substr(0, text.find(L'=')));
    return line;
}

std::vector<Line> Lines(const Form& form, std::string_view body) {
    const std::string lf = Encode(form, L"\n"), cr = Encode(form, L"\r");
    std::vector<Line> lines;
    size_t start = 0;
    for (size_t at = 0; at + form.unit <= body.size(); at += form.unit) {
        if (body.compare(at, form.unit, lf) != 0) continue;
        const bool crlf =
            at >= start + form.unit && body.compare(at - form.unit, form.unit, cr) == 0;
        const size_t content = crlf ? at - form.unit : at;
        lines.push_back(ParsedLine(form, std::string(body.substr(start, content - start)),
                                   std::string(body.substr(content, at + form.unit - content))));
        start = at + form.unit;
    }
    if (start < body.size()) lines.push_back(ParsedLine(form, std::string(body.substr(start)), ""));
    return lines;
}

using platform::SameName;

// Where `name`'s first line lies in lines [from, to); `to` when it has none.
size_t Find(const std::vector<Line>& lines, size_t from, size_t to, bool section,
            const std::wstring& name) {
    for (; from < to; ++from)
        if (!lines[from].blank && lines[from].section == section &&
            SameName(lines[from].name, name))
            break;
    return from;
}

}  // namespace

std::string SetProfileValues(const std::string& bytes, const std::wstring& section,
                             const std::vector<std::pair<std::wstring, std::wstring>>& values) {
    const Form form = FormOf(bytes);
    const std::string crlf = Encode(form, L"\r\n");
    std::vector<Line> lines = Lines(form, std::string_view(bytes).substr(form.markBytes));
    size_t header = Find(lines, 0, lines.size(), true, section);
    if (header == lines.size()) {
        if (!lines.empty() && lines.back().end.empty()) lines.back().end = crlf;
        lines.push_back(ParsedLine(form, Encode(form, L"[" + section + L"]"), crlf));
    }
    size_t end = header + 1;
    while (end < lines.size() && !lines[end].section) ++end;
    size_t last = header;  // the section's last line that is not blank
    for (size_t i = header + 1; i < end; ++i)
        if (!lines[i].blank) last = i;
    for (const auto& [key, value] : values) {
        const size_t at = Find(lines, header + 1, end, false, key);
        if (at < end) {
            lines[at].bytes = Encode(form, lines[at].name + L"=" + value);
            continue;
        }
        if (lines[last].end.empty()) lines[last].end = crlf;
        lines.insert(lines.begin() + ptrdiff_t(++last),
                     ParsedLine(form, Encode(form, key + L"=" + value), crlf));
        ++end;
    }
    std::string out = bytes.substr(0, form.markBytes);
    for (const Line& line : lines) out += line.bytes + line.end;
    return out;
}

}  // namespace environment
