// The account the installer runs under: what its token allows. Two
// administrator questions with different answers on a token whose
// Administrators group is present but not enabled (a non-elevated
// administrator, a restricted token).
#pragma once

namespace environment {

// True when the caller's token (the thread's, else the process's) has the
// local Administrators group enabled: the installer may change the
// machine now. A non-elevated administrator is not.
bool IsElevatedAdministrator();

// True when the caller's token (the thread's, else the process's) lists
// the local Administrators group, whatever the group's attributes: the
// account belongs to the administrators, elevated or not.
bool ListsAdministratorsGroup();

// Enables SeDebugPrivilege in the process token so that processes of other
// accounts can be inspected. False when the token cannot be opened, the
// privilege not looked up, or the adjustment fails.
bool EnableDebugPrivilege();

}  // namespace environment
