// What the installation tells the user when it fails or is rolled back. The
// tests hold the engine to these same texts.
#pragma once

namespace engine {

inline constexpr wchar_t kServerInUse[] =
    L"Aktuálny Firebird SQL server je používaný, nie je možné ho preinštalovať!";
inline constexpr wchar_t kGdsDeleteError[] = L"Chyba pri mazaní gds32.dll!";
// Followed by the reason the installation could not be completed.
inline constexpr wchar_t kRestored[] =
    L"Pôvodný Firebird SQL server bol obnovený, pretože inštaláciu nebolo možné dokončiť: ";
inline constexpr wchar_t kNothingLeft[] =
    L"Inštalácia Firebird SQL servera bola vrátená späť a na počítači nezostali žiadne jej "
    L"zmeny, pretože ju nebolo možné dokončiť: ";
inline constexpr wchar_t kCanceledNothingLeft[] =
    L"Inštalácia bola prerušená a na počítači nezostali žiadne jej zmeny.";
// An earlier run cut short, settled at the next start.
inline constexpr wchar_t kEarlierRolledBack[] =
    L"Predchádzajúca inštalácia Firebird SQL servera bola prerušená; pôvodný stav servera bol "
    L"obnovený.";
inline constexpr wchar_t kEarlierIncomplete[] =
    L"Predchádzajúca inštalácia Firebird SQL servera bola prerušená a jej zmeny sa nepodarilo "
    L"úplne vrátiť; obnova bude pokračovať pri ďalšom spustení inštalácie. Dovtedy sa nová "
    L"inštalácia nezačne.";

}  // namespace engine
