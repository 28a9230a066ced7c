// What the installation tells the user: failures, rollbacks, its questions
// and stops. The tests hold the engine to these same texts.
#pragma once

namespace engine {

// What a sentence of a run that cannot start begins with.
inline constexpr wchar_t kCannotGoOn[] = L"Inštalácia nemôže pokračovať. ";

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

// The server folder and the folders on the way to it, which the service's
// program path goes through. %s: the folder.
inline constexpr wchar_t kPathLink[] =
    L"Priečinok %s na ceste k serveru je odkaz na iné miesto; inštalácia cezeň nič nezapíše.";
inline constexpr wchar_t kPathForeignOwner[] =
    L"Priečinok %s na ceste k serveru patrí používateľovi, ktorý nie je administrátor; mohol by "
    L"ho podvrhnúť.";
inline constexpr wchar_t kPathAppeared[] =
    L"Priečinok %s na ceste k serveru medzitým vytvoril niekto iný; inštalácia ho nepoužije.";
inline constexpr wchar_t kPathParentOpen[] =
    L"Priečinok %s na ceste k serveru by mohli premenovať aj iní používatelia, pretože im to "
    L"dovoľuje priečinok nad ním; inštalácia cezeň nič nezapíše.";
// %s: the folder, then the system's reason.
inline constexpr wchar_t kPathUnreadable[] =
    L"Priečinok %s na ceste k serveru sa nedá otvoriť: %s";
// What makes a folder one that users could have written. %s: the entry.
inline constexpr wchar_t kEntryOpen[] = L"%s môžu meniť aj iní používatelia";
inline constexpr wchar_t kEntryLink[] = L"%s je odkaz na iné miesto";
inline constexpr wchar_t kEntryUnreadable[] = L"%s sa nedá prečítať";
// %s: the server folder, then the finding above.
inline constexpr wchar_t kForeignFolder[] =
    L"Priečinok %s mohol zmeniť aj iný používateľ ako administrátor (%s) a nie je v ňom "
    L"zaregistrovaný Firebird SQL server. Inštalácia z neho nič neprevezme ani nespustí: "
    L"presuňte ho alebo vymažte a spustite inštaláciu znova.";
inline constexpr wchar_t kFolderWasOpen[] =
    L"Priečinok servera %s mohol zmeniť aj iný používateľ ako administrátor (%s). Inštalácia "
    L"jeho programy nespustila, odložila ho a namiesto neho vytvorila nový priečinok s právami "
    L"len pre administrátorov; preniesla doň len kópie databáz, databases.conf a firebird.log, "
    L"ostatné súbory sú z inštalačného balíka a odložený priečinok vymazala.";
// %s: the server folder, then the system's reason.
inline constexpr wchar_t kCannotSetAside[] = L"Priečinok servera %s sa nedá odložiť: %s";
// %s: megabytes needed, megabytes free.
inline constexpr wchar_t kNoRoomForData[] =
    L"Na disku servera nie je dosť miesta pre nový server a kópiu databáz (treba %s MB, voľných "
    L"je %s MB).";
// %s: a file of an open server folder with a further name.
inline constexpr wchar_t kNotCarriedSecondName[] =
    L"Súbor %s má ešte ďalšie meno (pevný odkaz), a preto ho inštalácia do nového priečinka "
    L"servera neprevzala.";
// %s: the set-aside folder.
inline constexpr wchar_t kAsideLeft[] =
    L"Odložený priečinok %s sa nepodarilo celý vymazať; vymažte ho, prosím, ručne.";
// %s: the server folder, then what makes it untrusted.
inline constexpr wchar_t kForeignPrograms[] =
    L"Programy servera v priečinku %s sa nespustia: %s, takže ich mohol podvrhnúť iný používateľ.";
// A folder link in an open server folder. %s: the finding (kEntryLink).
inline constexpr wchar_t kLinkInside[] =
    L"%s; inštalácia cezeň nič nezapíše. Odstráňte ho a spustite inštaláciu znova.";
// %s: the folder that users could rename before.
inline constexpr wchar_t kDeniedDelete[] =
    L"Priečinok %s mohli premenovať alebo vymazať aj iní používatelia; inštalácia im to "
    L"zakázala, aby cestu k serveru nikto nemohol podvrhnúť.";
// %s: the installer's folder, then what makes it open to others.
inline constexpr wchar_t kInstallerFolderOpen[] =
    L"Inštalácia sa nespustila, pretože inštalačný program a balík v priečinku %s mohol zmeniť "
    L"aj iný používateľ ako administrátor (%s); inštalácia beží s právami administrátora a "
    L"spustila by, čo by tam podvrhol. Skopírujte Istrel.exe, Quenlet.exe a "
    L"firebird_4_0_x64.zip do priečinka, do ktorého môžu zapisovať len administrátori (napríklad "
    L"C:\\Program Files\\Velmora\\istrel-kit), a spustite inštaláciu odtiaľ. Inštalácia nič "
    L"nezmenila.";
// %s: the kept file another program holds open.
inline constexpr wchar_t kKeptFileHeld[] =
    L"Súbor %s má otvorený iný program, takže by ho mohol meniť aj po inštalácii. Ukončite ho "
    L"a spustite inštaláciu znova.";

}  // namespace engine
