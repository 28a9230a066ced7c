// The command lines of the outside programs: the server's service tool,
// the legacy server's tool and the firewall command.
#pragma once

#include <string>

#include "environment/Port.h"
#include "platform/Paths.h"

namespace engine {

// program + arguments, the program's path in double quotes when it holds a
// blank: an unquoted "C:\Program Files\x\y.exe" lets Windows try
// "C:\Program.exe" first. Arguments are appended as given.
std::wstring CommandLine(const std::wstring& program, const std::wstring& arguments);

// serverDir + "instsvc.exe" + " " + action + " -n " + InstanceName(serverDir, port).
std::wstring ServiceToolCommand(const std::wstring& serverDir, const wchar_t* action,
                                environment::Port port);

// The legacy 2.5 server's tool in its folder: action + " -n velmora64b".
std::wstring LegacyToolCommand(const std::wstring& legacyDir, const wchar_t* action);

// <systemDir>netsh.exe firewall add allowedprogram "<serverDir>firebird.exe"
// "Firebird SQL server" ENABLE. The program goes by its full path: a bare
// name would run a netsh.exe lying in the installer's own folder first.
std::wstring FirewallCommand(const std::wstring& serverDir,
                             const std::wstring& systemDir = platform::SystemDir());

// <systemDir>netsh.exe firewall delete allowedprogram "<serverDir>firebird.exe":
// the rule FirewallCommand added, removed.
std::wstring FirewallDeleteCommand(const std::wstring& serverDir,
                                   const std::wstring& systemDir = platform::SystemDir());

}  // namespace engine
