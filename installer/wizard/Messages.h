// The window's title, and why the wizard cannot go on: the texts its
// start-up, parameters page and blocked dialog show. The tests hold the
// wizard to these same texts.
#pragma once

namespace wizard {

inline constexpr wchar_t kWindowTitle[] =
    L"Lumera SQL      - inštalácia Firebird Servera 64 bitová verzia";

inline constexpr wchar_t kNoApplication[] =
    L"Inštalácia nemôže pokračovať. Nainštalujte najprv program Lumera SQL.";
inline constexpr wchar_t kAnotherRunning[] =
    L"Inštalácia sa nespustila, pretože na tomto počítači už beží iná inštalácia Firebird SQL "
    L"servera. Spustite ju neskôr znova.";
inline constexpr wchar_t kNotLocalFixed[] =
    L"Firebird nie je možné nainštalovať. Vyberte aplikáciu na lokálnom pevnom disku!";
inline constexpr wchar_t kWaitingText[] =
    L"Inštalácia nemôže pokračovať. Čaká sa na ukončenie programu na nasledovných počítačoch:";
inline constexpr wchar_t kExecutableText[] =
    L"Inštalácia nemôže pokračovať, aktuálny SQL server je používaný a nedá sa nahradiť.";
// The port rule: the box on the page; unattended the start-up ends with
// kCannotGoOn + kWrongPort + the port, a line break, kPortRule + kPortOption.
inline constexpr wchar_t kPortRule[] = L"Zadajte číslo portu od 1 do 65535.";
inline constexpr wchar_t kCannotGoOn[] = L"Inštalácia nemôže pokračovať. ";
inline constexpr wchar_t kWrongPort[] = L"Chybný port servera: ";
inline constexpr wchar_t kPortOption[] = L" Port sa zadáva parametrom /PORT=číslo.";

}  // namespace wizard
