// /REMOVE: the server this installer set up for the application, taken off
// the PC as one transaction. Its instance goes through its own service
// tool, its programs and libraries are moved aside and deleted only once
// nothing failed, the firewall rule goes last. What the administrator made
// their own stays in the folder, and the application is not touched.
#include <algorithm>
#include <optional>
#include <set>

#include "archive/ArchiveReader.h"
#include "engine/CommandLines.h"
#include "engine/ExtractionRules.h"
#include "engine/Messages.h"
#include "engine/ServerFolder.h"
#include "engine/Steps.h"
#include "engine/Tools.h"
#include "environment/ConfText.h"
#include "environment/ConfigFiles.h"
#include "environment/Folders.h"
#include "environment/Instances.h"
#include "platform/Errors.h"
#include "platform/Security.h"
#include "platform/Text.h"

namespace engine {

namespace {

using platform::Fill;

constexpr wchar_t kNoServerNamed[] =
    L"V súbore data.ini programu Lumera SQL nie je zapísaný Firebird SQL server; nie je čo "
    L"odstrániť.";
// %s: the folder.
constexpr wchar_t kNoServerThere[] =
    L"V priečinku %s nie je Firebird SQL server; nie je čo odstrániť.";
constexpr wchar_t kNotRemoving[] = L" Odstránenie servera nič nezmenilo.";
// %s: the service the installer would have made, the folder.
constexpr wchar_t kNotOwnInstance[] =
    L"Služba %s, ktorú by vytvoril tento inštalátor, nie je zaregistrovaná pre server "
    L"v priečinku %s; server s inou inštanciou inštalátor neodstráni.";
// %s: the port read from firebird.conf.
constexpr wchar_t kBadPort[] = L"Port servera %s nie je číslo od 1 do 65535.";
// %s: folder, instance, port.
constexpr wchar_t kRemoveQuestion[] =
    L"Odstrániť Firebird SQL server v priečinku %s (inštancia %s na porte %s)?\r\n"
    L"Programy servera sa vymažú. V priečinku zostanú databázy (*.fdb), firebird.conf, "
    L"databases.conf, plugins.conf, fbtrace.conf, replication.conf, firebird.log a súbory, "
    L"ktoré inštalačný balík neobsahuje. Program Lumera SQL bez servera nebude pracovať.";
// %s: folder, instance.
constexpr wchar_t kRemoved[] =
    L"Firebird SQL server v priečinku %s (inštancia %s) bol odstránený. Databázy, "
    L"konfiguračné súbory a firebird.log zostali v priečinku.";
// %s: the instance. Followed by why.
constexpr wchar_t kRemovalUndone[] =
    L"Firebird SQL server nebol odstránený a jeho inštancia %s znova beží, pretože odstránenie "
    L"nebolo možné dokončiť: ";
constexpr wchar_t kRemovalUndoneNotRunning[] =
    L"Firebird SQL server nebol odstránený, ale jeho inštancia %s sa znova nespustila. "
    L"Odstránenie nebolo možné dokončiť: ";
constexpr wchar_t kRemovalNotUndone[] =
    L"Firebird SQL server sa nepodarilo úplne obnoviť; obnova bude pokračovať pri ďalšom "
    L"spustení inštalácie. Odstránenie nebolo možné dokončiť: ";

// Program and library files below `serverDir` + `relative`, relative to
// `serverDir`; no link is followed (a trusted folder has none anyway).
void CollectPrograms(const std::wstring& serverDir, const std::wstring& relative,
                     std::vector<std::wstring>& found) {
    WIN32_FIND_DATAW data;
    platform::UniqueFindHandle find(FindFirstFileW((serverDir + relative + L"*").c_str(), &data));
    if (!find) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L".." || (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectPrograms(serverDir, relative + name + L"\\", found);
        else if (IsProgramFile(name))
            found.push_back(relative + name);
    } while (FindNextFileW(find.get(), &data));
}

class Removal {
public:
    Removal(Installation& run, InstallerUi& ui) : run_(run), ui_(ui) {}

    Outcome Run() {
        const std::wstring appDir = WithDelimiter(run_.appDir);
        const std::wstring ini = appDir + outside::kDataIni;
        const std::wstring program = environment::ReadFBServer(ini);
        if (program.empty()) return Nothing(kNoServerNamed);
        run_.serverDir = environment::ParentDir(program);
        const environment::ServerFolderCheck check = environment::CheckServerFolder(run_.serverDir);
        if (run_.serverDir.empty() || check.trust == environment::ServerFolderTrust::kNoServer)
            return Nothing(Fill(kNoServerThere, {run_.serverDir}));
        if (check.trust == environment::ServerFolderTrust::kUnknown)
            return Refused(check.reason + kNotRemoving);
        // The port the instance runs on: firebird.conf's, as an upgrade
        // finds the instance it replaces.
        const std::wstring confPort = environment::ReadFBPort(
            run_.serverDir + outside::kServerConf, ini, environment::PortSource::kServer);
        const std::optional<environment::Port> port = environment::Port::Parse(confPort);
        if (!port) return Refused(Fill(kBadPort, {confPort}) + kNotRemoving);
        run_.port = *port;
        instance_ = InstanceName(run_.serverDir, run_.port);
        if (FindInstance(run_, run_.port) == 0)
            return Refused(
                Fill(kNotOwnInstance, {ServiceName(run_.serverDir, run_.port), run_.serverDir}) +
                kNotRemoving);

        // Nothing of a folder a user could have written runs or goes:
        // refused before anything is asked or changed.
        {
            platform::HeldPath path;
            if (const platform::HeldPath::Problem problem = path.Hold(run_.serverDir))
                return Refused(PathProblemText(problem) + kNotRemoving);
        }
        if (const platform::Untrusted found = platform::FindUntrusted(run_.serverDir))
            return Refused(Fill(kForeignPrograms, {run_.serverDir, FindingText(found)}) +
                           kNotRemoving);
        if (!ui_.Confirm(Fill(kRemoveQuestion, {run_.serverDir, instance_, run_.port.Text()}),
                         InstallerUi::Asked::kOnlyAttended))
            return {Outcome::kStopped, L""};
        CreateMarkers(run_, ui_);
        if (std::optional<Outcome> stop = WaitForApplication(run_, ui_)) return *stop;
        const Outcome removed = RemoveAsOne();
        if (removed.kind == Outcome::kFinished)
            ui_.Inform(Fill(kRemoved, {run_.serverDir, instance_}));
        return removed;
    }

private:
    Outcome Nothing(const std::wstring& why) {
        ui_.Inform(why);
        return {};
    }
    static Outcome Refused(const std::wstring& why) { return {Outcome::kRefused, why}; }

    // Everything up to the deletion of the programs is undone when a step
    // fails: the instance registered and running again, every file back.
    Outcome RemoveAsOne() {
        Transaction& tx = run_.state.m_Transaction;
        const Outcome removed = AsOneTransaction(
            tx,
            [&] {
                DeploymentHeader header = HeaderFor(run_, /*installsServer=*/false);
                header.removesServer = true;
                tx.Begin(header);
                HoldServerPath(run_, /*make=*/false);
                const std::vector<std::wstring> files = ServerFiles();
                {
                    // Its own tool runs only from a folder no user could have
                    // written; held while it runs, let go before it is moved.
                    ServerPrograms tool;
                    tool.Take(run_, {outside::kServiceTool});
                    RemoveService(run_, run_.port);
                }
                if (environment::IsFileLocked(run_.serverDir + outside::kServerExe))
                    throw platform::Error(kServerInUse);
                tx.SettingAside(files);
                tx.Commit();
                RemoveEmptyFolders(files);
                return true;
            },
            [&](const std::optional<std::wstring>& failure) { return RolledBack(*failure); });
        if (removed.kind != Outcome::kFinished) return removed;
        CloseFirewall(run_.serverDir, ui_);
        tx.RecordFirewall();
        tx.Finish();
        return removed;
    }

    Outcome RolledBack(const std::wstring& failure) {
        const SettleResult result = RollBack(run_.state.m_Journal, run_.state.m_ServerPath);
        if (result.outcome == Settled::kIncomplete)
            return {Outcome::kFailed, kRemovalNotUndone + failure};
        if (!result.notRunning.empty())
            return {Outcome::kFailed, Fill(kRemovalUndoneNotRunning, {instance_}) + failure};
        return {Outcome::kFailed, Fill(kRemovalUndone, {instance_}) + failure};
    }

    // The server's files to delete, as full paths: the kit's list when the
    // kit lies beside the installer, else the entries the installer relies
    // on and every program and library in the folder. Never what the
    // administrator keeps (IsKeptByRemoval), nor a file the list does not
    // name.
    std::vector<std::wstring> ServerFiles() const {
        std::vector<std::wstring> names(outside::kKitEntries.begin(), outside::kKitEntries.end());
        const Places& places = run_.state.places;
        if (!KitUnusable(places.installerDir)) {
            const archive::ArchiveSurvey kit = archive::SurveyArchive(places.KitPath());
            names.insert(names.end(), kit.files.begin(), kit.files.end());
        } else {
            CollectPrograms(run_.serverDir, L"", names);
        }
        std::vector<std::wstring> files;
        std::set<std::wstring> seen;
        for (const std::wstring& name : names) {
            const std::wstring path = run_.serverDir + name;
            if (IsKeptByRemoval(name) || !seen.insert(platform::FoldedName(name)).second) continue;
            if (platform::FileExists(path)) files.push_back(path);
        }
        return files;
    }

    // Folders the kit made inside the server folder, left empty: deepest first.
    void RemoveEmptyFolders(const std::vector<std::wstring>& files) const {
        std::set<std::wstring> folders;
        for (const std::wstring& file : files)
            for (size_t at = file.find_last_of(L'\\');
                 at != std::wstring::npos && at + 1 > run_.serverDir.size();
                 at = file.find_last_of(L'\\', at - 1))
                folders.insert(file.substr(0, at));
        for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
            if (folder->size() + 1 > run_.serverDir.size()) RemoveDirectoryW(folder->c_str());
    }

    Installation& run_;
    InstallerUi& ui_;
    std::wstring instance_;
};

}  // namespace

Outcome RunRemoval(Installation& run, InstallerUi& ui) {
    return Removal(run, ui).Run();
}

}  // namespace engine
