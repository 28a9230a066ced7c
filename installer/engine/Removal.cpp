// /REMOVE: every server this installer set up, found through the service
// manager (data.ini only says which goes first), each taken off the PC as
// one transaction. Its instances go through its own service tool, its
// programs and libraries are moved aside and deleted only once nothing
// failed, the firewall rule goes last. What the administrator made their
// own stays in the folder, and the application is not touched. The run
// ends well only when none of the installer's instances stays registered.
#include <algorithm>
#include <optional>
#include <set>

#include "archive/ArchiveReader.h"
#include "engine/ApplicationFiles.h"
#include "engine/CommandLines.h"
#include "engine/FilePolicy.h"
#include "engine/InstanceName.h"
#include "engine/Messages.h"
#include "engine/Rollback.h"
#include "engine/ServerFolder.h"
#include "engine/Tools.h"
#include "environment/ConfText.h"
#include "environment/ConfigFiles.h"
#include "environment/Folders.h"
#include "environment/Instances.h"
#include "environment/Services.h"
#include "platform/Errors.h"
#include "platform/FolderTree.h"
#include "platform/Security.h"
#include "platform/Text.h"

namespace engine {

namespace {

using platform::Fill;

constexpr wchar_t kNothingRegistered[] =
    L"Na počítači nie je zaregistrovaná žiadna inštancia Firebird SQL servera tohto "
    L"inštalátora; nie je čo odstrániť.";
constexpr wchar_t kNotRemoving[] = L" Odstránenie servera nič nezmenilo.";
// %s: the instances that stay, each with its folder.
constexpr wchar_t kStillRegistered[] =
    L"Zaregistrovaná zostala inštancia Firebird SQL servera tohto inštalátora: %s.";
// %s: the instances. A service of this name whose command line names no
// program in a folder: nothing of it can be judged, so it is not touched.
constexpr wchar_t kNoFolderNamed[] =
    L"Služba inštancie %s nespúšťa program z priečinka, ktorý by inštalácia mohla overiť; "
    L"odstráňte ju ručne (sc delete).";
// %s: the folder of an instance whose program is not there.
constexpr wchar_t kNoServerThere[] =
    L"V priečinku %s nie je Firebird SQL server; jeho inštancia sa odstráni cez správcu "
    L"služieb.";
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

// Program and library files below `serverDir`, relative to it; no link is
// followed (a trusted folder has none anyway). Raises platform::SystemError
// when a folder in it cannot be listed.
std::vector<std::wstring> ProgramsIn(const std::wstring& serverDir) {
    std::vector<std::wstring> found;
    const platform::UniqueKernelHandle root =
        platform::OpenFolder(serverDir.substr(0, serverDir.size() - 1));
    if (!root) return found;
    platform::WalkTree(root.get(), [&](const platform::TreeEntry& entry) {
        if (!entry.IsFolder() && !entry.IsLink() && IsProgramFile(entry.name))
            found.push_back(entry.relative);
        return platform::WalkStep::kGoOn;
    });
    return found;
}

// A server folder with this installer's instances in it, as the service
// manager names them.
struct Server {
    std::wstring folder;  // empty: the command line names no program
    std::vector<InstanceName> instances;  // as the service manager names them
    bool hasProgram = false;  // firebird.exe lies in the folder
    std::wstring refusal;     // why it stays, when it does
};

// The folders the installer's instances run their programs from, in the
// order of the services, data.ini's first.
std::vector<Server> OwnServers(const std::wstring& hinted) {
    std::vector<Server> servers;
    environment::EnumerateServices([&](const environment::ServiceEntry& entry) {
        const std::optional<InstanceName> instance = InstanceName::OfService(entry.name);
        const std::optional<environment::ServiceRecord> record =
            instance ? environment::ReadServiceRecord(entry.name) : std::nullopt;
        if (!record) return true;
        const std::wstring folder =
            environment::ParentDir(platform::ProgramOfCommand(record->binaryPath));
        auto same = [&](const Server& s) { return platform::SameName(s.folder, folder); };
        const auto found = std::find_if(servers.begin(), servers.end(), same);
        if (found != servers.end()) found->instances.push_back(*instance);
        else servers.push_back({folder, {*instance}, false, L""});
        return true;
    });
    std::stable_partition(servers.begin(), servers.end(), [&](const Server& s) {
        return !hinted.empty() && platform::SameName(s.folder, hinted);
    });
    return servers;
}

std::wstring Instances(const Server& server) {
    std::wstring names;
    for (const InstanceName& instance : server.instances)
        names += (names.empty() ? L"" : L", ") + instance.Text();
    return names;
}

std::wstring Ports(const Server& server) {
    std::wstring ports;
    for (const InstanceName& instance : server.instances)
        ports += (ports.empty() ? L"" : L", ") + instance.Port().Text();
    return ports;
}

class Removal {
public:
    Removal(Installation& run, InstallerUi& ui) : run_(run), ui_(ui) {}

    Outcome Run() {
        const std::wstring ini = platform::WithDelimiter(run_.appDir) + outside::kDataIni;
        std::vector<Server> servers =
            OwnServers(environment::ParentDir(environment::ReadFBServer(ini)));
        if (servers.empty()) {
            ui_.Inform(kNothingRegistered);
            return {};
        }
        // Nothing of a folder a user could have written runs or goes:
        // refused before anything is asked or changed.
        for (Server& server : servers) server.refusal = RefusalOf(server);
        if (std::none_of(servers.begin(), servers.end(),
                         [](const Server& s) { return s.refusal.empty(); }))
            return Refused(Refusals(servers) + kNotRemoving);
        for (const Server& server : servers)
            if (server.refusal.empty() &&
                !ui_.Confirm(Fill(kRemoveQuestion, {server.folder, Instances(server), Ports(server)}),
                             InstallerUi::Asked::kOnlyAttended))
                return {Outcome::kStopped, L""};
        CreateMarkers(run_, ui_);
        if (std::optional<Outcome> stop = WaitForApplication(run_, ui_)) return *stop;
        for (const Server& server : servers) {
            if (!server.refusal.empty()) continue;
            const Outcome removed = RemoveServer(server);
            if (removed.kind != Outcome::kFinished) return removed;
        }
        return Remaining(servers);
    }

private:
    static Outcome Refused(const std::wstring& why) { return {Outcome::kRefused, why}; }

    static std::wstring Refusals(const std::vector<Server>& servers) {
        std::wstring why;
        for (const Server& server : servers)
            if (!server.refusal.empty()) why += (why.empty() ? L"" : L" ") + server.refusal;
        return why;
    }

    // Why the server may not go, by the rules of an installation; empty
    // when it may. One without its program goes through the service manager.
    std::wstring RefusalOf(Server& server) const {
        if (server.folder.empty()) return Fill(kNoFolderNamed, {Instances(server)});
        const environment::ServerFolderCheck check = environment::CheckServerFolder(server.folder);
        if (check.trust == environment::ServerFolderTrust::kUnknown) return check.reason;
        server.hasProgram = check.trust == environment::ServerFolderTrust::kKnown;
        platform::HeldPath path;
        if (const platform::HeldPath::Problem problem = path.Hold(server.folder))
            return PathProblemText(problem);
        if (!server.hasProgram) return L"";
        if (const platform::Untrusted found = platform::FindUntrusted(server.folder))
            return Fill(kForeignPrograms, {server.folder, FindingText(found)});
        return L"";
    }

    // Removed: a log entry; a server that stays (refused) ends the run 1.
    Outcome Remaining(const std::vector<Server>& servers) {
        const std::vector<Server> left = OwnServers(L"");
        if (left.empty()) return {};
        std::wstring named;
        for (const Server& server : left)
            named += (named.empty() ? L"" : L", ") + Instances(server) +
                     (server.folder.empty() ? L"" : L" (" + server.folder + L")");
        const std::wstring why = Refusals(servers);
        return Refused(Fill(kStillRegistered, {named}) + (why.empty() ? L"" : L" " + why));
    }

    // One server: its instances, programs and libraries, its firewall rule.
    Outcome RemoveServer(const Server& server) {
        run_.serverDir = server.folder;
        run_.port = server.instances.front().Port();
        instances_ = Instances(server);
        if (!server.hasProgram) ui_.Log(Fill(kNoServerThere, {server.folder}));
        const Outcome removed = RemoveAsOne(server);
        if (removed.kind == Outcome::kFinished) {
            ui_.Inform(Fill(kRemoved, {server.folder, instances_}));
            run_.state.journal.Remove();  // done: the next server's run may begin
        }
        return removed;
    }

    // Everything up to the deletion of the programs is undone when a step
    // fails: the instance registered and running again, every file back.
    Outcome RemoveAsOne(const Server& server) {
        Transaction& tx = run_.state.transaction;
        DeploymentHeader header = HeaderFor(run_, /*installsServer=*/false);
        header.removesServer = true;
        const Outcome removed = AsOneTransaction(
            tx,
            [&] {
                tx.Begin(header);
                HoldServerPath(run_, /*make=*/false);
                const std::vector<std::wstring> files =
                    server.hasProgram ? ServerFiles() : std::vector<std::wstring>{};
                RemoveInstances(server);
                if (environment::IsFileLocked(run_.serverDir + outside::kServerExe))
                    throw platform::Error(kServerInUse);
                tx.SettingAside(files);
                tx.Commit();
                tx.Settle();  // the files gone, their folders may go
                RemoveEmptyFolders(files);
                return true;
            },
            [&](const std::optional<std::wstring>& failure) { return RolledBack(*failure); });
        if (removed.kind != Outcome::kFinished) return removed;
        // A server whose program was not there had no rule of the installer's.
        if (!server.hasProgram || FirewallRule(header, ui_)) tx.RecordDone(journal::kFirewall);
        tx.Finish();
        return removed;
    }

    // Through the server's own tool, which runs only from a folder no user
    // could have written (held while it runs, let go before it is moved);
    // without a program there, through the service manager.
    void RemoveInstances(const Server& server) {
        ServerPrograms tool;
        if (server.hasProgram) tool.Take(run_, {outside::kServiceTool});
        for (const InstanceName& instance : server.instances) {
            // The tool names an instance after its folder: one registered
            // under the other name goes by the name the manager gave.
            if (server.hasProgram &&
                platform::SameName(instance.Text(), InstanceName(server.folder, instance.Port()).Text()))
                RemoveService(run_, instance.Port());
            else
                RemoveServiceThroughManager(run_, instance.Service());
        }
    }

    Outcome RolledBack(const std::wstring& failure) {
        const SettleResult result = RollBack(run_.state.journal, run_.state.serverPath);
        if (result.outcome == Settled::kIncomplete)
            return {Outcome::kFailed, kRemovalNotUndone + failure};
        if (!result.notRunning.empty())
            return {Outcome::kFailed, Fill(kRemovalUndoneNotRunning, {instances_}) + failure};
        return {Outcome::kFailed, Fill(kRemovalUndone, {instances_}) + failure};
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
            const std::vector<std::wstring> programs = ProgramsIn(run_.serverDir);
            names.insert(names.end(), programs.begin(), programs.end());
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
    std::wstring instances_;
};

}  // namespace

Outcome RunRemoval(Installation& run, InstallerUi& ui) {
    return Removal(run, ui).Run();
}

}  // namespace engine
