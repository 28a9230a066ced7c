#include "environment/ConfText.h"

#include <algorithm>

#include "outside/Outside.h"

namespace environment {

namespace {

constexpr size_t kPortLineWindow = 100;
constexpr unsigned kHighestPort = 65535;

std::wstring RemoveAll(std::wstring s, wchar_t ch) {
    s.erase(std::remove(s.begin(), s.end(), ch), s.end());
    return s;
}

}  // namespace

std::wstring ExtractConfPort(const std::wstring& text) {
    const std::wstring key = outside::kConfPortKey;
    size_t at = text.find(L"\r\n" + key);
    if (at == std::wstring::npos) return {};
    size_t start = at + 2;
    size_t end = text.substr(start, kPortLineWindow).find(L"\r\n");
    if (end == std::wstring::npos) return {};
    std::wstring line = text.substr(start, end);
    line.replace(0, key.size(), L" ");
    std::replace(line.begin(), line.end(), L'=', L' ');
    return RemoveAll(line, L' ');
}

std::optional<std::wstring> PortNumber(const std::wstring& text) {
    if (text.empty()) return std::nullopt;
    unsigned value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + unsigned(c - L'0');
        if (value > kHighestPort) return std::nullopt;
    }
    if (value == 0) return std::nullopt;
    return std::to_wstring(value);
}

std::wstring ChooseFBPort(const std::wstring& iniPort, const std::wstring& confPort,
                          PortSource source) {
    if (source == PortSource::kServer) return confPort;
    return iniPort == confPort ? iniPort : std::wstring();
}

std::vector<std::wstring> SplitConfLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find(L'\n', start);
        if (lf == std::wstring::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        size_t end = lf > start && text[lf - 1] == L'\r' ? lf - 1 : lf;
        lines.push_back(text.substr(start, end - start));
        start = lf + 1;
    }
    return lines;
}

void ReplaceConfLines(std::vector<std::wstring>& lines, const std::wstring& key,
                      const std::wstring& value) {
    if (key.empty()) return;  // an empty key would match every line
    const std::wstring compact = RemoveAll(key, L' ');
    for (std::wstring& line : lines)
        if (line.find(key) != std::wstring::npos ||
            (!compact.empty() && line.find(compact) != std::wstring::npos))
            line = key + L" " + value;
}

std::wstring JoinConfLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) text += line + L"\r\n";
    return text;
}

}  // namespace environment
