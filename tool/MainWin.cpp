// Windows entry: a GUI-subsystem program that opens no window; it splits its
// own command line.
#include <windows.h>

#include "CommandLine.h"
#include "Platform.h"
#include "ResultFile.h"
#include "ToolRun.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        std::wstring exe = quenlet::platform::OwnExecutablePath();
        quenlet::RunTool(quenlet::ResultFilePath(exe, quenlet::platform::kPathDelimiters),
                         quenlet::SplitCommandLine(GetCommandLineW()));
        return 0;
    } catch (const std::exception& e) {
        quenlet::platform::ShowApplicationError(quenlet::ApplicationErrorText(e));
        return 1;
    }
}
