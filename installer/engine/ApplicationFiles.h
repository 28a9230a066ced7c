// What a run places in the application's folder, which its users write:
// the two markers that hold the application still (and the wait for its
// running instances), the client library and runtime files, the backup
// tool, data.ini. Every write there goes through environment/SharedFolder.
#pragma once

#include <optional>
#include <string>

#include "engine/Installation.h"
#include "engine/InstallerUi.h"
#include "engine/Transaction.h"

namespace engine {

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
