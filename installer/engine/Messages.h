// What the installation tells the user: failures, rollbacks, its questions
// and stops. The tests hold the engine to these same texts.
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
// Followed by why the deployment guard cannot be made.
inline constexpr wchar_t kGuardRefused[] =
    L"Inštalácia sa nespustila, pretože nie je možné zabezpečiť, aby na tomto počítači bežala "
    L"naraz iba jedna inštalácia: ";

// The kit: the progress page's status while it is installed, and why it
// cannot be used.
inline constexpr wchar_t kStatusInstalling[] = L"Inštalácia SQL servera";
inline constexpr wchar_t kOpenError[] = L"Chyba pri otváraní súboru: ";
// %s: the kit's file name; followed by why it cannot be used.
inline constexpr wchar_t kKitRefused[] = L"Inštalačný balík %s nie je možné použiť: ";
inline constexpr wchar_t kKitLacks[] = L"chýba v ňom súbor ";
// Questions before anything changes: kInFolder + folder + kAlreadyInstalled;
// kInFolder + folder + kOnPort + port + kOtherInstanceRuns.
inline constexpr wchar_t kInFolder[] = L"V priečinku: ";
inline constexpr wchar_t kAlreadyInstalled[] =
    L" je už nainštalovaný Firebird SQL server.\r\nSkutočne chcete prepísať inštaláciu?";
inline constexpr wchar_t kOnPort[] = L" na porte: ";
inline constexpr wchar_t kOtherInstanceRuns[] =
    L" beží iná inštancia Firebird SQL servera.\r\n"
    L"Inštaláciou Vášho servera túto inštanciu zastavíte.\r\n"
    L"Chcete napriek tomu pokračovať v inštalácii?";
// Logged after a question an unattended run answered No.
inline constexpr wchar_t kAnsweredNo[] = L"Odpoveď: Nie. Inštalácia bola zastavená.";
// %s: who still runs the application (WaitResult::stillRunning).
inline constexpr wchar_t kPostponed[] =
    L"Inštalácia bola odložená, pretože program Lumera SQL stále beží%s. Nič sa nezmenilo; "
    L"spustite inštaláciu neskôr znova.";

}  // namespace engine
