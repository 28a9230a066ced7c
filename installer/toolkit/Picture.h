// A picture control: a PNG resource decoded through WIC.
#pragma once

#include "platform/UniqueHandle.h"
#include "toolkit/Control.h"

namespace toolkit {

// A picture drawn to fill its rectangle. A resource NAME may come drawn
// for larger display scales too, as NAME_150 (150 %) and NAME_200 (200 %),
// so that it fills a layout scaled for the DPI without blurring.
class Picture : public Control {
public:
    Picture(Window& parent, const ControlDesc& desc, const Font& font);
    // Loads the RCDATA PNG of the running program drawn for the
    // application's DPI: NAME_200 above 150 %, NAME_150 above 100 %, else
    // NAME, each falling back to the next smaller one the program lacks.
    // False (and the picture unchanged) when none is there or it cannot be
    // decoded.
    bool LoadPngResource(const wchar_t* resourceName);
    SIZE ImageSize() const { return size_; }
    bool HandleMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    void Draw(HDC dc, const RECT& client) const;

    platform::UniqueBitmap bitmap_;
    SIZE size_{0, 0};
};

}  // namespace toolkit
