#include "ui/page.h"

BOOL Page::OnInitDialog() {
    Dialog::OnInitDialog();
    brush_.reset(::CreateSolidBrush(RGB(255, 255, 255)));
    return TRUE;
}
