// The wizard window: one per process, reached through `Wizard`. Its fields
// are the one shared record of the installation (folders, port, flags,
// versions, the log handle, the extraction's state); every installer layer
// reads and writes them here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/ArchiveReader.h"
#include "wizard/Options.h"
#include "wizard/Pages.h"
#include "toolkit/Form.h"

namespace environment {
class TNewFrame;
}

namespace shell {

// The archive under extraction as the wizard's "Storno" sees it; the
// engine's reader implements it.
class CancelableArchive {
public:
    virtual ~CancelableArchive() = default;
    virtual bool IsOpen() const = 0;
};

// The program's arguments after its own name.
std::vector<std::wstring> CommandLineArguments();

// True for an argument that asks for an unattended run: upper-cased, it
// begins with "/S".
bool IsSilentSwitch(const std::wstring& argument);

// Exit codes of Istrel.exe. A run ends with the highest code it met, so an
// error reported on the way outweighs a later stop or the end page.
enum ExitCode : int32_t {
    kExitDone = 0,        // the end page was reached and no error was reported
    kExitNotStarted = 1,  // start-up failed or a bad option: nothing changed
    kExitStopped = 2,     // "Storno", the close icon, a question answered No, waiting given up
    kExitFailed = 3,      // an error stopped the run or was reported on the way
};

class TWizard : public toolkit::Form {
public:
    // Creates the window, its controls and its pages, then runs FormCreate
    // (whose errors the toolkit shows). `arguments` are the command-line
    // arguments after the program's name. The first wizard becomes the
    // application's main form.
    explicit TWizard(std::vector<std::wstring> arguments = CommandLineArguments());
    ~TWizard() override;

    void FormCreate();
    void FormShow();   // unattended: opens the setup log, then OKClick
    void FormClose();  // the clean-up when the window closes
    // Deletes the markers in m_OwnMarkers, once; every way out of the
    // program runs it.
    void RemoveOwnMarkers();
    void FormKeyDown(WORD& Key);
    void EnableButtons();  // the four buttons for m_ActiveFrame
    void NextClick();
    void BackClick();
    void CancelClick();
    // End page: closes the window. Parameters page: the install sequence.
    void OKClick();

    // Raises the exit code to `code` when it is higher.
    void SetExitCode(int32_t code);
    // Ends the process at once with the exit code raised to `code`, the
    // setup log closed; nothing else cleans up.
    [[noreturn]] void Halt(int32_t code);
    void CloseLog();

    // Installation engine (installer/engine). InstallServer: false when the
    // installation is to end. SetupService / RemoveService: true when the
    // service tool was run.
    bool InstallServer();
    bool SetupService();
    bool RemoveService(const std::wstring& port);
    // The archive reader's events during the extraction.
    void ZipOverallProgress(double progress, bool& cancel);
    void ZipFileFailure(const std::wstring& fileName, const std::wstring& errorMessage,
                        engine::TZFProcessFileFailureAction& action);

    // Controls.
    toolkit::Panel* Panel1;
    toolkit::Picture* imgSetup;
    toolkit::Control* line;
    toolkit::Button* Back;
    toolkit::Button* Next;
    toolkit::Button* OK;
    toolkit::Button* Cancel;

    // Pages; the wizard owns them.
    std::unique_ptr<environment::TNewFrame> NewFrame;
    std::unique_ptr<TProgressFrame> ProgressFrame;
    std::unique_ptr<TEndFrame> EndFrame;

    // Shared state; all zero, false, empty or none before FormCreate.
    TWizFrame* m_ActiveFrame = nullptr;
    std::wstring m_szAppDir;
    std::wstring m_szFBDir;
    std::wstring m_szFBPort;
    std::wstring m_szGdsSource;
    bool m_bIsNT = false;
    bool m_bVista = false;
    bool m_bSilentInstall = false;
    bool m_bSuspendCreated = false;
    // Full paths of the markers this run created, in the folder shown when
    // they were made: a later "Vyhľadať" must not redirect their removal,
    // and markers someone else made are never listed.
    std::vector<std::wstring> m_OwnMarkers;
    int32_t m_nFBSetupVersion = 0;
    int32_t m_nFBVersion = 0;
    int32_t m_logFd = 0;
    CancelableArchive* Zip = nullptr;
    bool Canceled = false;
    int32_t m_RequiredBytes = 0;
    int32_t m_ProgressPrevious = 0;
    int32_t m_ProgressNext = 0;
    int32_t m_nExitCode = kExitDone;

private:
    void OpenSetupLog();
    void StartUpFailed(const std::wstring& message);
    void ApplyOptions();

    std::vector<std::wstring> arguments_;
    InstallOptions options_;
};

// The process's wizard; nullptr while none exists.
extern TWizard* Wizard;

}  // namespace shell
