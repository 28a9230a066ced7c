// The installer's message dialogs run for real (headless), with keys and the
// close icon used as a user would; the setup log is checked byte for byte;
// the computer name is read from a registry value the tests set.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

#include "Places.h"
#include "ScriptedUi.h"
#include "WinTestSupport.h"
#include "environment/Instances.h"
#include "wizard/Dialogs.h"
#include "wizard/LogEntry.h"
#include "wizard/SetupLog.h"
#include "wizard/Wizard.h"
#include "toolkit/Application.h"

using namespace testsupport;

namespace {

// ---- Message dialogs --------------------------------------------------------

enum class Act { Enter, Escape, CloseIcon };

struct DialogCase {
    const char* name;
    int (*show)();
    std::wstring caption;
    int type;
    std::vector<std::wstring> buttons;
    std::wstring defaultButton, focusButton;
    Act act;
    int expected;
};

int QuestionDefaultNo() {
    return wizard::ShowDialog(L"Chcete pokračovať?", L"Otázka", wizard::kDialogConfirmation,
                             wizard::kButtonYes | wizard::kButtonNo, wizard::kResultNo);
}
int Ask() { return wizard::AskQuestion(L"Ukončiť?"); }
int Error() { return wizard::ShowError(L"Niečo zlyhalo."); }

const std::vector<std::wstring> kYesNo{L"&Ano", L"&Nie"};

const DialogCase kDialogCases[] = {
    {"QuestionDefaultNo_EnterAnswersNo", QuestionDefaultNo, L"Otázka", 3, kYesNo, L"&Nie", L"&Nie", Act::Enter, 7},
    {"QuestionDefaultNo_EscapeAnswersNo", QuestionDefaultNo, L"Otázka", 3, kYesNo, L"&Nie", L"&Nie", Act::Escape, 7},
    {"QuestionDefaultNo_CloseIconAnswersCancel", QuestionDefaultNo, L"Otázka", 3, kYesNo, L"&Nie", L"&Nie", Act::CloseIcon, 2},
    {"AskQuestion_EnterAnswersYes", Ask, L"Otázka", 3, kYesNo, L"", L"&Ano", Act::Enter, 6},
    {"AskQuestion_EscapeAnswersNo", Ask, L"Otázka", 3, kYesNo, L"", L"&Ano", Act::Escape, 7},
    {"AskQuestion_CloseIconAnswersCancel", Ask, L"Otázka", 3, kYesNo, L"", L"&Ano", Act::CloseIcon, 2},
    {"ShowError_EnterAnswersOK", Error, L"Chyba", 1, {L"OK"}, L"OK", L"OK", Act::Enter, 1},
    {"ShowError_EscapeAnswersOK", Error, L"Chyba", 1, {L"OK"}, L"OK", L"OK", Act::Escape, 1},
    {"ShowError_CloseIconAnswersCancel", Error, L"Chyba", 1, {L"OK"}, L"OK", L"OK", Act::CloseIcon, 2},
};

class DialogTest : public ::testing::TestWithParam<DialogCase> {
protected:
    toolkit::Application app_;
    ScriptedUi ui_;
};

TEST_P(DialogTest, ButtonsFocusAndAnswer) {
    const DialogCase& c = GetParam();
    std::wstring focused;
    bool visible = false;
    ui_.live = [&](toolkit::MessageDialog& dialog) {
        visible = IsWindowVisible(dialog.Handle()) != FALSE;
        if (auto* w = toolkit::Window::From(GetFocus())) focused = w->Text();
        switch (c.act) {
            case Act::Enter: ScriptedUi::PressKey(VK_RETURN); break;
            case Act::Escape: ScriptedUi::PressKey(VK_ESCAPE); break;
            case Act::CloseIcon: ScriptedUi::CloseByIcon(dialog); break;
        }
    };
    EXPECT_EQ(c.expected, c.show());
    ASSERT_EQ(1u, ui_.messages.size());
    const auto& m = ui_.messages[0];
    EXPECT_TRUE(visible);
    EXPECT_EQ(c.caption, m.caption);
    EXPECT_EQ(c.type, m.type);
    EXPECT_EQ(c.buttons, m.buttons);
    EXPECT_EQ(c.defaultButton, m.defaultButton);
    EXPECT_EQ(c.focusButton, focused) << "focus when the dialog came up";
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogTest, ::testing::ValuesIn(kDialogCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DialogText, MessageIsShownAsGiven) {
    toolkit::Application app;
    ScriptedUi ui;
    wizard::ShowError(L"Chyba pri zápise do ini súboru!");
    ASSERT_EQ(1u, ui.messages.size());
    EXPECT_EQ(L"Chyba pri zápise do ini súboru!", ui.messages[0].text);
}

// ---- Setup log ------------------------------------------------------------------

std::string Utf16Bytes(const std::wstring& s) {
    return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

TEST(LogEntry, StampThenMessageEachEndingInCrLf) {
    std::wstring entry = wizard::LogEntry(L"OK");
    EXPECT_TRUE(std::regex_match(ToUtf8(entry),
                                 std::regex(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\r\nOK\r\n)")))
        << ToUtf8(entry);
}

TEST(SetupLog, NewFileHoldsUtf16WithoutByteOrderMark) {
    TempDir dir(L"log");
    std::wstring path = dir / L"setup.log";
    wizard::SetupLog log;
    ASSERT_TRUE(log.Open(path));
    std::wstring entry = L"01.02.2026 03:04:05\r\nAktuálny server\r\n";
    EXPECT_TRUE(log.Write(entry));
    log.Close();
    EXPECT_EQ(Utf16Bytes(entry), ReadBytes(path));
}

TEST(SetupLog, SecondRunAppendsAfterTheFirst) {
    TempDir dir(L"log");
    std::wstring path = dir / L"setup.log";
    std::wstring first = wizard::LogEntry(L"OK"), second = wizard::LogEntry(L"Chyba pri mazaní gds32.dll!");
    {
        wizard::SetupLog log;
        ASSERT_TRUE(log.Open(path));
        ASSERT_TRUE(log.Write(first));
    }
    wizard::SetupLog log;
    ASSERT_TRUE(log.Open(path));
    ASSERT_TRUE(log.Write(second));
    log.Close();
    EXPECT_EQ(Utf16Bytes(first + second), ReadBytes(path));
}

// Two runs at once: each entry lands whole at the end, wherever the other
// run's handle last wrote.
TEST(SetupLog, TwoRunsOpenAtOnceAppendWholeEntriesInTurn) {
    TempDir dir(L"log");
    std::wstring path = dir / L"setup.log";
    std::wstring entries[] = {wizard::LogEntry(L"Predchádzajúca inštalácia..."),
                              wizard::LogEntry(L"Inštalácia sa nespustila..."),
                              wizard::LogEntry(L"OK")};
    wizard::SetupLog first, second;
    ASSERT_TRUE(first.Open(path));
    ASSERT_TRUE(second.Open(path));
    ASSERT_TRUE(first.Write(entries[0]));
    ASSERT_TRUE(second.Write(entries[1]));
    ASSERT_TRUE(first.Write(entries[2]));
    first.Close();
    second.Close();
    EXPECT_EQ(Utf16Bytes(entries[0] + entries[1] + entries[2]), ReadBytes(path));
}

// A hard link stands for every kind of link: Wine has no others of Windows.
TEST(SetupLog, ALogThatIsAFurtherNameOfAnotherFileIsNotOpened) {
    TempDir dir(L"log");
    ASSERT_TRUE(WriteBytes(dir / L"victim.txt", "not the installer's"));
    ASSERT_TRUE(
        CreateHardLinkW((dir / L"setup.log").c_str(), (dir / L"victim.txt").c_str(), nullptr));
    wizard::SetupLog log;
    EXPECT_FALSE(log.Open(dir / L"setup.log"));
    EXPECT_EQ(DWORD(ERROR_REPARSE_POINT_ENCOUNTERED), GetLastError());
    EXPECT_EQ("not the installer's", ReadBytes(dir / L"victim.txt"));
}

TEST(SetupLog, MissingFolderGivesNoHandleAndWritesFailQuietly) {
    TempDir dir(L"log");
    wizard::SetupLog log;
    EXPECT_FALSE(log.Open(dir / L"missing\\setup.log"));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(log.Write(L"x"));
    EXPECT_FALSE(wizard::SetupLog().Write(L"x")) << "never opened";
}

// ---- Computer name ----------------------------------------------------------------

// A scratch key of this process: the PC's name is read by the suites
// beside this one, which must never see it changed or gone.
class ComputerNameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, name_.c_str(), 0, nullptr, 0,
                                                 KEY_READ | KEY_WRITE, nullptr, &key_, nullptr));
    }
    void TearDown() override {
        RegCloseKey(key_);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, name_.c_str());
    }
    std::wstring Read(const environment::ErrorNotice& notice) {
        return environment::ReadComputerNameFrom(name_, notice);
    }
    std::wstring Read() {
        return Read([](const std::wstring& m) { wizard::ShowError(m); });
    }
    void SetName(const std::wstring& name) {
        RegSetValueExW(key_, L"ComputerName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>((name.size() + 1) * 2));
    }

    toolkit::Application app_;
    ScriptedUi ui_;
    HKEY key_ = nullptr;
    const std::wstring name_ =
        L"SOFTWARE\\IstrelTests\\ComputerName-" + std::to_wstring(GetCurrentProcessId());
};

TEST_F(ComputerNameTest, LowerCaseNameComesBackUpperCase) {
    SetName(L"účtáreň-2");
    EXPECT_EQ(L"ÚČTÁREŇ-2", Read());
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(ComputerNameTest, MissingValueIsEmptyWithoutMessage) {
    RegDeleteValueW(key_, L"ComputerName");
    EXPECT_EQ(L"", Read());
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(ComputerNameTest, UnreadableValueShowsErrorAndGivesEmpty) {
    DWORD number = 7;
    RegSetValueExW(key_, L"ComputerName", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), sizeof number);
    EXPECT_EQ(L"", Read());
    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(L"Chyba pri čítaní z registrov!", ui_.messages[0].text);
    EXPECT_EQ(L"Chyba", ui_.messages[0].caption);
}

// A service or SYSTEM under a deployment tool: no box would ever be answered.
TEST_F(ComputerNameTest, UnattendedWhereNobodySeesErrorBoxesAreLoggedAndQuestionsAnsweredNo) {
    TempDir dir(L"unseen");
    ScratchPlaces places(dir.Path());
    places.App().Set(dir.Path());
    ui_.stationVisible = false;
    // No kit in the installer's folder: the start-up ends, its log open.
    wizard::TWizard wizard(places.Places(), {L"/S", L"/LOG=" + dir / L"setup.log"});
    DWORD number = 7;
    RegSetValueExW(key_, L"ComputerName", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number),
                   sizeof number);
    EXPECT_EQ(L"", Read(wizard.Reports().Notice()));
    EXPECT_EQ(wizard::kResultNo, wizard.Reports().AskQuestion(L"Ukončiť?"));
    EXPECT_TRUE(ui_.messages.empty());
    wizard.CloseLog();
    const std::string bytes = ReadBytes(dir / L"setup.log");
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    EXPECT_NE(std::wstring::npos, text.find(L"\r\nChyba pri čítaní z registrov!\r\n"));
    EXPECT_EQ(std::wstring::npos, text.find(L"Ukončiť?")) << "questions are logged by their callers";
}

}  // namespace
