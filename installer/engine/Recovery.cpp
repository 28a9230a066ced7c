// Giving the PC back its previous server: a failed or cancelled
// deployment's rollback and its report, and the settlement of an earlier
// run's journal.
#include <exception>
#include <vector>

#include "engine/ApplicationFiles.h"
#include "engine/Messages.h"
#include "engine/Rollback.h"
#include "engine/Tools.h"
#include "environment/Folders.h"
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
// %s: what is missing, each with how to mend it.
constexpr wchar_t kEarlierNotComplete[] =
    L"Predchádzajúca inštalácia Firebird SQL servera bola prerušená po spustení servera; jej "
    L"posledné kroky boli dokončené, ale %s.";
// %s: the instance, twice.
constexpr wchar_t kInstanceNotRunning[] =
    L"jeho inštancia %s nebeží (spustite ju príkazom sc start FirebirdServer%s, keď bude jej "
    L"port voľný, alebo spustite inštaláciu znova)";
// %s: the server folder.
constexpr wchar_t kServerFilesMissing[] =
    L"v priečinku %s chýba program servera (spustite inštaláciu znova)";
constexpr wchar_t kFirewallRuleMissing[] =
    L"chýba pravidlo brány firewall (otvorte port servera vo firewalle ručne)";
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
// successful run would have done after the running check. False when its
// firewall rule could not be made or deleted (reported).
bool FinishCommittedRun(InstallerUi& ui, const DeploymentHeader& header,
                        const std::vector<JournalRecord>& records) {
    const bool whole = Recorded(records, journal::kFirewall) || FirewallRule(header, ui);
    // A removal's only step after the commit; the application is not touched.
    if (header.removesServer) return whole;
    const std::wstring gdsSource =
        header.installsServer ? header.serverDir + outside::kClient32Dll : L"";
    PlaceClientFiles(header, gdsSource, ui);
    PlaceBackupTool(header.appDir, header.installerDir, ui);
    WriteDataIni(header, ui);
    return whole;
}

// What a completed settlement found missing, each with how to mend it;
// nothing when the earlier run's server runs with its files and rule.
std::vector<std::wstring> StillMissing(const SettleResult& result, const DeploymentHeader& header,
                                       bool firewallMade) {
    std::vector<std::wstring> missing;
    for (const std::wstring& instance : result.notRunning)
        missing.push_back(platform::Fill(kInstanceNotRunning, {instance, instance}));
    if (header.installsServer && !environment::IsFBInstalled(header.serverDir))
        missing.push_back(platform::Fill(kServerFilesMissing, {header.serverDir}));
    if (!firewallMade) missing.push_back(kFirewallRuleMissing);
    return missing;
}

// Completed only when what the earlier run set up is there: else what is
// missing and how to mend it, as an error (nothing is undone after a commit).
Outcome ReportCompleted(InstallerUi& ui, const SettleResult& result, const DeploymentHeader& header,
                        bool firewallMade) {
    if (header.removesServer) {
        // A rule that stays was reported with what to do.
        if (firewallMade) ui.Inform(kEarlierRemovalCompleted);
        return {};
    }
    const std::vector<std::wstring> missing = StillMissing(result, header, firewallMade);
    if (missing.empty()) {
        ui.Inform(kEarlierCompleted);
        return {};
    }
    std::wstring what;
    for (const std::wstring& item : missing) what += (what.empty() ? L"" : L"; ") + item;
    ui.ReportError(platform::Fill(kEarlierNotComplete, {what}));
    return {};
}

// The text of the exception being handled, for the user.
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

}  // namespace

DeploymentHeader HeaderFor(const Installation& run, bool installsServer) {
    return {installsServer,
            run.appDir,
            run.serverDir,
            run.port,
            run.mode ? run.mode->iniCode : L"",
            run.state.places.installerDir};
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
    const SettleResult result = RollBack(state.journal, state.serverPath);
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
    DeploymentHeader header;
    bool firewallMade = true;
    const SettleResult result =
        SettleJournal(journal, [&](const DeploymentHeader& h, const std::vector<JournalRecord>& records) {
            header = h;
            firewallMade = FinishCommittedRun(ui, h, records);
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
        case Settled::kCompleted: return ReportCompleted(ui, result, header, firewallMade);
        case Settled::kIncomplete: return {Outcome::kFailed, kEarlierIncomplete};
        case Settled::kRefused: return {Outcome::kFailed, result.why};
    }
    return {Outcome::kFailed, L""};
}

}  // namespace engine
