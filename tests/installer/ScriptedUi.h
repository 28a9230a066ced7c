// A stand-in for the user at the toolkit's dialog seam: while it lives,
// every message dialog, open-file dialog and shell "open" comes here, is
// recorded, and is answered from a script. With `live` set, message dialogs
// run for real and `live` acts on each once it is up (press keys, close).
//
//     ScriptedUi ui;
//     ui.answers = {wizard::kResultNo};
//     ... code that asks ...
//     ASSERT_EQ(1u, ui.messages.size());
//     EXPECT_EQ(L"Otázka", ui.messages[0].caption);
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "toolkit/MessageDialog.h"
#include "toolkit/Seam.h"

class ScriptedUi : public toolkit::UiSeam {
public:
    struct Message {
        std::wstring caption;  // title bar
        std::wstring text;
        int type = -1;                      // toolkit::MessageType
        std::vector<std::wstring> buttons;  // captions in the dialog's order
        std::wstring defaultButton;         // caption of the default-marked button, "" for none
        std::wstring focusButton;           // caption of the button focused when it opens
        int escapeResult = 0;               // what Escape would answer
        int result = 0;                     // what it answered
    };

    ScriptedUi() { previous_ = toolkit::SetUiSeam(this); }
    ~ScriptedUi() override { toolkit::SetUiSeam(previous_); }
    ScriptedUi(const ScriptedUi&) = delete;
    ScriptedUi& operator=(const ScriptedUi&) = delete;

    // Message dialogs: answered in order from `answers`; once they run out,
    // a dialog is answered as Escape would answer it.
    std::vector<Message> messages;
    std::deque<int> answers;
    std::function<void(toolkit::MessageDialog&)> live;

    // Open-file dialog: a path each, or nullopt for Cancel (also when none is left).
    std::vector<toolkit::OpenFileRequest> openFiles;
    std::deque<std::optional<std::wstring>> files;

    // Shell "open": recorded, answered with `shellResult`.
    std::vector<toolkit::ShellOpenRequest> shellOpens;
    bool shellResult = true;

    // Whether anybody could see a window; false plays a service or SYSTEM.
    bool stationVisible = true;

    int RunMessage(toolkit::MessageDialog& dialog) override {
        Message m;
        m.caption = dialog.Text();
        m.text = dialog.Message();
        m.type = dialog.Type();
        for (toolkit::Button* b : dialog.Buttons()) {
            m.buttons.push_back(b->Caption());
            bool marked = (GetWindowLongW(b->Handle(), GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
            if (b->IsDefault() && marked) m.defaultButton = b->Caption();
        }
        if (dialog.ActiveControl()) m.focusButton = dialog.ActiveControl()->Caption();
        m.escapeResult = dialog.EscapeResult();
        if (live) {
            dialog.SetOnShown([this, &dialog] { live(dialog); });
            m.result = dialog.Execute();
        } else if (!answers.empty()) {
            m.result = answers.front();
            answers.pop_front();
        } else {
            m.result = m.escapeResult;
        }
        messages.push_back(m);
        return m.result;
    }

    bool RunOpenFile(const toolkit::OpenFileRequest& request, std::wstring& path) override {
        openFiles.push_back(request);
        if (files.empty()) return false;
        std::optional<std::wstring> answer = files.front();
        files.pop_front();
        if (!answer) return false;
        path = *answer;
        return true;
    }

    bool ShellOpen(const toolkit::ShellOpenRequest& request) override {
        shellOpens.push_back(request);
        return shellResult;
    }

    bool WindowStationVisible() override { return stationVisible; }

    // Keyboard and mouse as a user would use them on a live dialog.
    static void PressKey(WORD key) { PostMessageW(GetFocus(), WM_KEYDOWN, key, 0); }
    static void CloseByIcon(toolkit::Form& form) {
        PostMessageW(form.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    }

private:
    toolkit::UiSeam* previous_ = nullptr;
};
