#include "wizard/Options.h"

#include <windows.h>

#include "ProductVersion.h"
#include "environment/ConfText.h"
#include "platform/Paths.h"
#include "wizard/Messages.h"
#include "wizard/Wizard.h"

namespace wizard {

namespace {

constexpr wchar_t kUnknown[] = L"Neznámy parameter: ";
constexpr wchar_t kWrong[] = L"Chybný parameter: ";
constexpr wchar_t kKnownOptions[] =
    L"Použiť môžete /S, /CHECK, /REMOVE, /PORT=číslo, /MODE=SS|CS|SC, /DIR=priečinok, "
    L"/WAIT=sekundy, /LOG=súbor a /?.";
constexpr wchar_t kPortValueRule[] = L"Port musí byť číslo od 1 do 65535.";
constexpr wchar_t kModeRule[] = L"Režim servera musí byť SS, CS alebo SC.";
constexpr wchar_t kDirRule[] =
    L"Zadajte úplnú cestu k priečinku, napríklad C:\\firebird\\firebird_4_0_x64.";
constexpr wchar_t kWaitRule[] = L"Čas čakania musí byť počet sekúnd od 0 do 86400.";
constexpr wchar_t kLogRule[] = L"Zadajte súbor záznamu, napríklad C:\\Logs\\istrel.log.";
constexpr wchar_t kCheckOrRemove[] = L"/CHECK a /REMOVE sa nedajú použiť spolu.";
constexpr uint32_t kLongestWait = 86400;  // a day

constexpr wchar_t kUsage[] =
    L"Istrel.exe [/S] [/CHECK] [/PORT=číslo] [/MODE=SS|CS|SC] [/DIR=priečinok] "
    L"[/WAIT=sekundy] [/LOG=súbor]\r\n"
    L"Istrel.exe [/S] /REMOVE [/WAIT=sekundy] [/LOG=súbor]\r\n"
    L"\r\n"
    L"/S – inštalácia bez obsluhy: okno sa nezobrazí, priebeh sa zapíše do záznamu "
    L"inštalácie.\r\n"
    L"/CHECK – len kontrola: do záznamu zapíše, čo by inštalácia s rovnakými parametrami "
    L"teraz urobila, a nič nezmení (aj bez /S bez okien).\r\n"
    L"/REMOVE – odstráni Firebird SQL server, ktorý inštalátor nainštaloval pre program "
    L"Lumera SQL (podľa data.ini); databázy a konfiguračné súbory servera zostanú.\r\n"
    L"/PORT=číslo – TCP port servera, od 1 do 65535.\r\n"
    L"/MODE=SS|CS|SC – režim servera: SuperServer, Classic alebo SuperClassic.\r\n"
    L"/DIR=priečinok – priečinok servera, úplná cesta; len keď sa server inštaluje.\r\n"
    L"/WAIT=sekundy – najdlhší čas čakania na ukončenie programu Lumera SQL pri /S; potom sa "
    L"inštalácia odloží.\r\n"
    L"/LOG=súbor – záznam inštalácie sa zapíše do tohto súboru (aj bez /S).\r\n"
    L"/? alebo /HELP – tento prehľad.\r\n"
    L"\r\n"
    L"Návratové kódy:\r\n"
    L"0 – inštalácia (alebo odstránenie) prebehla bez chýb\r\n"
    L"1 – inštalácia sa nezačala, nič sa nezmenilo\r\n"
    L"2 – inštalácia bola zastavená (Storno, odpoveď Nie)\r\n"
    L"3 – inštalácia skončila s chybou\r\n"
    L"4 – inštalácia bola odložená, lebo program Lumera SQL beží alebo už beží iná inštalácia; "
    L"spustite ju neskôr znova\r\n"
    L"5 – len pri /CHECK: inštalácia by teraz niečo nainštalovala alebo zmenila "
    L"(0 – server je nainštalovaný, nič by sa nezmenilo)";

using platform::SameName;

bool IsSilentSwitch(const std::wstring& argument) {
    return argument.size() >= 2 && argument[0] == L'/' && (argument[1] == L'S' || argument[1] == L's');
}

bool IsRemoveSwitch(const std::wstring& argument) {
    return SameName(argument, L"/REMOVE");
}

bool IsCheckSwitch(const std::wstring& argument) {
    return SameName(argument, L"/CHECK");
}

bool IsHelpSwitch(const std::wstring& argument) {
    return argument == L"/?" || SameName(argument, L"/HELP");
}

// Relative to the working directory, which is the installer's folder.
std::optional<std::wstring> LogFile(const std::wstring& text) {
    if (text.empty() || text.back() == L'\\') return std::nullopt;
    std::wstring full = platform::FullPath(text);
    if (full.empty()) return std::nullopt;
    return full;
}

const outside::ServerMode* Mode(const std::wstring& text) {
    for (const outside::ServerMode& mode : outside::kServerModes)
        if (SameName(text, mode.iniCode)) return &mode;
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

Switches FindSwitches(const std::vector<std::wstring>& arguments) {
    Switches found;
    for (const std::wstring& argument : arguments) {
        found.silent |= IsSilentSwitch(argument);
        found.check |= IsCheckSwitch(argument);
        found.remove |= IsRemoveSwitch(argument);
        found.help |= IsHelpSwitch(argument);
    }
    return found;
}

std::wstring ProgramAndVersion() {
    return L"Istrel " ISTREL_VERSION_TEXT;
}

std::wstring UsageText() {
    return ProgramAndVersion() + L"\r\n\r\n" + kUsage;
}

std::optional<std::wstring> ReadOptions(const std::vector<std::wstring>& arguments,
                                        InstallOptions& options) {
    for (const std::wstring& argument : arguments) {
        if (IsSilentSwitch(argument) || IsHelpSwitch(argument)) continue;
        if (IsCheckSwitch(argument)) {
            if (options.remove) return Wrong(argument, kCheckOrRemove);
            options.check = true;
            continue;
        }
        if (IsRemoveSwitch(argument)) {
            // A check of a removal is not offered: it would tell an
            // installation's outcome.
            if (options.check) return Wrong(argument, kCheckOrRemove);
            options.remove = true;
            continue;
        }
        const size_t eq = argument.find(L'=');
        const std::wstring name = argument.substr(0, eq);
        const std::wstring value = eq == std::wstring::npos ? L"" : argument.substr(eq + 1);
        if (SameName(name, L"/PORT")) {
            options.port = environment::Port::Parse(value);
            if (!options.port) return Wrong(argument, kPortValueRule);
        } else if (SameName(name, L"/MODE")) {
            options.mode = Mode(value);
            if (!options.mode) return Wrong(argument, kModeRule);
        } else if (SameName(name, L"/DIR")) {
            if (!FullPath(value)) return Wrong(argument, kDirRule);
            options.dir = platform::WithDelimiter(value);
        } else if (SameName(name, L"/WAIT")) {
            const std::optional<uint32_t> seconds = environment::DecimalNumber(value, kLongestWait);
            if (!seconds) return Wrong(argument, kWaitRule);
            options.wait = int32_t(*seconds);
        } else if (SameName(name, L"/LOG")) {
            options.log = LogFile(value);
            if (!options.log) return Wrong(argument, kLogRule);
        } else {
            return kCannotGoOn + (kUnknown + argument) + L"\r\n" + kKnownOptions;
        }
    }
    return std::nullopt;
}

}  // namespace wizard
