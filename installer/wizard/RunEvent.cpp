#include "wizard/RunEvent.h"

#include <utility>

#include "engine/Engine.h"

namespace wizard {

namespace {

using environment::EventLevel;

struct EventColumn {
    RunEventKind kind;
    const wchar_t* headline;  // what was done or why not
};
// One row per exit code: an installation's event (a kept server's too),
// then a removal's. Only a finished run tells the two apart by its ID.
struct EventRow {
    int32_t exitCode;
    EventColumn install;
    EventColumn remove;
};
constexpr EventRow kEventRows[] = {
    {engine::kExitDone,
     {{1000, EventLevel::kInformation}, L"Inštalácia Firebird SQL servera skončila úspešne."},
     {{1001, EventLevel::kInformation}, L"Odstránenie Firebird SQL servera skončilo úspešne."}},
    {engine::kExitPostponed,
     {{1010, EventLevel::kWarning}, L"Inštalácia Firebird SQL servera bola odložená."},
     {{1010, EventLevel::kWarning}, L"Odstránenie Firebird SQL servera bolo odložené."}},
    {engine::kExitStopped,
     {{1011, EventLevel::kWarning}, L"Inštalácia Firebird SQL servera bola zastavená."},
     {{1011, EventLevel::kWarning}, L"Odstránenie Firebird SQL servera bolo zastavené."}},
    {engine::kExitFailed,
     {{1020, EventLevel::kError}, L"Inštalácia Firebird SQL servera skončila s chybou."},
     {{1020, EventLevel::kError}, L"Odstránenie Firebird SQL servera skončilo s chybou."}},
    {engine::kExitNotStarted,
     {{1021, EventLevel::kError}, L"Inštalácia Firebird SQL servera sa nezačala."},
     {{1021, EventLevel::kError}, L"Odstránenie Firebird SQL servera sa nezačalo."}},
};

const EventRow& EventRowOf(int32_t exitCode) {
    for (const EventRow& row : kEventRows)
        if (row.exitCode == exitCode) return row;
    // A code no run ends with says no more than a failure.
    return EventRowOf(engine::kExitFailed);
}

const EventColumn& EventColumnOf(int32_t exitCode, RunAction action) {
    const EventRow& row = EventRowOf(exitCode);
    return action == RunAction::kRemove ? row.remove : row.install;
}

const wchar_t* ActionName(RunAction action) {
    switch (action) {
        case RunAction::kKeep:
            return L"keep";
        case RunAction::kRemove:
            return L"remove";
        case RunAction::kInstall:
            break;
    }
    return L"install";
}

// Printable ASCII but the blank and the double quote: a value of only
// these reads back by splitting at blanks.
bool StandsBare(const std::wstring& value) {
    for (wchar_t c : value)
        if (c <= L' ' || c > L'~' || c == L'"') return false;
    return true;
}

std::wstring KeyValue(const wchar_t* key, const std::wstring& value) {
    std::wstring pair = std::wstring(key) + L"=";
    if (StandsBare(value)) return pair + value;
    pair += L'"';
    for (wchar_t c : value) pair += c == L'"' ? std::wstring(L"\"\"") : std::wstring(1, c);
    return pair + L'"';
}

}  // namespace

RunEventKind RunEventKindOf(int32_t exitCode, RunAction action) {
    return EventColumnOf(exitCode, action).kind;
}

std::wstring RunKeyValues(const RunFacts& facts) {
    const std::pair<const wchar_t*, std::wstring> pairs[] = {
        {L"version", facts.version},
        {L"action", ActionName(facts.action)},
        {L"exit", std::to_wstring(facts.exitCode)},
        {L"server", facts.server},
        {L"folder", facts.folder},
        {L"port", facts.port},
        {L"mode", facts.mode},
        {L"instance", facts.instance},
    };
    std::wstring line;
    for (const auto& [key, value] : pairs) {
        if (!line.empty()) line += L' ';
        line += KeyValue(key, value);
    }
    return line;
}

std::wstring RunEventText(const RunFacts& facts) {
    const std::wstring log = facts.setupLog.empty() ? L"Záznam inštalácie nebol zapísaný."
                                                    : L"Záznam inštalácie: " + facts.setupLog;
    return std::wstring(EventColumnOf(facts.exitCode, facts.action).headline) + L"\r\n" +
           facts.explanation + L"\r\n" + log + L"\r\n" + RunKeyValues(facts);
}

}  // namespace wizard
