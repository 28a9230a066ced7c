// /CHECK: what a run with the same options would do on this PC now. It
// prints the run's own list (Preflight), which the run acts on, and changes
// nothing: no marker, no journal, no folder made or protected, no instance
// asked to end. A deployment tool uses it as its detection command.
#include "engine/Installation.h"
#include "engine/Preflight.h"
#include "platform/Text.h"

namespace engine {

namespace {

constexpr wchar_t kWouldSettle[] =
    L"Inštalácia by najprv vybavila záznam o predchádzajúcej prerušenej inštalácii.";
// %s: how many instances run.
constexpr wchar_t kWouldWait[] =
    L"Program Lumera SQL beží (počet inštancií: %s); inštalácia by čakala na jeho ukončenie.";
constexpr wchar_t kWouldPostpone[] =
    L"Program Lumera SQL beží (počet inštancií: %s); inštalácia by bola odložená.";
constexpr wchar_t kWouldAsk[] =
    L"Inštalácia by sa na to spýtala; bez odpovede Áno by bola zastavená.";

}  // namespace

CheckOutcome CheckInstallation(Installation& run, InstallerUi& ui) {
    CheckOutcome outcome;
    const auto note = [&](const std::wstring& line, int32_t code) {
        outcome.lines.push_back(line);
        if (code != kExitDone) outcome.exitCode = code;
    };
    if (run.state.journal.Exists()) note(kWouldSettle, kExitWouldChange);
    for (const PreflightLine& line : Preflight(run, ui)) {
        const std::wstring count = std::to_wstring(line.count);
        switch (line.kind) {
            case PreflightLine::kStop: note(line.text, line.code); return outcome;
            case PreflightLine::kAsk:
                // A check is unattended: only what a run asks of nobody stops it.
                if (line.asked == InstallerUi::Asked::kOnlyAttended) break;
                note(line.text + L"\r\n" + kWouldAsk, line.code);
                return outcome;
            case PreflightLine::kWait:
                if (line.count == 0) break;
                // Without a limit the run waits as long as they run, then goes on.
                if (run.waitSeconds < 0) {
                    note(platform::Fill(kWouldWait, {count}), kExitWouldChange);
                    break;
                }
                note(platform::Fill(kWouldPostpone, {count}), kExitPostponed);
                return outcome;
            case PreflightLine::kChange: note(line.text, line.code); break;
        }
    }
    return outcome;
}

}  // namespace engine
