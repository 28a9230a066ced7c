// The common-controls family: progress bar, list view.
#include "toolkit/CommonControls.h"

#include <commctrl.h>

#include "toolkit/Application.h"

namespace toolkit {

// ---- ProgressBar, ListView ----------------------------------------------------

ProgressBar::ProgressBar(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(PROGRESS_CLASSW, 0, 0, L"");
    SetMax(max_);
}

void ProgressBar::SetMax(int max) {
    max_ = max;
    SendMessageW(hwnd_, PBM_SETRANGE32, 0, max);
    SetPosition(std::min(position_, max));
}

void ProgressBar::SetPosition(int position) {
    position_ = std::clamp(position, 0, std::max(max_, 0));
    SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

ListView::ListView(Window& parent, const ControlDesc& desc, const Font& font)
    : Control(parent, desc, font) {
    Create(WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE, L"");
    SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
}

void ListView::AddColumn(const std::wstring& caption, int width) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(hwnd_, LVM_GETHEADER, 0, 0));
    int index = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = App().Scale(width);
    col.pszText = const_cast<wchar_t*>(caption.c_str());
    SendMessageW(hwnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&col));
}

void ListView::AddRow(const std::vector<std::wstring>& cells) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = RowCount();
    for (size_t i = 0; i < cells.size(); ++i) {
        item.iSubItem = static_cast<int>(i);
        item.pszText = const_cast<wchar_t*>(cells[i].c_str());
        if (i == 0)
            item.iItem = static_cast<int>(
                SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        else
            SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(item.iItem),
                         reinterpret_cast<LPARAM>(&item));
    }
}

void ListView::Clear() {
    SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0);
}

int ListView::RowCount() const {
    return static_cast<int>(SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring ListView::Cell(int row, int column) const {
    wchar_t buf[512] = L"";
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buf;
    item.cchTextMax = 512;
    SendMessageW(hwnd_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    return buf;
}

}  // namespace toolkit
