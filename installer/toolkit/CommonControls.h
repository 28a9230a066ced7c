// The common-controls family: progress bar, list view.
#pragma once

#include <string>
#include <vector>

#include "toolkit/Control.h"

namespace toolkit {

class ProgressBar : public Control {
public:
    ProgressBar(Window& parent, const ControlDesc& desc, const Font& font);
    int Max() const { return max_; }
    void SetMax(int max);
    int Position() const { return position_; }
    void SetPosition(int position);

private:
    int max_ = 100, position_ = 0;
};

class ListView : public Control {
public:
    ListView(Window& parent, const ControlDesc& desc, const Font& font);
    void AddColumn(const std::wstring& caption, int width);
    void AddRow(const std::vector<std::wstring>& cells);
    void Clear();
    int RowCount() const;
    std::wstring Cell(int row, int column) const;
};

}  // namespace toolkit
