// Small pieces shared by the install sequence, the deployment and the
// service set-up.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "engine/Installation.h"
#include "engine/InstallerUi.h"
#include "engine/Transaction.h"
#include "outside/Outside.h"
#include "platform/Paths.h"

namespace engine {

using platform::EntryExists;
using platform::WithDelimiter;

// The state of the instance registered for `port` in serverDir (named by
// InstanceName), 0 when there is none.
DWORD FindInstance(const Installation& run, environment::Port port);

// What the journal records of this run before its first change.
DeploymentHeader HeaderFor(const Installation& run, bool installsServer);

// Undoes the deployment the journal records, saying so on the progress
// page: the outcome tells the user that the previous server is back and
// why: `failure`, or the user's cancel when there is none.
Outcome RollBackInstallation(RunState& state, InstallerUi& ui,
                             const std::optional<std::wstring>& failure);

// Undoes what a transaction journalled and words the outcome: after
// `failure`, or after a cancel when there is none.
using RollBackWith = std::function<Outcome(const std::optional<std::wstring>& failure)>;

// Runs `body` as the transaction `tx`: an error raised before the commit,
// or a cancel (body returns false), ends in `rollBack`'s outcome; an error
// raised after the commit goes on up. kFinished when body is done.
Outcome AsOneTransaction(const Transaction& tx, const std::function<bool()>& body,
                         const RollBackWith& rollBack);

// The text of the exception being handled, for the user.
std::wstring CurrentErrorText();

// The application's two markers, made once per run and journalled first,
// and the wait for its running instances: what comes before a change of
// the server. WaitForApplication gives the stop or postponement, nothing
// when none runs.
void CreateMarkers(Installation& run, InstallerUi& ui);
std::optional<Outcome> WaitForApplication(Installation& run, InstallerUi& ui);

// The client library, the runtime files, the backup tool and data.ini in
// the application: what follows a server set up or kept. The client
// library comes from `gdsSource` when that is not empty, else only where
// the application lacks one.
void PlaceClientFiles(const DeploymentHeader& where, const std::wstring& gdsSource,
                      InstallerUi& ui);
// A backup tool missing beside the installer is reported.
void PlaceBackupTool(const std::wstring& appDir, const std::wstring& installerDir, InstallerUi& ui);
// The port, server program and mode code in the application's data.ini.
void WriteDataIni(const DeploymentHeader& where, InstallerUi& ui);

}  // namespace engine
