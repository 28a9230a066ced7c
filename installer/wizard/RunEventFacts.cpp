// The wizard's side of the run's event (RunEvent.h): the facts from the
// run's record, the options and the page, or for a removal from the
// application's data.ini; the source registered and the event written when
// the exit code is final.
#include <optional>

#include "ProductVersion.h"
#include "engine/InstanceName.h"
#include "environment/ConfigFiles.h"
#include "environment/EventLog.h"
#include "environment/Folders.h"
#include "environment/Versions.h"
#include "outside/Outside.h"
#include "platform/Paths.h"
#include "toolkit/Application.h"
#include "wizard/LogEntry.h"
#include "wizard/RunEvent.h"
#include "wizard/Wizard.h"

namespace wizard {

namespace {

constexpr wchar_t kSourceNotRegistered[] =
    L"Zdroj udalostí Istrel sa nepodarilo zaregistrovať v denníku udalostí systému Windows; "
    L"udalosť sa zapíše bez registrácie. Príčina: ";
constexpr wchar_t kEventNotWritten[] =
    L"Udalosť s výsledkom inštalácie sa nepodarilo zapísať do denníka udalostí systému Windows. "
    L"Príčina: ";

// A version as the run's record keeps it (4000005), dotted; empty for none.
std::wstring DottedVersion(int32_t number) {
    if (number <= 0) return L"";
    return environment::FormatVersion(unsigned(number / 1000000), unsigned(number / 1000 % 1000),
                                      unsigned(number % 1000), environment::kVersionDottedForm);
}

// The server a removal was about, as data.ini names it. Its folder is read
// only where an installation would read it (a local fixed drive); its
// version is known while its files are there.
void AddRemovedServer(const std::wstring& appDir, RunFacts& facts) {
    if (appDir.empty()) return;
    const std::wstring ini = platform::WithDelimiter(appDir) + outside::kDataIni;
    const std::wstring program = environment::ReadFBServer(ini);
    if (program.empty()) return;
    facts.folder = environment::ParentDir(program);
    facts.mode = environment::ReadFBType(ini);
    using environment::ServerFolderTrust;
    if (environment::CheckServerFolder(facts.folder).trust == ServerFolderTrust::kUnknown) return;
    const environment::FoundPort found = environment::ReadFBPort(
        facts.folder + outside::kServerConf, ini, environment::PortSource::kServer);
    facts.port = found.text;
    if (found.port) facts.instance = engine::InstanceName(facts.folder, *found.port).Text();
    facts.server =
        environment::FormatVersion(environment::ReadFileVersion(facts.folder + outside::kClientDll),
                                   environment::kVersionDottedForm);
}

}  // namespace

RunFacts TWizard::EventFacts() const {
    RunFacts facts;
    facts.exitCode = exit_.Code();
    facts.explanation = reports_.ExitExplanation();
    if (m_logFd.IsOpen()) facts.setupLog = m_logFd.Path();
    facts.version = L"" ISTREL_VERSION_TEXT;
    if (options_.remove) {
        facts.action = RunAction::kRemove;
        AddRemovedServer(run_.appDir, facts);
        return facts;
    }
    // The plan the run acted on; before any, what the page says once the
    // start-up has filled it.
    const std::optional<engine::Plan> plan =
        plan_ ? plan_ : m_ActiveFrame ? PagePlan() : std::optional<engine::Plan>();
    if (!plan) return facts;
    facts.action = plan->installServer ? RunAction::kInstall : RunAction::kKeep;
    facts.server = DottedVersion(plan->installServer ? run_.m_nFBSetupVersion : run_.m_nFBVersion);
    facts.folder = plan->serverDir;
    facts.port = plan->port.Text();
    if (plan->mode) facts.mode = plan->mode->iniCode;
    facts.instance = engine::InstanceName(plan->serverDir, plan->port).Text();
    return facts;
}

void TWizard::WriteRunEvent() {
    // /CHECK and /? change nothing; a deployment tool runs /CHECK at every
    // evaluation, and its events would bury the runs'.
    if (eventWritten_ || run_.checkOnly || FindSwitches(arguments_).help)
        return;
    eventWritten_ = true;
    // Neither failure changes how the run ended: a line in the log, and on.
    // Not through the Reporter, whose last entry explains the exit code.
    try {
        environment::RegisterEventLogSource(kEventSource);
    } catch (...) {
        m_logFd.Write(LogEntry(kSourceNotRegistered + toolkit::Application::ExceptionText()));
    }
    try {
        const RunFacts facts = EventFacts();
        const RunEventKind kind = RunEventKindOf(facts.exitCode, facts.action);
        // The key=value line once more on its own, for a script that reads
        // the event's data rather than its message.
        environment::WriteEventLogEntry(kEventSource, kind.level, kind.id,
                                        {RunEventText(facts), RunKeyValues(facts)});
    } catch (...) {
        m_logFd.Write(LogEntry(kEventNotWritten + toolkit::Application::ExceptionText()));
    }
}

}  // namespace wizard
