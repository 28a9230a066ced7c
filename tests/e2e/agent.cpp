// The end-to-end scripts' hand inside the prefix: one Windows process that
// stays up for a whole script and does, on request, what would otherwise
// start a Windows program from Unix each time (Wine's loader, start.exe and a
// console for every reg or sc call, which on two cores cost more than the
// installer runs themselves).
//
// Requests come on standard input, one a line, fields split by tabs (UTF-8):
//   run PROGRAM ARG...   start the program (searched as CreateProcess does),
//                        its standard input empty and its standard error
//                        dropped; wait for it; pass on its standard output
//   state SERVICE        the service's state as sc names it (RUNNING,
//                        STOPPED, START_PENDING...), or NONE for a service
//                        the service manager does not know
// Each answer is the output, then the byte 0x1E, the exit code (-1: the
// program did not start) and a newline. The agent answers once, with no
// output, as soon as it runs (so a script knows the prefix has it), and
// ends at the end of input.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring FromUtf8(const std::string& s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), out.data(), n);
    return out;
}

void Write(const std::string& bytes) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    for (size_t done = 0; done < bytes.size();) {
        DWORD n = 0;
        if (!WriteFile(out, bytes.data() + done, DWORD(bytes.size() - done), &n, nullptr) || n == 0) return;
        done += n;
    }
}

void Answer(const std::string& output, long code) {
    Write(output + "\x1e" + std::to_string(code) + "\n");
}

// One argument quoted as the C runtime splits a command line.
std::wstring Quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, L'\\');
    return out + L"\"";
}

struct Handle {
    HANDLE h = nullptr;
    ~Handle() {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

void Run(const std::vector<std::wstring>& args) {
    std::wstring line;
    for (const auto& a : args) line += (line.empty() ? L"" : L" ") + Quoted(a);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle readEnd, writeEnd, none, errors;
    if (!CreatePipe(&readEnd.h, &writeEnd.h, &inherit, 0)) return Answer("", -1);
    SetHandleInformation(readEnd.h, HANDLE_FLAG_INHERIT, 0);
    none.h = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    errors.h = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = none.h;
    si.hStdOutput = writeEnd.h;
    si.hStdError = errors.h;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return Answer("", -1);
    Handle process{pi.hProcess}, thread{pi.hThread};
    CloseHandle(writeEnd.h);
    writeEnd.h = nullptr;
    std::string output;
    char buffer[4096];
    for (DWORD n = 0; ReadFile(readEnd.h, buffer, sizeof buffer, &n, nullptr) && n > 0;) output.append(buffer, n);
    WaitForSingleObject(process.h, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.h, &code);
    Answer(output, long(code));
}

const char* StateName(DWORD state) {
    switch (state) {
        case SERVICE_STOPPED: return "STOPPED";
        case SERVICE_START_PENDING: return "START_PENDING";
        case SERVICE_STOP_PENDING: return "STOP_PENDING";
        case SERVICE_RUNNING: return "RUNNING";
        case SERVICE_CONTINUE_PENDING: return "CONTINUE_PENDING";
        case SERVICE_PAUSE_PENDING: return "PAUSE_PENDING";
        case SERVICE_PAUSED: return "PAUSED";
        default: return "UNKNOWN";
    }
}

void State(const std::wstring& name) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager) return Answer("", long(GetLastError()));
    SC_HANDLE service = OpenServiceW(manager, name.c_str(), SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    std::string answer = "NONE";
    long code = 0;
    if (!service) {
        if (GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) code = long(GetLastError());
    } else if (QueryServiceStatus(service, &status)) {
        answer = StateName(status.dwCurrentState);
    } else {
        code = long(GetLastError());
    }
    if (service) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    Answer(answer + "\n", code);
}

std::vector<std::wstring> Fields(const std::string& line) {
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(FromUtf8(line.substr(start, tab - start)));
    fields.push_back(FromUtf8(line.substr(start)));
    return fields;
}

void Serve(const std::string& line) {
    std::vector<std::wstring> fields = Fields(line);
    const std::wstring verb = fields.front();
    fields.erase(fields.begin());
    if (verb == L"run" && !fields.empty()) return Run(fields);
    if (verb == L"state" && fields.size() == 1) return State(fields[0]);
    Answer("agent: unknown request\n", -1);
}

}  // namespace

int wmain() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    // The programs it starts get only the handles they are given: a program
    // left running must not keep the script's pipes open.
    SetHandleInformation(in, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(GetStdHandle(STD_OUTPUT_HANDLE), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(GetStdHandle(STD_ERROR_HANDLE), HANDLE_FLAG_INHERIT, 0);
    // It holds the prefix's desktop for as long as it runs: Wine ends the
    // desktop's process a second after its last user, and started it again
    // for nearly every installer run of a script.
    GetDesktopWindow();
    Answer("", 0);
    std::string pending;
    char buffer[4096];
    for (DWORD n = 0; ReadFile(in, buffer, sizeof buffer, &n, nullptr) && n > 0;) {
        pending.append(buffer, n);
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) Serve(line);
        }
    }
    return 0;
}
