#include "engine/FilePolicy.h"

#include <algorithm>

#include "outside/Outside.h"
#include "platform/PathText.h"

namespace engine {

namespace {

using platform::FoldedAscii;

bool IsDatabase(const std::wstring& upperPath) {
    return upperPath.ends_with(FoldedAscii(outside::kDatabaseExtension));
}

}  // namespace

bool IsDatabaseFile(const std::wstring& path) {
    return IsDatabase(FoldedAscii(path));
}

bool IsAdministratorsFile(const std::wstring& kitPath) {
    const std::wstring path = FoldedAscii(kitPath);
    if (IsDatabase(path)) return true;
    return std::any_of(outside::kAdministratorsConfs.begin(), outside::kAdministratorsConfs.end(),
                       [&](const wchar_t* name) { return path == FoldedAscii(name); });
}

bool IsKeptFromOpenFolder(const std::wstring& path) {
    const std::wstring upper = FoldedAscii(path);
    return IsDatabase(upper) || upper == FoldedAscii(outside::kAliasesConf) ||
           upper == FoldedAscii(outside::kServerLog);
}

bool IsKeptByRemoval(const std::wstring& path) {
    const std::wstring upper = FoldedAscii(path);
    return IsAdministratorsFile(path) || upper == FoldedAscii(outside::kServerConf) ||
           upper == FoldedAscii(outside::kServerLog);
}

bool IsProgramFile(const std::wstring& path) {
    const std::wstring upper = FoldedAscii(path);
    return std::any_of(outside::kProgramExtensions.begin(), outside::kProgramExtensions.end(),
                       [&](const wchar_t* extension) {
                           const std::wstring tail = FoldedAscii(extension);
                           return upper.size() > tail.size() && upper.ends_with(tail);
                       });
}

}  // namespace engine
