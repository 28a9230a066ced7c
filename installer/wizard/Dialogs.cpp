#include "wizard/Dialogs.h"

#include <windows.h>

#include <cwchar>
#include <utility>

#include "environment/Instances.h"
#include "platform/Text.h"
#include "wizard/Wizard.h"
#include "toolkit/Application.h"
#include "toolkit/MessageDialog.h"
#include "toolkit/Seam.h"

namespace wizard {

namespace {

HANDLE AsHandle(int32_t log) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(log)); }

bool Unseen() {
    return Wizard && Wizard->Unseen();
}

int UnseenAnswer(int buttons, int32_t defaultResult) {
    const std::pair<int, int> results[] = {
        {kButtonYes, kResultYes}, {kButtonNo, kResultNo}, {kButtonOK, kResultOK}};
    for (const auto& [button, result] : results)
        if ((buttons & button) && result == defaultResult) return result;
    return (buttons & kButtonNo) ? kResultNo : kResultOK;
}

}  // namespace

int ShowDialog(const std::wstring& message, const std::wstring& caption, int type, int buttons,
               int32_t defaultResult) {
    if (Unseen()) {
        // Questions are logged by their callers together with the answer.
        if (type == kDialogError) WriteLog(Wizard->Run().m_logFd, LogEntry(message));
        return UnseenAnswer(buttons, defaultResult);
    }
    toolkit::MessageDialog dialog(message, type, buttons);
    dialog.SetText(caption);
    for (toolkit::Button* button : dialog.Buttons()) {
        bool isDefault = button->ModalResult() == defaultResult;
        button->SetDefault(isDefault);
        if (isDefault) dialog.SetActiveControl(button);
        if (button->ModalResult() == kResultYes) button->SetCaption(L"&Ano");
        if (button->ModalResult() == kResultNo) button->SetCaption(L"&Nie");
    }
    return toolkit::Ui().RunMessage(dialog);
}

int ShowError(const std::wstring& message) {
    return ShowDialog(message, L"Chyba", kDialogError, kButtonOK, kResultOK);
}

int AskQuestion(const std::wstring& message) {
    // OK is on no button of a question: nothing is marked default and the
    // focus stays on Yes.
    return ShowDialog(message, L"Otázka", kDialogConfirmation, kButtonYes | kButtonNo, kResultOK);
}

void ReportError(const std::wstring& message) {
    if (!Wizard) {
        ShowError(message);
        return;
    }
    Wizard->Run().SetExitCode(kExitFailed);
    // The log is the only trace an administrator has of an unattended run.
    WriteLog(Wizard->Run().m_logFd, LogEntry(message));
    if (!Wizard->Run().m_bSilentInstall) ShowError(message);
}

void ReportException() {
    if (Wizard) WriteLog(Wizard->Run().m_logFd, LogEntry(toolkit::Application::ExceptionText()));
    if (!Unseen()) toolkit::App().ShowException();
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

int32_t OpenLog(const std::wstring& path) {
    HANDLE h;
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
        if (h != INVALID_HANDLE_VALUE) SetFilePointer(h, 0, nullptr, FILE_END);
    } else {
        h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    // Kernel handles fit in 32 bits, also in a 64-bit process.
    return h == INVALID_HANDLE_VALUE ? -1 : static_cast<int32_t>(reinterpret_cast<intptr_t>(h));
}

bool WriteLog(int32_t log, const std::wstring& entry) {
    // -1 is what OpenLog gives for no file; as a handle it would mean this process.
    if (log == -1 || log == 0) return false;
    DWORD bytes = static_cast<DWORD>(entry.size() * sizeof(wchar_t)), written = 0;
    return WriteFile(AsHandle(log), entry.data(), bytes, &written, nullptr) && written == bytes;
}

std::wstring LogEntry(const std::wstring& message) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    wchar_t separator[8] = L":";
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 8) <= 1) wcscpy(separator, L":");
    wchar_t stamp[64];
    swprintf(stamp, 64, L"%02u.%02u.%04u %02u%ls%02u%ls%02u", t.wDay, t.wMonth, t.wYear, t.wHour,
             separator, t.wMinute, separator, t.wSecond);
    return std::wstring(stamp) + L"\r\n" + message + L"\r\n";
}

std::wstring ReadComputerName() {
    return environment::ReadComputerName([](const std::wstring& message) { ShowError(message); });
}

}  // namespace wizard
