// User-facing reports of the installer: one modal message dialog with
// Slovak Yes/No captions, the error box, the yes/no question, the error
// report that stays silent in unattended mode, the setup log and the
// computer name used in marker files.
#pragma once

#include <cstdint>
#include <string>

namespace wizard {

// Dialog types and button sets as the toolkit's message dialog takes them.
enum DialogType : int { kDialogWarning = 0, kDialogError = 1, kDialogInformation = 2, kDialogConfirmation = 3 };
enum DialogButtons : int { kButtonYes = 1, kButtonNo = 2, kButtonOK = 4 };
// Modal results.
enum ModalResult : int { kResultNone = 0, kResultOK = 1, kResultCancel = 2, kResultYes = 6, kResultNo = 7 };

// Where nobody could see it (TWizard::Unseen) no dialog is shown: an error
// box becomes a log entry, and the dialog answers with `defaultResult` when
// a button carries it, else No, else OK.
int ShowDialog(const std::wstring& message, const std::wstring& caption, int type, int buttons,
               int32_t defaultResult);
int ShowError(const std::wstring& message);
int AskQuestion(const std::wstring& message);
// An error on the way: a log entry when a log is open, and the error box
// unless the run is unattended. Either way the run ends with kExitFailed.
void ReportError(const std::wstring& message);
// The standard error box for the exception being handled, its text logged
// first when a log is open; nothing shown where nobody could see it.
void ReportException();
// A line on the process's standard error, where a script reads it; nothing
// when there is none.
void WriteStandardError(const std::wstring& line);

int32_t OpenLog(const std::wstring& path);
bool WriteLog(int32_t log, const std::wstring& entry);
// "dd.mm.yyyy hh:nn:ss" CR LF message CR LF, stamped with the local time.
std::wstring LogEntry(const std::wstring& message);

std::wstring ReadComputerName();  // upper case, empty when unknown

}  // namespace wizard
