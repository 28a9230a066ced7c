// Why a folder is not taken as the server's: "Priečinok X" + kNotTaken + the
// reason. The tests hold the checks to these same texts.
#pragma once

namespace environment {

inline constexpr wchar_t kNotTaken[] =
    L" sa nepoužije ako priečinok Firebird SQL servera a žiadny program z neho sa nespustí: ";
inline constexpr wchar_t kNoInstance[] =
    L"žiadna zaregistrovaná inštancia Firebird SQL servera v ňom nemá svoj program.";

}  // namespace environment
