// A list's rows read whole.
#include "win32/row_detail.h"

#include <utility>

#include <windowsx.h>

void RowDetail::Attach(HWND owner, const ListView& list, HWND line, Words words) {
    list_ = &list;
    line_.Attach(line);
    words_ = std::move(words);
    if (tip_.Create(owner)) {
        tip_.AddTool(list.hwnd(), L"");
    }
    Refresh();
}

void RowDetail::Relay(const MSG& message) {
    // The text first: the tip the move brings up is the row's under it.
    if (list_ && message.hwnd == list_->hwnd() && message.message == WM_MOUSEMOVE) {
        const int row = list_->RowAt({GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)});
        if (row != tipRow_) {
            ShowTip(row);
        }
    }
    tip_.Relay(message);
}

void RowDetail::OnNotify(const NMHDR& header) {
    if (!list_ || header.hwndFrom != list_->hwnd() || header.code != LVN_ITEMCHANGED) {
        return;
    }
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if ((change.uChanged & LVIF_STATE) && ((change.uNewState ^ change.uOldState) & LVIS_SELECTED)) {
        Refresh();
    }
}

void RowDetail::Refresh() {
    if (!list_) {
        return;
    }
    ShowTip(tipRow_ < list_->Count() ? tipRow_ : -1);
    const int selected = list_->Selected();
    const std::wstring words = selected >= 0 ? words_(selected) : L"";
    // Set only when it changes: a unit finishing elsewhere in the list must not undo what
    // the technician is selecting in the line to copy.
    if (line_.GetText() != words) {
        line_.SetText(words);
    }
}

void RowDetail::ShowTip(int row) {
    tipRow_ = row;
    std::wstring words = row >= 0 ? words_(row) : L"";
    if (words != tipText_) {
        tipText_ = std::move(words);
        tip_.SetText(list_->hwnd(), tipText_);
    }
}
