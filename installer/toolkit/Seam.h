// The one place through which every modal message dialog, the open-file
// dialog and the shell's "open" pass, and that tells whether anybody can
// see a window at all. The program uses the real ones; tests install their
// own seam to answer and record them.
#pragma once

#include <windows.h>

#include <string>

namespace toolkit {

class MessageDialog;

struct OpenFileRequest {
    HWND owner = nullptr;
    std::wstring title;
    std::wstring filter;  // "Description|pattern" pairs joined by "|"
    std::wstring initialDir;
    std::wstring defaultExt;
    std::wstring fileName;
};

struct ShellOpenRequest {
    HWND owner = nullptr;
    std::wstring target;  // document or address
    std::wstring parameters;
    std::wstring directory;
    int showCommand = 0;
};

class UiSeam {
public:
    virtual ~UiSeam() = default;
    // Runs a built message dialog; returns its modal result. The real seam
    // shows it modally.
    virtual int RunMessage(MessageDialog& dialog);
    // true with the chosen path; false when the user cancelled.
    virtual bool RunOpenFile(const OpenFileRequest& request, std::wstring& path);
    // ShellExecuteW "open"; true when the shell accepted it.
    virtual bool ShellOpen(const ShellOpenRequest& request);
    // False when the process's window station is not visible (a service,
    // SYSTEM under a deployment tool, a scheduled task with nobody logged
    // on): a window shown there waits for an answer nobody can give.
    virtual bool WindowStationVisible();
};

// The seam in use.
UiSeam& Ui();
// Installs a seam (nullptr: the real one) and returns the one it replaces.
UiSeam* SetUiSeam(UiSeam* seam);

// Shows the open-file dialog through the seam.
bool OpenFile(const OpenFileRequest& request, std::wstring& path);
// Asks the shell to open a target through the seam.
bool ShellOpen(const ShellOpenRequest& request);

}  // namespace toolkit
