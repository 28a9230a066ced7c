// Running instances of the accounting application and the files through
// which the installer and the instances (on this and other computers)
// coordinate in the shared application folder: the instances' ".lck"/".lci"
// pairs, the executable's lock, stop requests and the two markers.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "environment/SharedFolder.h"

namespace environment {

// Shows a message the user must see, whatever the run (the wizard's error
// box): the computer name's registry value that cannot be read. Empty: not
// shown.
using ErrorNotice = std::function<void(const std::wstring& message)>;

// This computer's name, upper case; empty when unknown. A value that exists
// but cannot be read goes to `onUnreadable` as "Chyba pri čítaní z registrov!".
std::wstring ReadComputerName(const ErrorNotice& onUnreadable);
// The same from the value "ComputerName" of `key` under HKEY_LOCAL_MACHINE,
// for suites that must not change the name every suite beside them reads.
std::wstring ReadComputerNameFrom(const std::wstring& key, const ErrorNotice& onUnreadable);

// What a scan shows: the blocked dialog's list and label.
class InstanceListView {
public:
    virtual ~InstanceListView() = default;
    // A running instance: its computer and its user ("x" when unknown).
    virtual void AddRow(const std::wstring& computer, const std::wstring& user) = 0;
    // No instance holds a lock but the application's executable is in use on
    // this computer: the list gives way to the longer notice. Called on every
    // such scan; the view keeps that layout for the rest of its life.
    virtual void ShowExecutableNotice() = 0;
};

// True while an instance runs: a ".lck" in "userdata\temp\" that cannot be
// opened exclusively, or (when there is none) a locked "bin\exe\Kadrix.exe".
// Stale ".lck" files are deleted with their ".lci" and not counted, nor are
// those gone between listing and opening. With
// `requestStop`, each instance's computer folder under "userdata\comps\"
// receives a "kill.lck" (only a folder of one plain name, inside `appDir`).
// `list` may be null. `appDir` ends in "\". `onUnreadable` as for
// ReadComputerName; `onLink` hears of the lock files and requests left
// alone because they are links.
bool IsAppRunning(const std::wstring& appDir, InstanceListView* list, bool requestStop,
                  const ErrorNotice& onUnreadable = nullptr, const LinkNotice& onLink = nullptr);

// How many instances run, as IsAppRunning tells them, only looked at: a
// stale ".lck" stays, no stop request is sent. No lock held but the
// executable in use counts as one.
int CountRunningInstances(const std::wstring& appDir);

// True while an instance holds the ".lck". A stale one is deleted with its
// ".lci"; one that no longer exists is not held either, nor is a link
// (left alone, and `onLink` hears of it, as of a ".lci" that is one).
bool IsLockHeld(const std::wstring& lck, const std::wstring& lci,
                const LinkNotice& onLink = nullptr);

// False when the file does not exist or can be opened for reading and
// writing without sharing (the handle is closed at once); true otherwise.
bool IsFileLocked(const std::wstring& path);

// Creates the file empty. One that exists already (someone else's marker,
// or a link) is left as it is: kFailed.
SharedChange CreateMarkerFile(const std::wstring& path);

// "norun." + this computer's name in `folder` ("userdata\comps\").
// `onUnreadable` here and below as for ReadComputerName.
std::wstring NoRunMarkerPath(const std::wstring& folder, const ErrorNotice& onUnreadable = nullptr);

// Writes "norun." + this computer's name into `folder` ("userdata\comps\"):
// the local time five minutes ahead as "dd.mm.yyyy hh:nn", then the reason.
// `localNow` stands in for the clock (tests).
SharedChange WriteNoRunMarker(const std::wstring& folder,
                              const ErrorNotice& onUnreadable = nullptr);
SharedChange WriteNoRunMarker(const std::wstring& folder, const SYSTEMTIME& localNow,
                              const ErrorNotice& onUnreadable = nullptr);

// The first line of the no-run marker for a given local time: that time
// plus 300 seconds, "dd.mm.yyyy hh:nn" with the user's time separator.
std::wstring NoRunUntilText(const SYSTEMTIME& localNow);

// Writes a stop request: this computer's name, then the reason. The folder
// is not created.
SharedChange WriteKillRequest(const std::wstring& path, const ErrorNotice& onUnreadable = nullptr);

}  // namespace environment
