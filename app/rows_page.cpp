// A page whose list's rows can be read whole.
#include "app/rows_page.h"

bool RowsPage::PreTranslateMessage(const MSG& message) {
    detail_.Relay(message);
    return Page::PreTranslateMessage(message);
}

void RowsPage::OnDpiChanged() {
    list_.FollowDpi();
    detail_.FollowDpi();
}

INT_PTR RowsPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message == WM_DESTROY) {
        detail_.Destroy(); // its popup belongs to the main window, which may stay
    }
    return Page::OnMessage(message, wParam, lParam, handled);
}
