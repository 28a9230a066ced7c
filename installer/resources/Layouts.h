// Layouts of the wizard window and its pages, as data: one row per control
// with its place at 96 DPI, caption, initial state, tab order, font and
// handlers. The toolkit turns them into controls scaled for the screen.
#pragma once

#include "toolkit/Form.h"

namespace resources {

// The wizard window and the place its pages share (left, top, width, height).
extern const toolkit::FormDesc kWizardForm;
inline constexpr int kPageLeft = 162, kPageTop = 0, kPageWidth = 319, kPageHeight = 312;

toolkit::Layout WizardLayout();
toolkit::Layout WizFrameLayout();       // the title every page has
toolkit::Layout ProgressFrameLayout();  // below the title
toolkit::Layout EndFrameLayout();
toolkit::Layout NewFrameLayout();

// The banner picture (RCDATA, a 161 x 312 truecolour PNG; BANNER_150 and
// BANNER_200 beside it for 150 % and 200 % display scaling).
inline constexpr wchar_t kBannerResource[] = L"BANNER";

// The maker's guide to converting the application's databases for the new
// server, shown and opened by the end page's link.
inline constexpr wchar_t kConversionGuideUrl[] =
    L"https://www.velmora.sk/konverzia-fb4";

}  // namespace resources
