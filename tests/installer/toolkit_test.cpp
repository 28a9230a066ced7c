// The UI layer with real (headless) windows: layouts become controls in the
// right places and states, handlers bind by name, check boxes and radio
// buttons notify as the pages expect, Enter and Escape press the right
// buttons, and an exception from a handler ends in the standard error box.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "Pump.h"
#include "ScriptedUi.h"
#include "WinTestSupport.h"
#include "wizard/NewFrame.h"
#include "platform/Errors.h"
#include "resources/Layouts.h"
#include "toolkit/Application.h"
#include "toolkit/Form.h"
#include "toolkit/Seam.h"

using namespace toolkit;

namespace {


class ToolkitTest : public ::testing::Test {
protected:
    Application app_;
    ScriptedUi ui_;
};

// A form with two buttons, a check box and three radio buttons.
const ControlDesc kSample[] = {
    {.name = L"btnA", .kind = Kind::Button, .left = 10, .top = 10, .width = 75, .height = 25,
     .caption = L"A", .tabOrder = 0, .onClick = L"AClick"},
    {.name = L"btnB", .kind = Kind::Button, .left = 100, .top = 10, .width = 75, .height = 25,
     .caption = L"B", .flags = kDefault, .tabOrder = 1, .onClick = L"BClick"},
    {.name = L"btnC", .kind = Kind::Button, .left = 190, .top = 10, .width = 75, .height = 25,
     .caption = L"C", .flags = kCancel, .tabOrder = 2, .onClick = L"CClick"},
    {.name = L"grp", .kind = Kind::GroupBox, .left = 10, .top = 50, .width = 250, .height = 80,
     .caption = L"Skupina", .tabOrder = 3},
    {.name = L"ch", .kind = Kind::CheckBox, .parent = L"grp", .left = 10, .top = 16, .width = 100,
     .height = 17, .caption = L"Voľba", .tabOrder = 0, .onClick = L"chClick"},
    {.name = L"g1", .kind = Kind::RadioButton, .parent = L"grp", .left = 10, .top = 40, .width = 60,
     .height = 17, .caption = L"1", .flags = kChecked, .tabOrder = 1, .onClick = L"gClick"},
    {.name = L"g2", .kind = Kind::RadioButton, .parent = L"grp", .left = 80, .top = 40, .width = 60,
     .height = 17, .caption = L"2", .tabOrder = 2, .onClick = L"gClick"},
    {.name = L"g3", .kind = Kind::RadioButton, .parent = L"grp", .left = 150, .top = 40, .width = 60,
     .height = 17, .caption = L"3", .tabOrder = 3, .onClick = L"gClick"},
};

struct SampleForm : Form {
    SampleForm() : Form(FormDesc{.caption = L"Skúška", .clientWidth = 300, .clientHeight = 150}) {
        Bind(L"AClick", [this] { log += L"A"; });
        Bind(L"BClick", [this] { log += L"B"; });
        Bind(L"CClick", [this] { log += L"C"; });
        Bind(L"chClick", [this] { log += L"ch"; });
        Bind(L"gClick", [this] { log += L"g"; });
        Build(*this, kSample, OwnFont());
    }
    std::wstring log;
};

TEST_F(ToolkitTest, UnboundHandlerNameIsRefusedWhenBuilding) {
    struct Broken : Form {
        Broken() : Form(FormDesc{}) { Build(*this, kSample, OwnFont()); }
    };
    EXPECT_THROW(Broken(), std::logic_error);
}

TEST_F(ToolkitTest, CheckBoxNotifiesEveryChangeAndNoRepeat) {
    SampleForm f;
    auto& ch = f.Get<CheckBox>(L"ch");
    ch.SetChecked(false);
    EXPECT_EQ(L"", f.log);
    ch.SetChecked(true);
    ch.SetChecked(true);
    EXPECT_EQ(L"ch", f.log);
    Click(ch);
    EXPECT_FALSE(ch.Checked());
    EXPECT_EQ(L"chch", f.log);
}

TEST_F(ToolkitTest, RadioButtonsOfOneGroupExcludeEachOther) {
    SampleForm f;
    auto &g1 = f.Get<RadioButton>(L"g1"), &g2 = f.Get<RadioButton>(L"g2"), &g3 = f.Get<RadioButton>(L"g3");
    Click(g3);
    EXPECT_FALSE(g1.Checked());
    EXPECT_FALSE(g2.Checked());
    EXPECT_TRUE(g3.Checked());
    g2.SetChecked(true);
    EXPECT_FALSE(g3.Checked());
    EXPECT_EQ(L"gg", f.log);
}

TEST_F(ToolkitTest, EnterPressesFocusedButtonElseDefaultAndEscapeTheCancelButton) {
    SampleForm f;
    f.Show();
    auto &a = f.Get<Button>(L"btnA"), &c = f.Get<Button>(L"btnC");
    SetFocus(f.Get<CheckBox>(L"ch").Handle());
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    Pump();
    EXPECT_EQ(L"B", f.log);
    SetFocus(a.Handle());
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_EQ(L"BAC", f.log);
    c.SetVisible(false);  // a hidden cancel button does not answer Escape
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
    Pump();
    EXPECT_EQ(L"BAC", f.log);
}

TEST_F(ToolkitTest, TabFollowsTheTabOrderIntoGroupBoxes) {
    SampleForm f;
    f.Show();
    std::vector<std::wstring> order;
    HWND first = GetNextDlgTabItem(f.Handle(), nullptr, FALSE), h = first;
    do {
        order.push_back(Window::From(h)->Text());
        h = GetNextDlgTabItem(f.Handle(), h, FALSE);
    } while (h && h != first && order.size() < 20);
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B", L"C", L"Voľba", L"1", L"2", L"3"}), order);
}

TEST_F(ToolkitTest, ExceptionFromHandlerIsShownAndTheFormCarriesOn) {
    SampleForm f;
    f.Get<Button>(L"btnA").SetOnClick([] { throw platform::Error(L"Archív nie je možné otvoriť."); });
    Click(f.Get<Button>(L"btnA"));
    ASSERT_EQ(1u, ui_.messages.size());
    EXPECT_EQ(L"Archív nie je možné otvoriť.", ui_.messages[0].text);
    EXPECT_EQ(App().Title(), ui_.messages[0].caption);
    EXPECT_EQ(kError, ui_.messages[0].type);
    EXPECT_EQ(std::vector<std::wstring>{L"OK"}, ui_.messages[0].buttons);
    Click(f.Get<Button>(L"btnB"));
    EXPECT_EQ(L"B", f.log);
    EXPECT_FALSE(App().Terminated());
}

TEST_F(ToolkitTest, TimerRunsItsHandlerOnTheUiThread) {
    int ticks = 0;
    Timer timer(10, [&] { ++ticks; });
    for (int i = 0; i < 100 && ticks < 2; ++i) {
        Sleep(10);
        Pump();
    }
    EXPECT_GE(ticks, 2);
    timer.SetEnabled(false);
    int seen = ticks;
    Sleep(50);
    Pump();
    EXPECT_EQ(seen, ticks);
}

TEST_F(ToolkitTest, ListViewHoldsRowsOfCells) {
    const ControlDesc desc[] = {{.name = L"lv", .kind = Kind::ListView, .width = 200, .height = 100}};
    struct F : Form {
        F(Layout l) : Form(FormDesc{}) { Build(*this, l, OwnFont()); }
    } f(desc);
    auto& lv = f.Get<ListView>(L"lv");
    lv.AddColumn(L"Počítač", 100);
    lv.AddColumn(L"Užívateľ", 100);
    lv.AddRow({L"PC1", L"jana"});
    lv.AddRow({L"PC2", L"peter"});
    EXPECT_EQ(2, lv.RowCount());
    EXPECT_EQ(L"peter", lv.Cell(1, 1));
    lv.Clear();
    EXPECT_EQ(0, lv.RowCount());
}

// ---- The parameters page's layout ------------------------------------------------

struct NewFrameHost : Form {
    NewFrameHost() : Form(resources::kWizardForm), page(*this, run, reports, L"", kitProblem) {}
    wizard::RunRecord run;
    wizard::RunExit exit;
    wizard::SetupLog log;
    wizard::Reporter reports{run, exit, log};
    std::wstring kitProblem;
    wizard::TNewFrame page;
};

TEST_F(ToolkitTest, ParametersPageControlsSitWhereTheLayoutPutsThem) {
    NewFrameHost host;
    auto& p = host.page;
    auto bounds = [](Control& c) {
        RECT r = c.Bounds();
        return std::vector<LONG>{r.left, r.top, r.right - r.left, r.bottom - r.top};
    };
    ASSERT_EQ(96, App().Dpi()) << "positions below are at 96 DPI";
    EXPECT_EQ((std::vector<LONG>{10, 128, 299, 113}), bounds(*p.grpSQL));
    EXPECT_EQ((std::vector<LONG>{10, 72, 299, 54}), bounds(*p.grpApp));
    EXPECT_EQ((std::vector<LONG>{174, 14, 46, 21}), bounds(*p.edPort));
    EXPECT_EQ((std::vector<LONG>{225, 24, 65, 25}), bounds(*p.btnSearch));
    EXPECT_EQ((std::vector<LONG>{10, 75, 279, 21}), bounds(*p.edFbFolder));
    EXPECT_EQ((std::vector<LONG>{210, 40, 85, 17}), bounds(*p.gSC));
    EXPECT_EQ(GetParent(p.chFB->Handle()), p.grpSQL->Handle());
    EXPECT_EQ(GetParent(p.btnSearch->Handle()), p.grpApp->Handle());

    EXPECT_EQ(L"Firebird SQL server", p.grpSQL->Caption());
    EXPECT_EQ(L"Lumera SQL", p.grpApp->Caption());
    EXPECT_EQ(L"Firebird 4", p.chFB->Caption());
    EXPECT_FALSE(p.chFB->Enabled());
    EXPECT_FALSE(p.chFB->Checked());
    EXPECT_TRUE(p.gSS->Checked());
    EXPECT_FALSE(p.gCS->Checked());
    for (Control* hidden : std::initializer_list<Control*>{p.lFBInfoCaption1, p.lFBInfoFolder,
                                                           p.edFbFolder, p.lFBInfoCaption2, p.lFBInfoVersion})
        EXPECT_FALSE(hidden->Visible()) << testing::PrintToString(hidden->Name());
    EXPECT_EQ(L"Aktuálne nainštalovaný Firebird SQL v priečinku:", p.lFBInfoCaption1->Caption());
    EXPECT_EQ(L"Vyhľadať", p.btnSearch->Caption());

    // A label sized to its text grows with it.
    LONG before = p.lAppInfoFolder->Bounds().right;
    p.lAppInfoFolder->SetCaption(L"C:\\velmora\\zentaq\\");
    EXPECT_GT(p.lAppInfoFolder->Bounds().right, before);
}

// At 150 % the banner's place grows with the layout; the picture loaded for
// it is the one drawn for that size, so it fills the place unstretched.
TEST_F(ToolkitTest, BannerAt144DpiIsThePictureDrawnForItsPlace) {
    Application scaled(144);
    Form host(resources::kWizardForm);
    for (const wchar_t* name : {L"BackClick", L"NextClick", L"OKClick", L"CancelClick"})
        host.Bind(name, [] {});
    host.Build(host, resources::WizardLayout(), host.OwnFont());
    auto& banner = host.Get<Picture>(L"imgSetup");
    ASSERT_TRUE(banner.LoadPngResource(resources::kBannerResource));
    RECT place;
    GetClientRect(banner.Handle(), &place);
    EXPECT_EQ((std::vector<LONG>{242, 468}), (std::vector<LONG>{place.right, place.bottom}));
    SIZE image = banner.ImageSize();
    EXPECT_EQ((std::vector<LONG>{place.right, place.bottom}), (std::vector<LONG>{image.cx, image.cy}));
}

TEST_F(ToolkitTest, ParametersPageTabOrderStartsInTheServerGroup) {
    NewFrameHost host;
    auto& p = host.page;
    host.Show();
    p.chFB->SetEnabled(true);
    std::vector<std::wstring> order;
    HWND h = p.chFB->Handle();
    for (int i = 0; i < 6; ++i) {
        order.push_back(dynamic_cast<Control*>(Window::From(h))->Name());
        h = GetNextDlgTabItem(host.Handle(), h, FALSE);
    }
    EXPECT_EQ((std::vector<std::wstring>{L"chFB", L"gSS", L"gCS", L"gSC", L"edPort", L"btnSearch"}), order);
}

// The system's open-file dialog, answered from a second thread as a user
// would: picking a file in another folder must not move the current
// directory, where the installer finds its kit and the backup tool and which
// it tidies when it closes.
TEST_F(ToolkitTest, OpenFileDialogLeavesTheCurrentDirectoryAlone) {
    testsupport::TempDir start(L"ofd"), other(L"ofdpick");
    const std::wstring picked = other / L"Kadrix.exe";
    ASSERT_TRUE(testsupport::WriteBytes(picked, "MZ"));
    wchar_t saved[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, saved);
    ASSERT_TRUE(SetCurrentDirectoryW(start.Path().c_str()));
    wchar_t before[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, before);

    UiSeam* scripted = SetUiSeam(nullptr);  // the real dialog
    std::atomic<bool> answered{false}, over{false};
    std::thread user([&] {
        for (int i = 0; i < 400 && !over; ++i, Sleep(50)) {
            HWND dialog = FindWindowW(L"#32770", L"Pick the program");
            if (!dialog) continue;
            // The file-name box: a combo box on newer systems, an edit on older.
            SetDlgItemTextW(dialog, 0x047C, picked.c_str());
            SetDlgItemTextW(dialog, 0x0480, picked.c_str());
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            answered = true;
            return;
        }
    });
    OpenFileRequest request;
    request.title = L"Pick the program";
    request.filter = L"Programs|*.exe";
    request.initialDir = other.Path();
    std::wstring path;
    const bool chosen = OpenFile(request, path);
    over = true;
    user.join();
    SetUiSeam(scripted);
    wchar_t after[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, after);
    SetCurrentDirectoryW(saved);

    ASSERT_TRUE(answered);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(0, lstrcmpiW(picked.c_str(), path.c_str())) << testsupport::ToUtf8(path);
    EXPECT_EQ(0, lstrcmpiW(before, after)) << testsupport::ToUtf8(after);
}

}  // namespace
