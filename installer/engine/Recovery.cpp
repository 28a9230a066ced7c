// Giving the PC back its previous server: a failed or cancelled
// deployment's rollback and its report, and the settlement of an earlier
// run's journal.
#include <exception>
#include <vector>

#include "engine/Messages.h"
#include "engine/Steps.h"
#include "engine/Tools.h"
#include "platform/Errors.h"
#include "platform/Text.h"

namespace engine {

namespace {

constexpr wchar_t kStatusRestoring[] = L"Obnovuje sa pôvodný Firebird SQL server...";
constexpr wchar_t kCanceledRestored[] =
    L"Inštalácia bola prerušená a pôvodný Firebird SQL server bol obnovený.";
constexpr wchar_t kNotRestored[] =
    L"Pôvodný Firebird SQL server sa nepodarilo úplne obnoviť; obnova bude pokračovať pri "
    L"ďalšom spustení inštalácie. Príčina: ";
constexpr wchar_t kEarlierCompleted[] =
    L"Predchádzajúca inštalácia Firebird SQL servera bola prerušená po spustení servera; jej "
    L"posledné kroky boli dokončené.";
constexpr wchar_t kEarlierRemovalCompleted[] =
    L"Predchádzajúce odstránenie Firebird SQL servera bolo prerušené po vymazaní jeho programov; "
    L"jeho posledný krok bol dokončený.";
constexpr wchar_t kUnexpected[] = L"Neočakávaná chyba.";
// The previous server back in all but one thing: an instance of it that ran
// does not run again (its port taken since, its program held).
constexpr wchar_t kBackNotRunning[] =
    L"Súbory a nastavenia pôvodného Firebird SQL servera boli obnovené, ale %s. Inštaláciu "
    L"nebolo možné dokončiť: ";
constexpr wchar_t kCanceledBackNotRunning[] =
    L"Inštalácia bola prerušená; súbory a nastavenia pôvodného Firebird SQL servera boli "
    L"obnovené, ale %s.";
constexpr wchar_t kEarlierBackNotRunning[] =
    L"Predchádzajúca inštalácia Firebird SQL servera bola prerušená; súbory a nastavenia "
    L"pôvodného servera boli obnovené, ale %s.";

// kBackNotRunning and its kin with the instances named.
std::wstring NotRunningText(const wchar_t* pattern, const std::vector<std::wstring>& instances) {
    std::wstring names;
    for (const std::wstring& instance : instances) names += (names.empty() ? L"" : L", ") + instance;
    const std::wstring clause = instances.size() == 1
                                    ? L"jeho inštancia " + names + L" sa nespustila"
                                    : L"jeho inštancie " + names + L" sa nespustili";
    return platform::Fill(pattern, {clause});
}

// A committed deployment whose last steps were cut short: what the
// successful run would have done after the running check.
void FinishCommittedRun(InstallerUi& ui, const DeploymentHeader& header, bool firewallDone) {
    // A removal's only step after the commit; the application is not touched.
    if (header.removesServer) {
        if (!firewallDone) CloseFirewall(header.serverDir, ui);
        return;
    }
    std::wstring gdsSource;
    if (header.installsServer) {
        gdsSource = header.serverDir + outside::kClient32Dll;
        if (!firewallDone) OpenFirewall(header.serverDir, ui);
    }
    PlaceClientFiles(header, gdsSource, ui);
    PlaceBackupTool(header.appDir, header.installerDir, ui);
    WriteDataIni(header, ui);
}

}  // namespace

DeploymentHeader HeaderFor(const Installation& run, bool installsServer) {
    return {installsServer,
            run.appDir,
            run.serverDir,
            run.port.Text(),
            run.mode ? run.mode->iniCode : L"",
            run.state.places.installerDir};
}

std::wstring CurrentErrorText() {
    try {
        throw;
    } catch (const platform::Error& e) {
        return e.Message();
    } catch (const archive::ArchiveError& e) {
        return e.Message();
    } catch (...) {
        return kUnexpected;
    }
}

int32_t Outcome::ExitCode() const {
    switch (kind) {
        case kRefused: return errorsReported ? kExitFailed : kExitNotStarted;
        case kFailed: return kExitFailed;
        default: break;
    }
    if (errorsReported) return kExitFailed;
    switch (kind) {
        case kStopped:
        case kCancelled: return kExitStopped;
        case kPostponed: return kExitPostponed;
        default: return kExitDone;
    }
}

Outcome AsOneTransaction(const Transaction& tx, const std::function<bool()>& body,
                         const RollBackWith& rollBack) {
    std::optional<std::wstring> failure;
    try {
        if (body()) return {};
    } catch (...) {
        // After the commit there is nothing to give back.
        if (tx.Committed()) throw;
        failure = CurrentErrorText();
    }
    return rollBack(failure);
}

Outcome RollBackInstallation(RunState& state, InstallerUi& ui,
                             const std::optional<std::wstring>& failure) {
    ui.ExtendProgress(0, kStatusRestoring);
    ui.KeepResponsive();
    const SettleResult result = RollBack(state.m_Journal, state.m_ServerPath);
    if (result.outcome == Settled::kIncomplete)
        return {Outcome::kFailed, kNotRestored + failure.value_or(kCanceledNothingLeft)};
    if (!result.notRunning.empty())
        return {Outcome::kFailed,
                failure ? NotRunningText(kBackNotRunning, result.notRunning) + *failure
                        : NotRunningText(kCanceledBackNotRunning, result.notRunning)};
    if (!failure)
        return {Outcome::kCancelled, result.hadPreviousServer ? kCanceledRestored : kCanceledNothingLeft};
    return {Outcome::kFailed, (result.hadPreviousServer ? kRestored : kNothingLeft) + *failure};
}

Outcome SettleEarlierRun(Journal& journal, InstallerUi& ui) {
    // Told when it was held; the next start tries again.
    if (journal.Unsettled()) return {Outcome::kFailed, L""};
    bool removal = false;
    const SettleResult result =
        SettleJournal(journal, [&](const DeploymentHeader& header, bool firewallDone) {
            removal = header.removesServer;
            FinishCommittedRun(ui, header, firewallDone);
        });
    switch (result.outcome) {
        case Settled::kNothing: return {};
        case Settled::kRolledBack:
            // Settled all the same: a new run may go on and set a server up.
            if (!result.notRunning.empty())
                ui.ReportError(NotRunningText(kEarlierBackNotRunning, result.notRunning));
            else
                ui.Inform(kEarlierRolledBack);
            return {};
        case Settled::kCompleted:
            ui.Inform(removal ? kEarlierRemovalCompleted : kEarlierCompleted);
            return {};
        case Settled::kIncomplete: return {Outcome::kFailed, kEarlierIncomplete};
        case Settled::kRefused: return {Outcome::kFailed, result.why};
    }
    return {Outcome::kFailed, L""};
}

}  // namespace engine
