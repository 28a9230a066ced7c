// Stand-in for a running instance of the accounting application.
//   appinstance lock <path.lck> [computer user]   holds the .lck open without
//                                                sharing and writes the .lci
//                                                (only when computer is given)
//   appinstance hold <file>                      holds any file (Kadrix.exe)
//                                                without sharing
//   appinstance share <file>                     holds it for reading, sharing
//                                                reading (a program in use)
//   appinstance mutex <name>                     holds a named mutex it made,
//                                                whose DACL shuts administrators
//                                                out (any user can make one)
// Options: --seconds N ends after N seconds; --stop-file PATH ends once PATH
// exists (without either it runs until killed); --ready PATH is created once
// the file is held, so a caller knows when to look; --until-held tries the
// open again until it succeeds (a file another process has open now).
#include <windows.h>
#include <sddl.h>

#include <string>

namespace {

bool WriteIni(const std::wstring& path, const std::wstring& computer, const std::wstring& user) {
    return WritePrivateProfileStringW(L"DATA", L"pocitac", computer.c_str(), path.c_str()) &&
           WritePrivateProfileStringW(L"DATA", L"uzivatel", user.c_str(), path.c_str());
}

void Touch(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
}

HANDLE HeldMutex(const std::wstring& name) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(D;;GA;;;BA)(A;;GA;;;WD)",
                                                              SDDL_REVISION_1, &sd, nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, sd, FALSE};
    HANDLE h = CreateMutexW(&attributes, TRUE, name.c_str());
    LocalFree(sd);
    return h;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    std::wstring mode = argv[1], file = argv[2];
    std::wstring computer, user, stopFile, ready;
    long seconds = -1;
    bool untilHeld = false;
    int pos = 0;
    for (int i = 3; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--seconds" && i + 1 < argc) seconds = _wtol(argv[++i]);
        else if (a == L"--stop-file" && i + 1 < argc) stopFile = argv[++i];
        else if (a == L"--ready" && i + 1 < argc) ready = argv[++i];
        else if (a == L"--until-held") untilHeld = true;
        else if (pos == 0) { computer = a; ++pos; }
        else if (pos == 1) { user = a; ++pos; }
    }

    const bool shared = mode == L"share";
    const DWORD disposition = mode == L"lock" ? OPEN_ALWAYS : OPEN_EXISTING;
    HANDLE h;
    if (mode == L"mutex") {
        if (!(h = HeldMutex(file))) return 1;
    } else {
        while ((h = CreateFileW(file.c_str(), shared ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                                shared ? FILE_SHARE_READ : 0, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr)) == INVALID_HANDLE_VALUE) {
            if (!untilHeld) return 1;
            Sleep(10);
        }
    }
    if (mode == L"lock" && !computer.empty()) {
        std::wstring lci = file.substr(0, file.find_last_of(L'.')) + L".lci";
        WriteIni(lci, computer, user);
    }
    if (!ready.empty()) Touch(ready);

    DWORD start = GetTickCount();
    for (;;) {
        if (seconds >= 0 && GetTickCount() - start >= DWORD(seconds) * 1000) break;
        if (!stopFile.empty() && GetFileAttributesW(stopFile.c_str()) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(50);
    }
    CloseHandle(h);
    return 0;
}
