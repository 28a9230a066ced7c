// Why the wizard cannot go on: the texts its start-up, parameters page and
// blocked dialog show. The tests hold the wizard to these same texts.
#pragma once

namespace wizard {

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

}  // namespace wizard
