// Helpers shared by the Windows test suites: scratch folders, files as
// bytes, running programs, service states, where the stand-ins are.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

// Folder of the stand-ins and of the assembled kit, as Windows paths ending
// in "\" (the build tree is reached through drive Z:).
std::wstring DoublesDir();
std::wstring KitArchive();  // the stand-in firebird_4_0_x64.zip

// A scratch folder under %TEMP%, removed with everything in it (read-only
// files included) when the object goes. Path() ends in "\".
class TempDir {
public:
    explicit TempDir(const std::wstring& hint = L"t");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& rel) const { return path_ + rel; }

private:
    std::wstring path_;
};

void RemoveTree(const std::wstring& folder);
bool MakeDirs(const std::wstring& folder);  // creates every missing level

bool Exists(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);  // empty when missing
bool CopyInto(const std::wstring& from, const std::wstring& to);

// Runs a command line, waits for it, returns its exit code (-1 when it could
// not be started).
long RunWait(const std::wstring& commandLine, DWORD timeoutMs = 60000);

// A started program; killed when the object goes if it still runs.
class ChildProcess {
public:
    explicit ChildProcess(const std::wstring& commandLine);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    bool Started() const { return process_ != nullptr; }
    bool Wait(DWORD timeoutMs);  // true when it ended in time
    HANDLE Handle() const { return process_; }

private:
    HANDLE process_ = nullptr;
};

// Waits until a file exists; false after the timeout. A program of ours that
// writes one when it is ready may take many seconds to start while other
// suites keep the processors busy; the wait ends as soon as the file is there.
bool WaitForFile(const std::wstring& path, DWORD timeoutMs = 60000);

// Current state of a service (SERVICE_RUNNING...), 0 when it does not exist.
DWORD ServiceState(const std::wstring& serviceName);
// Stops and deletes a service if present, and returns once its process has
// ended (or after 5 s); used to tidy up after tests.
void ForgetService(const std::wstring& serviceName);
// Registers a stopped, demand-start service "FirebirdServer" + instance,
// displayed as the service tool displays one, that runs `binaryPath` (as
// given: quote it yourself). False when it cannot be created.
bool RegisterInstance(const std::wstring& instance, const std::wstring& binaryPath);

std::string ToUtf8(const std::wstring& s);
std::wstring FromUtf8(const std::string& s);

}  // namespace testsupport
