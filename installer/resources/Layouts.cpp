#include "resources/Layouts.h"

namespace resources {

using toolkit::ControlDesc;
using toolkit::Font;
using toolkit::Kind;
using namespace toolkit;  // flags

namespace {

constexpr Font kTitleFont{L"MS Sans Serif", 16, true};
constexpr Font kTahoma{L"Tahoma", 11};
constexpr Font kLinkFont{L"Tahoma", 11, false, true};

const ControlDesc kWizard[] = {
    {.name = L"Panel1", .kind = Kind::Panel, .left = 0, .top = 0, .width = 161, .height = 314,
     .flags = kWhite},
    {.name = L"imgSetup", .kind = Kind::Picture, .parent = L"Panel1", .left = 0, .top = 0,
     .width = 161, .height = 312},
    {.name = L"line", .kind = Kind::Bevel, .left = 0, .top = 313, .width = 480, .height = 2},
    {.name = L"Back", .kind = Kind::Button, .left = 200, .top = 328, .width = 75, .height = 25,
     .caption = L"< Späť", .tabOrder = 0, .onClick = L"BackClick"},
    {.name = L"Next", .kind = Kind::Button, .left = 274, .top = 328, .width = 75, .height = 25,
     .caption = L"Ďalej >", .tabOrder = 1, .onClick = L"NextClick"},
    {.name = L"OK", .kind = Kind::Button, .left = 274, .top = 328, .width = 75, .height = 25,
     .caption = L"Dokončiť", .flags = kHidden | kDisabled, .tabOrder = 2, .onClick = L"OKClick"},
    {.name = L"Cancel", .kind = Kind::Button, .left = 400, .top = 328, .width = 75, .height = 25,
     .caption = L"Storno", .flags = kCancel, .tabOrder = 3, .onClick = L"CancelClick"},
};

const ControlDesc kWizFrame[] = {
    {.name = L"lCaption", .kind = Kind::Label, .left = 10, .top = 16, .font = &kTitleFont},
};

const ControlDesc kProgressFrame[] = {
    {.name = L"lStatus", .kind = Kind::Label, .left = 16, .top = 176, .font = &kTahoma},
    {.name = L"pbSetup", .kind = Kind::ProgressBar, .left = 10, .top = 232, .width = 299,
     .height = 17},
};

const ControlDesc kEndFrame[] = {
    {.name = L"Panel1", .kind = Kind::Panel, .left = 10, .top = 56, .width = 295, .height = 185,
     .flags = kWhite},
    {.name = L"mInfo", .kind = Kind::Memo, .parent = L"Panel1", .left = 0, .top = 0, .width = 297,
     .height = 57,
     .caption = L"Prechod na nový SQL server Firebird 4.0 vyžaduje \r\n"
                L"konverziu databáz. Podrobný návod konverzie nájdete\r\n"
                L"na nasledujúcom odkaze:",
     .flags = kAnchorRight},
    {.name = L"lLink", .kind = Kind::Label, .parent = L"Panel1", .left = 32, .top = 63,
     .width = 247, .height = 13, .caption = kConversionGuideUrl, .flags = kLink,
     .font = &kLinkFont, .onClick = L"lLinkClick"},
    {.name = L"rInfo", .kind = Kind::RichText, .parent = L"Panel1", .left = 0, .top = 104,
     .width = 297, .height = 81, .flags = kAnchorRight | kAnchorBottom},
};

const ControlDesc kNewFrame[] = {
    {.name = L"grpApp", .kind = Kind::GroupBox, .left = 10, .top = 72, .width = 299, .height = 54,
     .caption = L"Lumera SQL", .tabOrder = 1},
    {.name = L"lAppInfoCaption1", .kind = Kind::Label, .parent = L"grpApp", .left = 10, .top = 16,
     .caption = L"Program nainštalovaný v priečinku:"},
    {.name = L"lAppInfoFolder", .kind = Kind::Label, .parent = L"grpApp", .left = 10, .top = 32},
    {.name = L"btnSearch", .kind = Kind::Button, .parent = L"grpApp", .left = 225, .top = 24,
     .width = 65, .height = 25, .caption = L"Vyhľadať", .tabOrder = 0,
     .onClick = L"btnSearchClick"},
    {.name = L"grpSQL", .kind = Kind::GroupBox, .left = 10, .top = 128, .width = 299,
     .height = 113, .caption = L"Firebird SQL server", .tabOrder = 0},
    {.name = L"chFB", .kind = Kind::CheckBox, .parent = L"grpSQL", .left = 10, .top = 16,
     .width = 100, .height = 17, .caption = L"Firebird 4", .flags = kDisabled, .tabOrder = 0,
     .onClick = L"chFBClick"},
    {.name = L"Label1", .kind = Kind::Label, .parent = L"grpSQL", .left = 110, .top = 17,
     .caption = L"Port servera:"},
    {.name = L"edPort", .kind = Kind::Edit, .parent = L"grpSQL", .left = 174, .top = 14,
     .width = 46, .height = 21, .tabOrder = 4},
    {.name = L"gSS", .kind = Kind::RadioButton, .parent = L"grpSQL", .left = 10, .top = 40,
     .width = 85, .height = 17, .caption = L"SuperServer", .flags = kChecked, .tabOrder = 1},
    {.name = L"gCS", .kind = Kind::RadioButton, .parent = L"grpSQL", .left = 110, .top = 40,
     .width = 85, .height = 17, .caption = L"Classic", .tabOrder = 2},
    {.name = L"gSC", .kind = Kind::RadioButton, .parent = L"grpSQL", .left = 210, .top = 40,
     .width = 85, .height = 17, .caption = L"SuperClassic", .tabOrder = 3},
    {.name = L"lFBInfoCaption1", .kind = Kind::Label, .parent = L"grpSQL", .left = 10, .top = 61,
     .caption = L"Aktuálne nainštalovaný Firebird SQL v priečinku:", .flags = kHidden},
    {.name = L"lFBInfoFolder", .kind = Kind::Label, .parent = L"grpSQL", .left = 10, .top = 77,
     .flags = kHidden},
    {.name = L"edFbFolder", .kind = Kind::Edit, .parent = L"grpSQL", .left = 10, .top = 75,
     .width = 279, .height = 21, .flags = kHidden, .tabOrder = 5},
    {.name = L"lFBInfoCaption2", .kind = Kind::Label, .parent = L"grpSQL", .left = 10, .top = 93,
     .caption = L"Verzia:", .flags = kHidden},
    {.name = L"lFBInfoVersion", .kind = Kind::Label, .parent = L"grpSQL", .left = 49, .top = 93,
     .flags = kHidden},
};

}  // namespace

// The caption is set when the window is created.
const FormDesc kWizardForm{.caption = L"", .clientWidth = 480, .clientHeight = 364,
                           .font = &kSansSerif8};

Layout WizardLayout() { return kWizard; }
Layout WizFrameLayout() { return kWizFrame; }
Layout ProgressFrameLayout() { return kProgressFrame; }
Layout EndFrameLayout() { return kEndFrame; }
Layout NewFrameLayout() { return kNewFrame; }

}  // namespace resources
