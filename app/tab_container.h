// The main window: a dialog with four tabs, the address page, the update page, the list
// of units and the search for units, one shown at a time. Turning to the update tab hands
// it the address page's addresses; turning to the search looks at the adapters again.
// While a page's work runs, the window's content is disabled as a whole (no tab change,
// no second command) while the window itself still paints, moves and can be closed;
// closing it then, or Windows ending the session, waits for the work's clean-up. The list
// of units stays usable while it runs, for its "Stop".
#pragma once

#include "app/page_file.h"
#include "app/page_find.h"
#include "app/page_ip.h"
#include "app/page_list.h"
#include "win32/dialog.h"

#include <array>
#include <map>

class TabContainer : public Dialog {
public:
    // The pages' tick period is the update page's bar (a second; tests shorten it).
    TabContainer(Services& services, Notices& notices, UINT tickMs = 1000);

    void ShowPage(int index);
    void OnSelchangeTab();

    PageIP& AddressPage() { return pageIP_; }
    // Enter, as in any dialog: a focused push button is pressed; elsewhere the visible
    // page's default action runs ("Apply", or the update page's saving of its paths).
    bool PreTranslateMessage(const MSG& message) override;
    PageFile& UpdatePage() { return pageFile_; }
    PageList& ListPage() { return pageList_; }
    PageFind& FindPage() { return pageFind_; }

protected:
    BOOL OnInitDialog() override;
    LRESULT OnNotify(const NMHDR& header) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnClose() override;
    // Enter and Esc wait while the work runs; Enter in a page's field must not close the
    // program.
    bool OnCommand(int id, int code) override;

private:
    static void DestroyIconHandle(HICON icon) { ::DestroyIcon(icon); }
    RECT PageRectangle() const;
    void SetIcons();
    void PaintMinimised();
    // A page's work started or ended: the window is busy while any page is, and only a
    // page that stays usable (the list's "Stop") is kept when it is the only one.
    void PageBusy(HWND page, Busy busy);
    // While busy, everything is disabled but `keep` (a page that stays usable), if any.
    void SetBusy(bool busy, HWND keep = nullptr);
    void StopPages();
    void ListenToPage(Page& page);
    std::array<Page*, 4> Pages() { return {&pageIP_, &pageFile_, &pageList_, &pageFind_}; }

    UniqueOwner<HICON, DestroyIconHandle> icon_;
    UniqueOwner<HICON, DestroyIconHandle> smallIcon_;
    HWND tabs_ = nullptr;
    int currentTab_ = -1;
    std::map<HWND, Busy> pagesBusy_;
    bool busy_ = false;
    HWND keep_ = nullptr;  // the page that stays usable while busy
    bool closing_ = false; // asked to close while busy: ends once the work is over
    PageIP pageIP_;
    PageFile pageFile_;
    PageList pageList_;
    PageFind pageFind_;
};
