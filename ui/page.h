// The common base of the two tab pages: a child dialog on a white background.
#pragma once

#include "ui/dialog.h"

class Page : public Dialog {
public:
    // The page's dialog template.
    virtual UINT GetTemplateID() const { return 0; }

protected:
    Page() : Dialog(0) {}
    BOOL OnInitDialog() override;
    // The page and every control that asks get the white brush; text colours stay.
    HBRUSH OnCtlColor(HDC, HWND) override { return brush_.get(); }

private:
    static void DeleteBrush(HBRUSH brush) { ::DeleteObject(brush); }
    UniqueOwner<HBRUSH, DeleteBrush> brush_;
};
