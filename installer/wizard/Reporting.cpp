#include "wizard/Reporting.h"

#include <windows.h>

#include <utility>

#include "platform/Text.h"
#include "toolkit/Application.h"
#include "toolkit/Seam.h"
#include "wizard/Dialogs.h"
#include "wizard/LogEntry.h"

namespace wizard {

namespace {

int UnseenAnswer(int buttons, int32_t defaultResult) {
    const std::pair<int, int> results[] = {
        {kButtonYes, kResultYes}, {kButtonNo, kResultNo}, {kButtonOK, kResultOK}};
    for (const auto& [button, result] : results)
        if ((buttons & button) && result == defaultResult) return result;
    return (buttons & kButtonNo) ? kResultNo : kResultOK;
}

}  // namespace

bool Reporter::Unseen() const {
    return run_.checkOnly || (run_.m_bSilentInstall && !toolkit::Ui().WindowStationVisible());
}

int Reporter::ShowDialog(const std::wstring& message, const std::wstring& caption, int type,
                         int buttons, int32_t defaultResult) const {
    if (!Unseen()) return wizard::ShowDialog(message, caption, type, buttons, defaultResult);
    // Questions are logged by their callers together with the answer.
    if (type == kDialogError) Log(message);
    return UnseenAnswer(buttons, defaultResult);
}

int Reporter::ShowError(const std::wstring& message) const {
    return ShowDialog(message, L"Chyba", kDialogError, kButtonOK, kResultOK);
}

int Reporter::AskQuestion(const std::wstring& message) const {
    // As wizard::AskQuestion: no button carries OK.
    return ShowDialog(message, L"Otázka", kDialogConfirmation, kButtonYes | kButtonNo, kResultOK);
}

environment::ErrorNotice Reporter::Notice() const {
    return [this](const std::wstring& message) { ShowError(message); };
}

void Reporter::LinkLeft(const std::wstring& path) const {
    if (linksLogged_.insert(path).second) Log(environment::LinkLeftText(path));
}

environment::LinkNotice Reporter::LinkNotice() const {
    return [this](const std::wstring& path) { LinkLeft(path); };
}

void Reporter::ReportError(const std::wstring& message) {
    exit_.ErrorReported();
    TellError(message);
}

void Reporter::TellError(const std::wstring& message) {
    if (firstError_.empty()) firstError_ = message;
    // The log is the only trace an administrator has of an unattended run.
    Log(message);
    if (!run_.m_bSilentInstall) ShowError(message);
}

void Reporter::ReportException() const {
    Log(toolkit::Application::ExceptionText());
    if (!Unseen()) toolkit::App().ShowException();
}

void Reporter::Log(const std::wstring& message) const {
    lastEntry_ = message;
    log_.Write(LogEntry(message));
}

std::wstring Reporter::ExitExplanation() const {
    std::wstring why =
        exit_.Code() == engine::kExitFailed && !firstError_.empty() ? firstError_ : lastEntry_;
    for (size_t at = why.find(L"\r\n"); at != std::wstring::npos; at = why.find(L"\r\n", at))
        why.replace(at, 2, L" ");
    const std::wstring code = L"Inštalácia skončila s kódom " + std::to_wstring(exit_.Code());
    return why.empty() ? code + L"." : code + L": " + why;
}

void WriteStandardError(const std::wstring& line) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (!err || err == INVALID_HANDLE_VALUE) return;
    const std::wstring text = line + L"\r\n";
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(err, &mode)) {
        WriteConsoleW(err, text.data(), DWORD(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = platform::ToCodePage(CP_UTF8, text);
    WriteFile(err, bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

}  // namespace wizard
