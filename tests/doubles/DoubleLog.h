// Stand-ins log how they were called: one line per run, the raw command line
// in UTF-8, appended to "<own name>.log" beside the program; the service
// tool also logs where it was started, to "<own name>.dir.log".
#pragma once

#include <windows.h>

#include <string>

namespace doubles {

inline std::wstring OwnPath() {
    wchar_t path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    return std::wstring(path, n);
}

inline std::wstring OwnFolder() {
    std::wstring p = OwnPath();
    return p.substr(0, p.find_last_of(L'\\') + 1);
}

inline std::string ToUtf8(const std::wstring& s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

inline void AppendLog(const std::wstring& line, const wchar_t* suffix = L".log") {
    std::wstring p = OwnPath();
    std::wstring log = p.substr(0, p.find_last_of(L'.')) + suffix;
    // Several stand-ins may run one after another; retry briefly if another
    // run still holds the log.
    for (int i = 0; i < 50; ++i) {
        HANDLE h = CreateFileW(log.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            std::string text = ToUtf8(line) + "\r\n";
            DWORD written = 0;
            WriteFile(h, text.data(), DWORD(text.size()), &written, nullptr);
            CloseHandle(h);
            return;
        }
        Sleep(20);
    }
}

inline void LogCommandLine() { AppendLog(GetCommandLineW()); }

inline void LogCurrentDirectory() {
    wchar_t dir[MAX_PATH * 4] = L"";
    GetCurrentDirectoryW(MAX_PATH * 4, dir);
    AppendLog(dir, L".dir.log");
}

// Writes C:\istrel-hang.reached (or another marker) and flushes it, so a
// script knows the stand-in got there.
inline void Reached(const wchar_t* marker) {
    HANDLE h = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        FlushFileBuffers(h);
        CloseHandle(h);
    }
}

// Whether the file "<program>.fail" beside the stand-in holds `command`
// (one line): a test's way to make that command fail.
inline bool FailureAsked(const std::wstring& program, const std::wstring& command) {
    HANDLE h = CreateFileW((OwnFolder() + program + L".fail").c_str(), GENERIC_READ,
                           FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char text[64] = {};
    DWORD got = 0;
    ReadFile(h, text, sizeof text - 1, &got, nullptr);
    CloseHandle(h);
    std::string wanted(text, got);
    while (!wanted.empty() && (wanted.back() == '\n' || wanted.back() == '\r')) wanted.pop_back();
    return !wanted.empty() && ToUtf8(command) == wanted;
}

// Whether the environment variable `name` is "<program> <command> <when>".
inline bool AskedAt(const wchar_t* name, const std::wstring& program, const std::wstring& command,
                    const wchar_t* when) {
    wchar_t wanted[256];
    DWORD n = GetEnvironmentVariableW(name, wanted, 256);
    return n > 0 && n < 256 && std::wstring(wanted) == program + L" " + command + L" " + when;
}

// A point where a test ends every process of the prefix (a power cut):
// with ISTREL_TEST_HANG="<program> <command> before|after" in the
// environment, the stand-in writes C:\istrel-hang.reached there and waits
// for ever. The installer passes its environment on to the programs it runs.
inline void HangIfAsked(const std::wstring& program, const std::wstring& command,
                        const wchar_t* when) {
    if (!AskedAt(L"ISTREL_TEST_HANG", program, command, when)) return;
    Reached(L"C:\\istrel-hang.reached");
    for (;;) Sleep(INFINITE);
}

// A point where a test acts in the middle of a run, as another user would
// meanwhile: with ISTREL_TEST_PAUSE="<program> <command> before|after", the
// stand-in writes C:\istrel-pause.reached there and goes on once the
// script has made C:\istrel-pause.go.
inline void PauseIfAsked(const std::wstring& program, const std::wstring& command,
                         const wchar_t* when) {
    if (!AskedAt(L"ISTREL_TEST_PAUSE", program, command, when)) return;
    Reached(L"C:\\istrel-pause.reached");
    while (GetFileAttributesW(L"C:\\istrel-pause.go") == INVALID_FILE_ATTRIBUTES) Sleep(20);
}

// A program that takes a file for itself at a point of the run: with
// ISTREL_TEST_HOLD="<program> <command> <holder.exe>" in the environment,
// the stand-in starts `holder.exe hold <file> --ready C:\istrel-held
// --stop-file C:\istrel-held.stop --until-held` once its command is done, and returns
// only when the file is held (or the holder gave up), so the hold lands at
// that one point of the run and not whenever a background program manages.
inline void HoldIfAsked(const std::wstring& program, const std::wstring& command,
                        const std::wstring& file) {
    wchar_t wanted[1024];
    DWORD n = GetEnvironmentVariableW(L"ISTREL_TEST_HOLD", wanted, 1024);
    if (n == 0 || n >= 1024) return;
    const std::wstring text = wanted, head = program + L" " + command + L" ";
    if (text.rfind(head, 0) != 0) return;
    const wchar_t* ready = L"C:\\istrel-held";
    DeleteFileW(ready);
    std::wstring line = L"\"" + text.substr(head.size()) + L"\" hold \"" + file +
                        L"\" --until-held --ready " + ready + L" --stop-file C:\\istrel-held.stop";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return;
    CloseHandle(process.hThread);
    while (GetFileAttributesW(ready) == INVALID_FILE_ATTRIBUTES &&
           WaitForSingleObject(process.hProcess, 10) == WAIT_TIMEOUT) {
    }
    CloseHandle(process.hProcess);
}

}  // namespace doubles
