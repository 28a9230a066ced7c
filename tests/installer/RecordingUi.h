// The user as the engine sees it, without a window: every call the engine
// makes, as "Name: text", answered from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/InstallerUi.h"

class RecordingUi : public engine::InstallerUi {
public:
    std::vector<std::wstring> calls;
    // Confirm's answers in order; once they run out, No (the default button).
    std::deque<bool> answers;
    engine::WaitResult wait;  // WaitForApplication's answer
    bool cancel = false;      // CancelRequested's answer
    int32_t advanced = 0;     // AdvanceProgress's units, summed
    // Run by ExtendProgress: the deployment's, after the kit's check and
    // before its extraction.
    std::function<void()> onExtendProgress;

    // A question only a person is asked is recorded as "ConfirmAttended".
    bool Confirm(const std::wstring& q, Asked asked) override {
        Note(asked == Asked::kAlways ? L"Confirm" : L"ConfirmAttended", q);
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty()) answers.pop_front();
        return yes;
    }
    void TellError(const std::wstring& m) override { Note(L"ReportError", m); }
    void Inform(const std::wstring& m) override { Note(L"Inform", m); }
    void ShowErrorBox(const std::wstring& m) override { Note(L"ShowErrorBox", m); }
    void Log(const std::wstring& m) override { Note(L"Log", m); }
    engine::WaitResult WaitForApplication(const std::wstring& dir, int32_t limit) override {
        return Note(L"WaitForApplication", dir + L" " + std::to_wstring(limit)), wait;
    }
    void ShowProgressPage() override { Note(L"ShowProgressPage"); }
    void ExtendProgress(int32_t, const std::wstring& status) override {
        Note(L"ExtendProgress", status);
        if (onExtendProgress) onExtendProgress();
    }
    void AdvanceProgress(int32_t units) override { advanced += units; }
    void KeepResponsive() override {}
    void ExtractionStarted() override { Note(L"ExtractionStarted"); }
    void ExtractionEnded() override { Note(L"ExtractionEnded"); }
    bool CancelRequested() override { return cancel; }

    // What the wizard tells of an engine's outcome: "Failed: …" for a
    // failure's sentence, "Cancelled: …" for a cancel's.
    void Told(const engine::Outcome& outcome) {
        if (outcome.kind == engine::Outcome::kFailed && !outcome.sentence.empty())
            Note(L"Failed", outcome.sentence);
        if (outcome.kind == engine::Outcome::kCancelled) Note(L"Cancelled", outcome.sentence);
    }

    // The calls that put words before the user: questions, reports, log entries.
    std::vector<std::wstring> Said() const {
        std::vector<std::wstring> said;
        for (const std::wstring& call : calls)
            for (const wchar_t* name : {L"Confirm", L"Report", L"Inform", L"ShowErrorBox", L"Log", L"Failed", L"Cancelled"})
                if (call.rfind(name, 0) == 0) said.push_back(call);
        return said;
    }

private:
    void Note(const std::wstring& name, const std::wstring& text = L"") {
        calls.push_back(text.empty() ? name : name + L": " + text);
    }
};
