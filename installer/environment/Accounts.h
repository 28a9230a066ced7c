// The account the installer runs under: what its token allows.
#pragma once

namespace environment {

// True when the caller's token (the thread's, else the process's) has the
// local Administrators group enabled: the installer may change the
// machine now. A non-elevated administrator is not.
bool IsElevatedAdministrator();

// Enables SeDebugPrivilege in the process token so that processes of other
// accounts can be inspected. False when the token cannot be opened, the
// privilege not looked up, or the adjustment fails.
bool EnableDebugPrivilege();

}  // namespace environment
