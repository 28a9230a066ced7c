// Starting the outside programs of an installation (the server's service
// tool, the firewall command) and the command lines they are given.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Paths.h"

namespace engine {

// Starts a command line (the first token names the program) without
// inheriting handles, with the installer's environment and current
// directory; minimised shows it minimised and not activated. With wait it
// blocks until the program ends, at most ProgramTimeLimitMs(), and returns
// its exit code; a program still running then is ended and gives
// kProgramTimedOut. Without wait it returns 0. kProgramNotStarted when the
// program could not be started.
inline constexpr int32_t kProgramNotStarted = -1;
inline constexpr int32_t kProgramTimedOut = -2;
int32_t RunProgram(const std::wstring& commandLine, bool minimised, bool wait);

// How long RunProgram waits: five minutes, a hung service tool must not
// keep an unattended run for ever. Suites lower it through the environment
// variable ISTREL_PROGRAM_TIME_LIMIT_MS.
uint32_t ProgramTimeLimitMs();

// program + arguments, the program's path in double quotes when it holds a
// blank: an unquoted "C:\Program Files\x\y.exe" lets Windows try
// "C:\Program.exe" first. Arguments are appended as given.
std::wstring CommandLine(const std::wstring& program, const std::wstring& arguments);

// "velmora64b_" + port, or "velmora32b_" + port when the server folder's
// path lacks "_x64" (any case).
std::wstring InstanceName(const std::wstring& serverDir, const std::wstring& port);

// " -n " + InstanceName(serverDir, port).
std::wstring InstanceSwitch(const std::wstring& serverDir, const std::wstring& port);

// serverDir + "instsvc.exe" + " " + action + InstanceSwitch(serverDir, port).
std::wstring ServiceToolCommand(const std::wstring& serverDir, const wchar_t* action,
                                const std::wstring& port);

// The legacy 2.5 server's tool in its folder: action + " -n velmora64b".
std::wstring LegacyToolCommand(const std::wstring& legacyDir, const wchar_t* action);

// <systemDir>netsh.exe firewall add allowedprogram "<serverDir>firebird.exe"
// "Firebird SQL server" ENABLE. The program goes by its full path: a bare
// name would run a netsh.exe lying in the installer's own folder first.
std::wstring FirewallCommand(const std::wstring& serverDir,
                             const std::wstring& systemDir = platform::SystemDir());

// True when the thread's token (else the process's) lists the built-in
// Administrators group, whatever the group's attributes.
bool IsAdminGroupMember();

}  // namespace engine
