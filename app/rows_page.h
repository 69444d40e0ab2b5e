// A page whose list's rows can be read whole: the row under the mouse as its tooltip, the
// selected row in a read-only line below the list (the list page and the search page).
#pragma once

#include "app/page.h"
#include "win32/controls.h"
#include "win32/row_detail.h"

class RowsPage : public Page {
public:
    using Page::Page;

    // Lets the rows' tooltip see the mouse before the dialog does.
    bool PreTranslateMessage(const MSG& message) override;

protected:
    void OnDpiChanged() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    ListView list_;
    RowDetail detail_;
};
