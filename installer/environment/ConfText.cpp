#include "environment/ConfText.h"

#include <algorithm>
#include <optional>

#include "outside/Outside.h"
#include "platform/PathText.h"

namespace environment {

namespace {

constexpr size_t kPortLineWindow = 100;

std::wstring RemoveAll(std::wstring s, wchar_t ch) {
    s.erase(std::remove(s.begin(), s.end(), ch), s.end());
    return s;
}

bool IsBlank(wchar_t ch) {
    return ch == L' ' || ch == L'\t';
}

bool IsKeyLetter(wchar_t ch) {
    return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z') || (ch >= L'0' && ch <= L'9') ||
           ch == L'_';
}

// A line that sets a key, or would set it without its leading "#"s.
struct ConfSetting {
    std::wstring key;  // folded
    bool commented = false;
};

std::optional<ConfSetting> SettingOf(const std::wstring& line) {
    ConfSetting setting;
    size_t at = 0;
    while (at < line.size() && IsBlank(line[at])) ++at;
    while (at < line.size() && (line[at] == L'#' || (setting.commented && IsBlank(line[at])))) {
        setting.commented = true;
        ++at;
    }
    const size_t key = at;
    while (at < line.size() && IsKeyLetter(line[at])) ++at;
    if (at == key) return std::nullopt;
    setting.key = platform::FoldedAscii(line.substr(key, at - key));
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (at == line.size() || line[at] != L'=') return std::nullopt;
    return setting;
}

bool IsInstallersKey(const std::wstring& folded) {
    return std::any_of(outside::kInstallerConfKeys.begin(), outside::kInstallerConfKeys.end(),
                       [&](const wchar_t* text) {
                           const std::optional<ConfSetting> own = SettingOf(text);
                           return own && own->key == folded;
                       });
}

// The kit's line for the key: its last active one, else its first commented one.
std::optional<size_t> LineFor(const std::vector<std::wstring>& lines, const std::wstring& key) {
    std::optional<size_t> active, commented;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::optional<ConfSetting> setting = SettingOf(lines[i]);
        if (!setting || setting->key != key) continue;
        if (!setting->commented)
            active = i;
        else if (!commented)
            commented = i;
    }
    return active ? active : commented;
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

std::optional<uint32_t> DecimalNumber(const std::wstring& text, uint32_t highest) {
    if (text.empty()) return std::nullopt;
    uint32_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + uint32_t(c - L'0');
        if (value > highest) return std::nullopt;
    }
    return value;
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

std::vector<std::wstring> MergeConfSettings(std::vector<std::wstring> kitLines,
                                            const std::vector<std::wstring>& oldLines) {
    std::vector<std::pair<std::wstring, std::wstring>> carried;  // key, the old line
    for (const std::wstring& line : oldLines) {
        const std::optional<ConfSetting> setting = SettingOf(line);
        if (!setting || setting->commented || IsInstallersKey(setting->key)) continue;
        auto same = std::find_if(carried.begin(), carried.end(),
                                 [&](const auto& c) { return c.first == setting->key; });
        if (same != carried.end())
            same->second = line;
        else
            carried.emplace_back(setting->key, line);
    }
    for (const auto& [key, line] : carried) {
        if (const std::optional<size_t> at = LineFor(kitLines, key))
            kitLines[*at] = line;
        else
            kitLines.push_back(line);
    }
    return kitLines;
}

std::wstring JoinConfLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) text += line + L"\r\n";
    return text;
}

}  // namespace environment
