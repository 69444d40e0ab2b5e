// The main window: a dialog with two tabs, the address page and the update page, one
// shown at a time. Turning to the update tab hands it the address page's addresses.
#pragma once

#include "ui/dialog.h"
#include "ui/page_ip.h"
#include "upload/page_file.h"

class TabContainer : public Dialog {
public:
    TabContainer();

    void ShowPage(int index);
    void OnSelchangeTab();

    PageIP& AddressPage() { return pageIP_; }
    PageFile& UpdatePage() { return pageFile_; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    LRESULT OnNotify(const NMHDR& header) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    static void DestroyIconHandle(HICON icon) { ::DestroyIcon(icon); }
    RECT PageRectangle() const;
    void PaintMinimised();

    UniqueOwner<HICON, DestroyIconHandle> icon_;
    UniqueOwner<HICON, DestroyIconHandle> smallIcon_;
    HWND tabs_ = nullptr;
    int currentTab_ = -1;
    PageIP pageIP_;
    PageFile pageFile_;
};
