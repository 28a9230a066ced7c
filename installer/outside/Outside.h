// What the installer expects of the two things it does not own: the server
// distribution (the kit archive, the unpacked server folder, the service
// tool) and the accounting application's folder. Every name, path, key and
// command-line piece is spelled here once; the rest of the installer builds
// its paths from these.
//
// Folder texts end in "\" and paths are plain concatenations of a folder and
// a relative name, so every relative name below is written without a
// leading delimiter.
#pragma once

#include <array>

namespace outside {

// ---- Server distribution ------------------------------------------------

// The kit archive, looked for in the installer's current directory.
inline constexpr wchar_t kKitArchive[] = L"firebird_4_0_x64.zip";
// A setup launcher left in the installer's folder; deleted with the kit
// after a finished run unless it is the installer itself.
inline constexpr wchar_t kSetupLauncher[] = L"setup.exe";

// Entries of the kit, relative to the server folder.
inline constexpr wchar_t kServerExe[] = L"firebird.exe";
inline constexpr wchar_t kClientDll[] = L"fbclient.dll";
inline constexpr wchar_t kServerConf[] = L"firebird.conf";
inline constexpr wchar_t kServiceTool[] = L"instsvc.exe";
inline constexpr wchar_t kMessageFile[] = L"firebird.msg";
inline constexpr wchar_t kClient32Dll[] = L"32b\\fbclient.dll";
inline constexpr wchar_t kMsvcp32Dll[] = L"32b\\msvcp140.dll";
inline constexpr wchar_t kVcruntime32Dll[] = L"32b\\vcruntime140.dll";

// Every kit entry the installer relies on, for checks that walk them all.
inline constexpr std::array<const wchar_t*, 8> kKitEntries = {
    kServerExe, kClientDll,  kServerConf, kServiceTool,
    kMessageFile, kClient32Dll, kMsvcp32Dll, kVcruntime32Dll};

// Entries whose extraction may fail without a word to the user.
inline constexpr wchar_t kQuietEntryVorsel[] = L"bin\\exe\\vorsel.exe";
inline constexpr wchar_t kQuietEntryMessages[] = L"firebird.msg";

// Files that the server's administrator makes their own (users and
// passwords, aliases, plugin, trace and replication settings): the kit's
// copy is a default for a folder that has none and never replaces theirs.
// Databases anywhere in the folder, by their extension; the configuration
// files at the top of the folder.
inline constexpr wchar_t kDatabaseExtension[] = L".fdb";
inline constexpr wchar_t kAliasesConf[] = L"databases.conf";
inline constexpr std::array<const wchar_t*, 4> kAdministratorsConfs = {
    kAliasesConf, L"plugins.conf", L"fbtrace.conf", L"replication.conf"};
// The server's own log, which the kit does not carry.
inline constexpr wchar_t kServerLog[] = L"firebird.log";

// Keys of firebird.conf that the installer sets, each with its trailing
// " =". The kit's firebird.conf holds a line for every one of them
// (commented or not): keys are replaced, never appended.
inline constexpr wchar_t kConfPortKey[] = L"RemoteServicePort =";
inline constexpr wchar_t kConfModeKey[] = L"ServerMode =";
inline constexpr wchar_t kConfCompatKey[] = L"DataTypeCompatibility =";
inline constexpr wchar_t kConfUdfKey[] = L"#UdfAccess =";  // stays a comment line

inline constexpr std::array<const wchar_t*, 4> kInstallerConfKeys = {kConfModeKey, kConfCompatKey,
                                                                     kConfUdfKey, kConfPortKey};

// Values written for them.
inline constexpr wchar_t kConfCompatValue[] = L"3.0";
inline constexpr wchar_t kConfUdfValuePrefix[] = L"Restrict UDF;";
inline constexpr wchar_t kAppUdfDir[] = L"bin\\system\\udf\\";
inline constexpr wchar_t kAppUdfDirSuffix[] = L"64";

// The port name as it stands at the start of a port line.
inline constexpr wchar_t kConfPortName[] = L"RemoteServicePort";

// Firebird's standard port, the port of a server whose firebird.conf sets
// none; and the port offered for a new server.
inline constexpr wchar_t kStandardPort[] = L"3050";
inline constexpr wchar_t kNewServerPort[] = L"50064";

// Service tool: F + "instsvc.exe" + command + " -n " + instance name.
inline constexpr wchar_t kToolInstall[] = L"i";
inline constexpr wchar_t kToolStart[] = L"sta";
inline constexpr wchar_t kToolStop[] = L"sto";
inline constexpr wchar_t kToolRemove[] = L"r";
inline constexpr wchar_t kToolNameSwitch[] = L" -n ";

// The service tool registers an instance as the service prefix + instance name.
inline constexpr wchar_t kServiceNamePrefix[] = L"FirebirdServer";

// Instance names: prefix + port. A server folder whose path contains
// "_x64" (any case) gets the 64-bit prefix.
inline constexpr wchar_t kInstancePrefix64[] = L"velmora64b_";
inline constexpr wchar_t kInstancePrefix32[] = L"velmora32b_";
inline constexpr wchar_t kFolder64Marker[] = L"_x64";

// How the services of server instances are recognised: service name
// followed directly by the display name contains these (any case).
inline constexpr wchar_t kServiceMarkAny[] = L"FIREBIRD SERVER";
inline constexpr wchar_t kServiceMarkInstance[] = L"Firebird Server - ";

// A running instance's service process is the server executable; the
// instance's firebird.conf is two folder levels above it.

// Legacy 2.5 server under the Program Files folder, without a port.
inline constexpr wchar_t kLegacyFolder[] = L"firebird_2_5\\";
inline constexpr wchar_t kLegacyInstance[] = L"velmora64b";

// Program Files folder (64-bit registry view).
inline constexpr wchar_t kWindowsVersionKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
inline constexpr wchar_t kProgramFilesValue[] = L"ProgramFilesDir";

// Firewall rule: the system folder's kFirewallProgram + kFirewallArguments +
// '"' + F + firebird.exe + '"' + ' ' + '"' + kFirewallRuleName + '"' +
// kFirewallEnable.
inline constexpr wchar_t kFirewallProgram[] = L"netsh.exe";
inline constexpr wchar_t kFirewallArguments[] = L" firewall add allowedprogram ";
inline constexpr wchar_t kFirewallRuleName[] = L"Firebird SQL server";
inline constexpr wchar_t kFirewallEnable[] = L" ENABLE";
// The rule's removal: kFirewallProgram + kFirewallDeleteArguments + '"' + F +
// firebird.exe + '"'.
inline constexpr wchar_t kFirewallDeleteArguments[] = L" firewall delete allowedprogram ";
// What a removal without the kit takes for the server's programs and
// libraries, besides kKitEntries: files with these extensions, anywhere in
// the server folder.
inline constexpr std::array<const wchar_t*, 2> kProgramExtensions = {L".exe", L".dll"};

// Server modes: data.ini code, firebird.conf value.
struct ServerMode {
    const wchar_t* iniCode;
    const wchar_t* confValue;
};
inline constexpr ServerMode kModeSuper{L"SS", L"Super"};
inline constexpr ServerMode kModeClassic{L"CS", L"Classic"};
inline constexpr ServerMode kModeSuperClassic{L"SC", L"SuperClassic"};
inline constexpr std::array<ServerMode, 3> kServerModes = {
    kModeSuper, kModeClassic, kModeSuperClassic};

// ---- Application folder ---------------------------------------------------

// Registry: HKEY_LOCAL_MACHINE, the 32-bit view reached by its explicit path
// (the installer is 64-bit, the application 32-bit).
inline constexpr wchar_t kAppKey[] = L"SOFTWARE\\WOW6432Node\\Velmora\\ZENTAQ";
inline constexpr wchar_t kAppDirValue[] = L"BaseDir";

// The maker's standard folder; the setup log always goes below it.
inline constexpr wchar_t kMakerDir[] = L"C:\\velmora\\zentaq\\";
inline constexpr wchar_t kSetupLog[] = L"userdata\\setup.log";

// Layout below the application folder.
inline constexpr wchar_t kAppExeDir[] = L"bin\\exe\\";
inline constexpr wchar_t kAppExe[] = L"bin\\exe\\Kadrix.exe";
inline constexpr wchar_t kAppExeName[] = L"Kadrix.exe";
inline constexpr wchar_t kDataIni[] = L"bin\\exe\\data.ini";
inline constexpr wchar_t kToolDir[] = L"bin\\system\\quenlet\\";
inline constexpr wchar_t kToolExe[] = L"Quenlet.exe";
inline constexpr wchar_t kUserData[] = L"userdata";
inline constexpr wchar_t kStopMarker[] = L"userdata\\vorsel.stop";
inline constexpr wchar_t kCompsDir[] = L"userdata\\comps\\";
inline constexpr wchar_t kNoRunPrefix[] = L"norun.";
inline constexpr wchar_t kKillRequest[] = L"kill.lck";
inline constexpr wchar_t kLockDir[] = L"userdata\\temp\\";
inline constexpr wchar_t kLockMask[] = L"*.lck";
inline constexpr wchar_t kLockExt[] = L".lck";
inline constexpr wchar_t kLockInfoExt[] = L".lci";
inline constexpr wchar_t kDbCheckFile[] = L"userdata\\temp\\sysfdbcheck.cfg";
inline constexpr wchar_t kTemplateDb[] = L"data\\_sablona.fdb";

// Files the installer places into kAppExeDir.
inline constexpr wchar_t kAppGds32[] = L"gds32.dll";
inline constexpr wchar_t kAppFbclient[] = L"fbclient.dll";
inline constexpr wchar_t kAppMessages[] = L"firebird.msg";
inline constexpr wchar_t kAppMsvcp[] = L"msvcp140.dll";
inline constexpr wchar_t kAppVcruntime[] = L"vcruntime140.dll";

// data.ini: section and keys.
inline constexpr wchar_t kIniSection[] = L"DATA";
inline constexpr wchar_t kIniPort[] = L"PORT";
inline constexpr wchar_t kIniServer[] = L"FBSERVER";
inline constexpr wchar_t kIniMode[] = L"FBTYPE";

// .lci of a running instance: section kIniSection, these keys, "x" when
// missing.
inline constexpr wchar_t kLciComputer[] = L"pocitac";
inline constexpr wchar_t kLciUser[] = L"uzivatel";
inline constexpr wchar_t kLciMissing[] = L"x";

// Default server folder, below the folder above the application folder.
inline constexpr wchar_t kDefaultServerDir[] = L"firebird\\firebird_4_0_x64\\";

}  // namespace outside
