// /CHECK: what a run with the same options would do on this PC now. It
// reads and checks what the install sequence reads and checks before its
// first change, in the same order, and changes nothing: no marker, no
// journal, no folder made or protected, no instance asked to end. A
// deployment tool uses it as its detection command.
#include <optional>

#include "engine/CommandLines.h"
#include "engine/Messages.h"
#include "engine/ServerFolder.h"
#include "engine/Steps.h"
#include "environment/ConfigFiles.h"
#include "environment/Folders.h"
#include "environment/Instances.h"
#include "environment/Ports.h"
#include "environment/Versions.h"
#include "platform/Text.h"

namespace engine {

namespace {

using platform::Fill;

// %s: version, folder, port, mode.
constexpr wchar_t kWouldInstall[] =
    L"Inštalácia by nainštalovala Firebird SQL server %s do priečinka %s na port %s, režim %s.";
// %s: the installed version, the folder.
constexpr wchar_t kWouldReplace[] =
    L"Inštalácia by nahradila Firebird SQL server %s v priečinku %s; jeho databázy a nastavenia "
    L"by ponechala.";
// %s: the finding that makes the folder open to users.
constexpr wchar_t kWouldProtect[] =
    L"Priečinok servera mohol zmeniť aj iný používateľ ako administrátor (%s); inštalácia by mu "
    L"nastavila práva len pre administrátorov.";
// %s: old port, new port.
constexpr wchar_t kWouldMove[] = L"Inštalácia by presunula ponechaný server z portu %s na port %s.";
// %s: old mode, new mode (data.ini codes).
constexpr wchar_t kWouldChangeMode[] =
    L"Inštalácia by zmenila režim ponechaného servera z %s na %s.";
// %s: version, folder, port, mode.
constexpr wchar_t kNothingToChange[] =
    L"Inštalácia by nič nezmenila: Firebird SQL server %s v priečinku %s beží na porte %s, "
    L"režim %s.";
// As kNothingToChange, for an instance that does not run (a run would not
// start it). %s: version, folder, port, mode, the instance twice.
constexpr wchar_t kNothingToChangeStopped[] =
    L"Inštalácia by nič nezmenila: Firebird SQL server %s v priečinku %s je nainštalovaný na "
    L"porte %s, režim %s, ale jeho inštancia %s nebeží; spustite ju príkazom sc start "
    L"FirebirdServer%s.";
constexpr wchar_t kWouldSettle[] =
    L"Inštalácia by najprv vybavila záznam o predchádzajúcej prerušenej inštalácii.";
// %s: how many instances run.
constexpr wchar_t kWouldWait[] =
    L"Program Lumera SQL beží (počet inštancií: %s); inštalácia by čakala na jeho ukončenie.";
constexpr wchar_t kWouldPostpone[] =
    L"Program Lumera SQL beží (počet inštancií: %s); inštalácia by bola odložená.";
constexpr wchar_t kWouldAsk[] =
    L"Inštalácia by sa na to spýtala; bez odpovede Áno by bola zastavená.";
constexpr wchar_t kNoServerChange[] =
    L"Inštalácia by Firebird SQL server nenainštalovala ani nezmenila.";

std::wstring Dotted(const std::optional<environment::FileVersion>& version) {
    const std::wstring text = environment::FormatVersion(version, environment::kVersionDottedForm);
    return text.empty() ? L"?" : text;
}

std::optional<environment::FileVersion> KitVersion(const std::wstring& kitPath) {
    try {
        return environment::ReadEntryVersion(kitPath, outside::kClientDll);
    } catch (...) {
        return std::nullopt;  // the kit check that follows says why
    }
}

class Check {
public:
    Check(Installation& run, InstallerUi& ui) : run_(run), ui_(ui) {}

    CheckOutcome Run() {
        if (run_.state.m_Journal.Exists()) Change(kWouldSettle);
        return run_.installServer ? Install() : Keep();
    }

private:
    CheckOutcome Install() {
        std::wstring other;
        if (!environment::IsPortFree(run_.serverDir, run_.port, other))
            return Stop(kExitStopped, kInFolder + other + kOnPort + run_.port.Text() +
                                          kOtherInstanceRuns + L"\r\n" + kWouldAsk);
        if (const int running = environment::CountRunningInstances(AppDir())) {
            // Without a limit the run waits as long as they run, then goes on.
            if (run_.waitSeconds >= 0)
                return Stop(kExitPostponed, Fill(kWouldPostpone, {std::to_wstring(running)}));
            Change(Fill(kWouldWait, {std::to_wstring(running)}));
        }
        if (const std::optional<std::wstring> refused = KitRefusal(run_))
            return Stop(kExitFailed, *refused);
        if (const std::optional<CheckOutcome> stop = CheckPath()) return *stop;
        const FolderTrust trust = JudgeServerFolder(run_);
        if (!trust.trusted && !trust.known)
            return Stop(kExitFailed, Fill(kForeignFolder, {run_.serverDir, trust.finding}));
        if (!trust.trusted) Change(Fill(kWouldProtect, {trust.finding}));
        if (environment::IsFBInstalled(run_.serverDir))
            Change(Fill(kWouldReplace,
                        {Dotted(environment::ReadFileVersion(run_.serverDir + outside::kClientDll)),
                         run_.serverDir}));
        Change(Fill(kWouldInstall, {Dotted(KitVersion(run_.state.places.KitPath())), run_.serverDir,
                                    run_.port.Text(), Mode()}));
        return outcome_;
    }

    // A kept server counts as installed only when a run could also move
    // it: the same trust rules stop it otherwise.
    CheckOutcome Keep() {
        if (!IsKnownServer(run_, ui_)) return Stop(kExitFailed, kNoServerChange);
        if (const std::optional<CheckOutcome> stop = CheckPath()) return *stop;
        if (const FolderTrust trust = JudgeServerFolder(run_); !trust.trusted)
            return Stop(kExitFailed, Fill(kForeignPrograms, {run_.serverDir, trust.finding}));
        const std::wstring ini = AppDir() + outside::kDataIni;
        const std::wstring known = environment::ReadFBPort(run_.serverDir + outside::kServerConf,
                                                           ini, environment::PortSource::kAgreed);
        const std::wstring storedMode = environment::ReadFBType(ini);
        const std::wstring mode = run_.mode ? run_.mode->iniCode : L"";
        if (environment::Port::Parse(known) != run_.port)
            Change(Fill(kWouldMove, {known.empty() ? L"?" : known, run_.port.Text()}));
        if (storedMode != mode)
            Change(Fill(kWouldChangeMode, {storedMode.empty() ? L"?" : storedMode, mode}));
        if (outcome_.exitCode != kExitDone) return outcome_;
        const std::wstring version =
            Dotted(environment::ReadFileVersion(run_.serverDir + outside::kClientDll));
        const std::wstring instance = InstanceName(run_.serverDir, run_.port);
        // Installed all the same: a run would not start it either.
        if (FindInstance(run_, run_.port) != SERVICE_RUNNING)
            outcome_.lines.push_back(
                Fill(kNothingToChangeStopped,
                     {version, run_.serverDir, run_.port.Text(), Mode(), instance, instance}));
        else
            outcome_.lines.push_back(
                Fill(kNothingToChange, {version, run_.serverDir, run_.port.Text(), Mode()}));
        return outcome_;
    }

    // The folders on the way, checked and held as a deployment holds them,
    // but none made.
    std::optional<CheckOutcome> CheckPath() {
        if (const platform::HeldPath::Problem problem = run_.state.m_ServerPath.Hold(run_.serverDir))
            return Stop(kExitFailed, PathProblemText(problem));
        return std::nullopt;
    }

    void Change(const std::wstring& line) {
        outcome_.lines.push_back(line);
        outcome_.exitCode = kExitWouldChange;
    }

    CheckOutcome Stop(int32_t code, const std::wstring& line) {
        outcome_.lines.push_back(line);
        outcome_.exitCode = code;
        return outcome_;
    }

    std::wstring AppDir() const {
        return WithDelimiter(run_.shownAppDir.empty() ? run_.appDir : run_.shownAppDir);
    }
    std::wstring Mode() const { return run_.mode ? run_.mode->confValue : L"?"; }

    Installation& run_;
    InstallerUi& ui_;
    CheckOutcome outcome_;
};

}  // namespace

CheckOutcome CheckInstallation(Installation& run, InstallerUi& ui) {
    return Check(run, ui).Run();
}

}  // namespace engine
