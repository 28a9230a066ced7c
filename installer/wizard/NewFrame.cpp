#include "wizard/NewFrame.h"

#include <utility>
#include <vector>

#include "archive/ArchiveReader.h"
#include "environment/Accounts.h"
#include "environment/ConfigFiles.h"
#include "environment/Folders.h"
#include "environment/Port.h"
#include "environment/Versions.h"
#include "outside/Outside.h"
#include "platform/Paths.h"
#include "resources/Layouts.h"
#include "toolkit/Seam.h"
#include "wizard/Dialogs.h"
#include "wizard/Messages.h"

namespace wizard {

using namespace toolkit;

namespace {

// What a new server gets, as if the files had said it.
environment::FoundPort NewServerPort() {
    const environment::Port port = environment::NewServerPort();
    return {port.Text(), port};
}

constexpr wchar_t kTitle[] = L"Parametre inštalácie";
constexpr wchar_t kInstallCaption[] = L"Inštalovať Firebird SQL do priečinka:";
constexpr wchar_t kInstalledCaption[] = L"Aktuálne nainštalovaný Firebird SQL v priečinku:";
constexpr wchar_t kKitPrefix[] = L"Firebird ";
constexpr wchar_t kKitWithoutVersion[] = L"Firebird 4.0 64-bit";
constexpr wchar_t kSearchTitle[] = L"Vyhľadaj súbor aplikácie - kadrix.exe";
constexpr wchar_t kSearchFilter[] = L"Lumera SQL|kadrix.exe";
// data.ini and firebird.conf must name the same port for it to be shown.
constexpr auto kAgreedPort = environment::PortSource::kAgreed;

using platform::WithDelimiter;

using platform::FileExists;

// The version of the kit's client library. An unreadable kit's error names
// it as the user knows it: by its name, not its path.
std::optional<environment::FileVersion> KitVersion(const std::wstring& kitPath) {
    try {
        return environment::ReadEntryVersion(kitPath, outside::kClientDll);
    } catch (const archive::ArchiveError& e) {
        std::wstring message = e.Message();
        if (message.ends_with(kitPath))
            message.replace(message.size() - kitPath.size(), kitPath.size(), outside::kKitArchive);
        throw archive::ArchiveError(message);
    }
}

// The server folder that an installation from the kit gets: beside the
// application folder.
std::wstring DefaultServerDir(const std::wstring& appDir) {
    return environment::ParentDir(appDir) + outside::kDefaultServerDir;
}

// An unknown server folder must not fall back to the current directory,
// where IsFBInstalled and relative paths would look.
bool ServerInstalled(const std::wstring& folder) {
    return !folder.empty() && environment::IsFBInstalled(folder);
}

int32_t ServerVersion(const std::wstring& folder) {
    if (folder.empty()) return 0;
    return VersionNumber(environment::FormatVersion(
        environment::ReadFileVersion(folder + outside::kClientDll), environment::kVersionNumberForm));
}

// Where `part` begins in `text`, without regard to case; npos when nowhere.
size_t FindNoCase(const std::wstring& text, const std::wstring& part) {
    int at = FindStringOrdinal(FIND_FROMSTART, text.c_str(), int(text.size()), part.c_str(),
                               int(part.size()), TRUE);
    return at < 0 ? std::wstring::npos : size_t(at);
}

}  // namespace

int32_t VersionNumber(const std::wstring& numberForm) {
    if (numberForm.empty()) return 0;
    int64_t value = 0;
    for (wchar_t c : numberForm) {
        if (c < L'0' || c > L'9') return 0;
        value = value * 10 + (c - L'0');
        if (value > INT32_MAX) return 0;
    }
    return int32_t(value);
}

TNewFrame::TNewFrame(Window& owner, RunRecord& run, const Reporter& reports,
                     const std::wstring& kitPath, const std::wstring& kitProblem)
    : TWizFrame(owner, L"NewFrame"),
      run_(run),
      reports_(reports),
      kitPath_(kitPath),
      kitProblem_(kitProblem) {
    Bind(L"chFBClick", [this] { chFBClick(); });
    Bind(L"btnSearchClick", [this] { btnSearchClick(); });
    Build(*this, resources::NewFrameLayout(), OwnFont());
    grpApp = &Get<GroupBox>(L"grpApp");
    lAppInfoCaption1 = &Get<Label>(L"lAppInfoCaption1");
    lAppInfoFolder = &Get<Label>(L"lAppInfoFolder");
    btnSearch = &Get<Button>(L"btnSearch");
    grpSQL = &Get<GroupBox>(L"grpSQL");
    chFB = &Get<CheckBox>(L"chFB");
    Label1 = &Get<Label>(L"Label1");
    edPort = &Get<Edit>(L"edPort");
    gSS = &Get<RadioButton>(L"gSS");
    gCS = &Get<RadioButton>(L"gCS");
    gSC = &Get<RadioButton>(L"gSC");
    lFBInfoCaption1 = &Get<Label>(L"lFBInfoCaption1");
    lFBInfoFolder = &Get<Label>(L"lFBInfoFolder");
    edFbFolder = &Get<Edit>(L"edFbFolder");
    lFBInfoCaption2 = &Get<Label>(L"lFBInfoCaption2");
    lFBInfoVersion = &Get<Label>(L"lFBInfoVersion");
}

void TNewFrame::Initialize(bool bShow, TWizFrame* Previous, TWizFrame* Next) {
    TWizFrame::Initialize(bShow, Previous, Next);
    lCaption->SetCaption(kTitle);
    SetAppParam();
    SetFBParam();
}

void TNewFrame::SetAppParam() {
    RunRecord& w = run_;
    lAppInfoFolder->SetCaption(w.appDir);

    std::wstring ini = WithDelimiter(w.appDir) + outside::kDataIni;
    if (FileExists(ini)) {
        // The application names the server executable; an empty name means
        // no server is known.
        w.serverDir = environment::ReadFBServer(ini);
        if (!w.serverDir.empty()) w.serverDir = environment::ParentDir(w.serverDir);
    } else {
        w.serverDir = DefaultServerDir(w.appDir);
    }
    // Every user of the application writes data.ini and may write the folder
    // beside it: a server there that no registered instance runs from is
    // not shown, and nothing of it runs.
    const environment::ServerFolderCheck server = environment::CheckServerFolder(w.serverDir);
    if (server.trust == environment::ServerFolderTrust::kUnknown) {
        reports_.Log(server.reason);
        w.serverDir.clear();
    }

    // An unattended run that found the kit unusable goes on only to move a
    // kept server; it must not read the kit.
    if (kitProblem_.empty() && FileExists(kitPath_) && environment::IsElevatedAdministrator()) {
        chFB->SetEnabled(true);
        const auto kit = KitVersion(kitPath_);
        w.m_nFBSetupVersion =
            VersionNumber(environment::FormatVersion(kit, environment::kVersionNumberForm));
        if (w.m_nFBSetupVersion != 0)
            chFB->SetCaption(kKitPrefix +
                             environment::FormatVersion(*kit, environment::kVersionDottedForm));
        else
            chFB->SetCaption(kKitWithoutVersion);
    }
}

void TNewFrame::SetFBParam() {
    RunRecord& w = run_;
    bool installed = ServerInstalled(w.serverDir);
    std::wstring ini = AppIni();
    if (installed) {
        lFBInfoCaption1->SetVisible(true);
        if (!edFbFolder->Visible()) {
            // Shown without the folder edit it names the installed server,
            // whatever the install state left on it.
            lFBInfoCaption1->SetCaption(kInstalledCaption);
            ShowInstalledServer(true);
        }
        lFBInfoFolder->SetCaption(w.serverDir);
        lFBInfoVersion->SetCaption(environment::FormatVersion(
            environment::ReadFileVersion(w.serverDir + outside::kClientDll),
            environment::kVersionDottedForm));
        ShowPort(environment::ReadFBPort(w.serverDir + outside::kServerConf, ini, kAgreedPort));
        SelectMode(environment::ReadFBType(ini));
        EnableModesAndPort(true);
    } else {
        lFBInfoCaption1->SetVisible(false);
        ShowInstalledServer(false);
        ShowPort(NewServerPort());
        gSS->SetChecked(true);
        EnableModesAndPort(chFB->Enabled());
    }
    if (found_.text.empty()) ShowPort(NewServerPort());

    w.m_nFBVersion = ServerVersion(w.serverDir);
    if (installed && w.m_nFBVersion >= w.m_nFBSetupVersion) {
        chFB->SetChecked(false);
    } else if (chFB->Enabled()) {
        // Already checked (a search from the install state): the install
        // state is laid out again for the new application folder.
        if (chFB->Checked())
            chFBClick();
        else
            chFB->SetChecked(true);
    }
}

void TNewFrame::chFBClick() {
    RunRecord& w = run_;
    if (chFB->Checked()) {
        edFbFolder->SetText(DefaultServerDir(w.appDir));
        if (w.m_nFBVersion == 0) ShowPort(NewServerPort());
        gSS->SetChecked(true);
        lFBInfoCaption1->SetCaption(kInstallCaption);
        edFbFolder->SetVisible(true);
        lFBInfoCaption1->SetVisible(true);
        ShowInstalledServer(false);
        return;
    }
    edFbFolder->SetVisible(false);
    if (w.m_nFBVersion <= 0) {
        lFBInfoCaption1->SetVisible(false);
        return;
    }
    lFBInfoCaption1->SetCaption(kInstalledCaption);
    lFBInfoCaption1->SetVisible(true);
    ShowInstalledServer(true);
    // No default here: a port the two files disagree on is left for the user.
    std::wstring ini = AppIni();
    ShowPort(
        environment::ReadFBPort(lFBInfoFolder->Caption() + outside::kServerConf, ini, kAgreedPort));
    SelectMode(environment::ReadFBType(ini));
}

void TNewFrame::btnSearchClick() {
    RunRecord& w = run_;
    OpenFileRequest request;
    request.owner = GetAncestor(Handle(), GA_ROOT);
    request.title = kSearchTitle;
    request.filter = kSearchFilter;
    request.initialDir =
        environment::ParentDir(WithDelimiter(lAppInfoFolder->Caption()) + outside::kAppExe);
    std::wstring path;
    if (!OpenFile(request, path)) return;

    if (path.starts_with(L'\\')) {
        reports_.ShowError(kNotLocalFixed);
        return;
    }
    size_t exe = FindNoCase(path, outside::kAppExe);
    if (exe == std::wstring::npos || GetDriveTypeW(path.substr(0, 3).c_str()) != DRIVE_FIXED) {
        reports_.ShowError(kNotLocalFixed);
        return;
    }
    // For this run only; the registry keeps the application it names.
    w.appDir = path.substr(0, exe);
    SetAppParam();
    SetFBParam();
}

std::wstring TNewFrame::AppIni() const {
    return WithDelimiter(lAppInfoFolder->Caption()) + outside::kDataIni;
}

void TNewFrame::SelectMode(const std::wstring& iniCode) {
    const std::pair<const wchar_t*, RadioButton*> modes[] = {
        {outside::kModeSuper.iniCode, gSS},
        {outside::kModeClassic.iniCode, gCS},
        {outside::kModeSuperClassic.iniCode, gSC}};
    for (const auto& [code, button] : modes)
        if (iniCode == code) button->SetChecked(true);
}

void TNewFrame::ShowPort(const environment::FoundPort& found) {
    found_ = found;
    edPort->SetText(found.text);
}

void TNewFrame::EnableModesAndPort(bool enabled) {
    for (Control* c : {static_cast<Control*>(gSS), static_cast<Control*>(gCS),
                       static_cast<Control*>(gSC), static_cast<Control*>(edPort)})
        c->SetEnabled(enabled);
}

void TNewFrame::ShowInstalledServer(bool shown) {
    lFBInfoCaption2->SetVisible(shown);
    lFBInfoFolder->SetVisible(shown);
    lFBInfoVersion->SetVisible(shown);
}

}  // namespace wizard
