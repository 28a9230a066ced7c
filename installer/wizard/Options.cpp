#include "wizard/Options.h"

#include <windows.h>

#include "platform/Paths.h"
#include "wizard/Wizard.h"

namespace wizard {

namespace {

constexpr wchar_t kCannotGoOn[] = L"Inštalácia nemôže pokračovať. ";
constexpr wchar_t kUnknown[] = L"Neznámy parameter: ";
constexpr wchar_t kWrong[] = L"Chybný parameter: ";
constexpr wchar_t kKnownOptions[] =
    L"Použiť môžete /S, /PORT=číslo, /MODE=SS|CS|SC a /DIR=priečinok.";
constexpr wchar_t kPortRule[] = L"Port musí byť číslo od 1 do 65535.";
constexpr wchar_t kModeRule[] = L"Režim servera musí byť SS, CS alebo SC.";
constexpr wchar_t kDirRule[] =
    L"Zadajte úplnú cestu k priečinku, napríklad C:\\firebird\\firebird_4_0_x64.";

bool SameNoCase(const std::wstring& a, const wchar_t* b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b, -1, TRUE) == CSTR_EQUAL;
}

std::optional<std::wstring> Port(const std::wstring& text) {
    if (text.empty()) return std::nullopt;
    unsigned value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + unsigned(c - L'0');
        if (value > 65535) return std::nullopt;
    }
    if (value == 0) return std::nullopt;
    return std::to_wstring(value);
}

const outside::ServerMode* Mode(const std::wstring& text) {
    for (const outside::ServerMode& mode : outside::kServerModes)
        if (SameNoCase(text, mode.iniCode)) return &mode;
    return nullptr;
}

// A service's folder must not depend on the installer's working directory.
bool FullPath(const std::wstring& text) {
    return text.size() >= 3 && iswalpha(text[0]) && text[1] == L':' && text[2] == L'\\';
}

std::wstring Wrong(const std::wstring& argument, const wchar_t* rule) {
    return kCannotGoOn + (kWrong + argument) + L"\r\n" + rule;
}

}  // namespace

std::wstring ReadOptions(const std::vector<std::wstring>& arguments, InstallOptions& options) {
    for (const std::wstring& argument : arguments) {
        if (IsSilentSwitch(argument)) continue;
        const size_t eq = argument.find(L'=');
        const std::wstring name = argument.substr(0, eq);
        const std::wstring value = eq == std::wstring::npos ? L"" : argument.substr(eq + 1);
        if (SameNoCase(name, L"/PORT")) {
            options.port = Port(value);
            if (!options.port) return Wrong(argument, kPortRule);
        } else if (SameNoCase(name, L"/MODE")) {
            options.mode = Mode(value);
            if (!options.mode) return Wrong(argument, kModeRule);
        } else if (SameNoCase(name, L"/DIR")) {
            if (!FullPath(value)) return Wrong(argument, kDirRule);
            options.dir = platform::WithDelimiter(value);
        } else {
            return kCannotGoOn + (kUnknown + argument) + L"\r\n" + kKnownOptions;
        }
    }
    return L"";
}

}  // namespace wizard
