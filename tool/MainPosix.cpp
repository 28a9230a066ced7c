// Linux entry: the arguments are argv's items, already split by the shell.
#include <unistd.h>

#include <clocale>
#include <cstdio>

#include "Platform.h"
#include "ToolRun.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    int code = 0;
    try {
        std::vector<std::wstring> items;
        for (int i = 0; i < argc; ++i) items.push_back(quenlet::platform::FromNarrow(argv[i]));
        std::wstring exe = quenlet::platform::OwnExecutablePath();
        // Local databases are served by the embedded engine here: keep the
        // database open across the steps rather than reopen it for each.
        quenlet::RunTool(quenlet::ResultFilePath(exe, quenlet::platform::kPathDelimiters), items,
                         true);
    } catch (const std::exception& e) {
        quenlet::platform::ShowApplicationError(quenlet::ApplicationErrorText(e));
        code = 1;
    }
    fflush(stdout);
    fflush(stderr);
    // The work is done and the result file written. Leave without exit
    // handlers: the embedded engine's unload at exit can crash while its
    // threads still run, which would turn a finished run into a failure.
    _exit(code);
}
