#include "engine/ExtractionRules.h"

#include <algorithm>
#include <cmath>

#include "outside/Outside.h"

namespace engine {

namespace {

double RoundHalfEven(double x) {
    double floor = std::floor(x);
    double rest = x - floor;
    if (rest > 0.5) return floor + 1;
    if (rest < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

std::wstring AsciiUpper(std::wstring s) {
    for (wchar_t& ch : s)
        if (ch >= L'a' && ch <= L'z') ch = wchar_t(ch - L'a' + L'A');
    return s;
}

bool IsDatabase(const std::wstring& upperPath) {
    const std::wstring database = AsciiUpper(outside::kDatabaseExtension);
    return upperPath.size() >= database.size() &&
           upperPath.compare(upperPath.size() - database.size(), database.size(), database) == 0;
}

}  // namespace

bool IsDatabaseFile(const std::wstring& path) {
    return IsDatabase(AsciiUpper(path));
}

int32_t ProgressUnits(double progress, int32_t requiredBytes) {
    if (!(progress > 0)) progress = 0;  // also NaN
    if (progress > 100) progress = 100;
    int64_t percent = int64_t(RoundHalfEven(progress));
    return int32_t(percent * int64_t(requiredBytes) / 100);
}

ProgressStep NextProgressStep(double progress, int32_t requiredBytes, int32_t previous) {
    ProgressStep step;
    step.next = ProgressUnits(progress, requiredBytes);
    step.advance = step.next > previous ? step.next - previous : 0;
    step.shown = step.next > previous ? step.next : previous;
    return step;
}

FailureChoice ChooseFileFailure(bool canceled, const std::wstring& fileName,
                                const std::wstring& errorMessage) {
    if (canceled) return {archive::fxaAbort, {}};
    std::wstring name = AsciiUpper(fileName);
    if (name == AsciiUpper(outside::kQuietEntryVorsel) ||
        name == AsciiUpper(outside::kQuietEntryMessages))
        return {archive::fxaIgnore, {}};
    return {archive::fxaIgnore, L"Chyba pri spracovaní archívu!\r\n" + errorMessage};
}

bool IsAdministratorsFile(const std::wstring& kitPath) {
    const std::wstring path = AsciiUpper(kitPath);
    if (IsDatabase(path)) return true;
    return std::any_of(outside::kAdministratorsConfs.begin(), outside::kAdministratorsConfs.end(),
                       [&](const wchar_t* name) { return path == AsciiUpper(name); });
}

bool IsKeptFromOpenFolder(const std::wstring& path) {
    const std::wstring upper = AsciiUpper(path);
    return IsDatabase(upper) || upper == AsciiUpper(outside::kAliasesConf) ||
           upper == AsciiUpper(outside::kServerLog);
}

bool IsKeptByRemoval(const std::wstring& path) {
    const std::wstring upper = AsciiUpper(path);
    return IsAdministratorsFile(path) || upper == AsciiUpper(outside::kServerConf) ||
           upper == AsciiUpper(outside::kServerLog);
}

bool IsProgramFile(const std::wstring& path) {
    const std::wstring upper = AsciiUpper(path);
    return std::any_of(outside::kProgramExtensions.begin(), outside::kProgramExtensions.end(),
                       [&](const wchar_t* extension) {
                           const std::wstring tail = AsciiUpper(extension);
                           return upper.size() > tail.size() && upper.ends_with(tail);
                       });
}

}  // namespace engine
