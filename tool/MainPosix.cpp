// Linux entry: the arguments are argv's items, already split by the shell.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <optional>

#include "Connection.h"
#include "Platform.h"
#include "ProductVersion.h"
#include "ResultFile.h"
#include "ToolRun.h"
#include "VersionCheck.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("quenlet " QUENLET_VERSION_TEXT);
        return 0;
    }
    std::setlocale(LC_ALL, "");
    int code = 0;
    try {
        std::vector<std::wstring> items;
        for (int i = 0; i < argc; ++i) items.push_back(quenlet::platform::FromNarrow(argv[i]));
        std::wstring exe = quenlet::platform::OwnExecutablePath();
        quenlet::RunTool(quenlet::ResultFilePath(exe, quenlet::platform::kPathDelimiters), items,
                         [](const quenlet::Arguments& a) {
                             // Local databases are served by the embedded server
                             // here: keep the database open across the steps
                             // rather than reopen it for each. Not for a database
                             // that is not checked: no step attaches before the
                             // role step there.
                             std::optional<quenlet::IdleAttachment> hold;
                             if (!quenlet::IsUncheckedDatabase(a.database))
                                 hold.emplace(a.userName, a.password, a.database);
                             return quenlet::RunSteps(a);
                         });
    } catch (const std::exception& e) {
        quenlet::platform::ShowApplicationError(quenlet::ApplicationErrorText(e));
        code = 1;
    }
    fflush(stdout);
    fflush(stderr);
    // The work is done and the result file written. Leave without exit
    // handlers: the embedded server's unload at exit can crash while its
    // threads still run, which would turn a finished run into a failure.
    _exit(code);
}
