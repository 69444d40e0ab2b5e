// The main window.
#include "app/tab_container.h"

#include <commctrl.h>

#include "res/resource_ids.h"
#include "win32/dpi.h"

namespace {

HICON LoadAppIcon(int size) {
    return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                           MAKEINTRESOURCEW(IDI_VARNOK), IMAGE_ICON, size, size,
                                           LR_DEFAULTCOLOR));
}

void InsertTab(HWND tabs, int index, const wchar_t* caption, Dialog& page) {
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = const_cast<wchar_t*>(caption);
    item.lParam = reinterpret_cast<LPARAM>(&page);
    ::SendMessageW(tabs, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
}

} // namespace

TabContainer::TabContainer(Services& services, Notices& notices, UINT tickMs)
    : Dialog(IDD_MAIN), pageIP_(services, notices), pageFile_(services, notices, tickMs),
      pageList_(services, notices), pageFind_(services, notices) {
    for (Page* page : Pages()) {
        ListenToPage(*page);
    }
}

void TabContainer::ListenToPage(Page& page) {
    page.ListenForBusy([this](Busy busy, HWND pageWindow) { PageBusy(pageWindow, busy); });
}

void TabContainer::PageBusy(HWND page, Busy busy) {
    // One page's end is not another's: the address page's start may still run when the
    // other pages set themselves up.
    pagesBusy_[page] = busy;
    bool any = false;
    bool whole = false;
    HWND keep = nullptr;
    for (const auto& [window, each] : pagesBusy_) {
        any = any || each != Busy::No;
        whole = whole || each == Busy::Whole;
        keep = each == Busy::AllButPage ? window : keep;
    }
    SetBusy(any, whole ? nullptr : keep);
}

BOOL TabContainer::OnInitDialog() {
    Dialog::OnInitDialog();
    tabs_ = Item(IDC_TABS);
    SetIcons();

    pageIP_.CreateChild(hwnd());
    ::ShowWindow(pageIP_.hwnd(), SW_SHOW);
    InsertTab(tabs_, 0, L"IP Adress", pageIP_);
    pageFile_.CreateChild(hwnd());
    ::ShowWindow(pageFile_.hwnd(), SW_SHOW);
    InsertTab(tabs_, 1, L"Update Pellring", pageFile_);
    pageList_.CreateChild(hwnd());
    InsertTab(tabs_, 2, L"List of units", pageList_);
    pageFind_.CreateChild(hwnd());
    InsertTab(tabs_, 3, L"Find units", pageFind_);

    const RECT page = PageRectangle();
    for (const Page* each : Pages()) {
        ::SetWindowPos(each->hwnd(), HWND_TOP, page.left, page.top, page.right - page.left,
                       page.bottom - page.top, SWP_SHOWWINDOW);
    }
    ::ShowWindow(pageFile_.hwnd(), SW_HIDE);
    ::ShowWindow(pageList_.hwnd(), SW_HIDE);
    ::ShowWindow(pageFind_.hwnd(), SW_HIDE);
    ::ShowWindow(pageIP_.hwnd(), SW_SHOW);
    ::SendMessageW(tabs_, TCM_SETCURFOCUS, 0, 0);
    currentTab_ = -1;
    ShowPage(0);
    return TRUE;
}

void TabContainer::SetIcons() {
    // At the window's scale: the title bar's and the taskbar's sizes grow with it.
    const UINT dpi = DpiOf(hwnd());
    icon_.reset(LoadAppIcon(MetricAt(SM_CXICON, dpi)));
    smallIcon_.reset(LoadAppIcon(MetricAt(SM_CXSMICON, dpi)));
    ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
    ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));
}

RECT TabContainer::PageRectangle() const {
    // The tab control's display area (inside its border, below its row of tabs), in
    // the main window's client coordinates.
    RECT area;
    ::GetWindowRect(tabs_, &area);
    ::MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&area), 2);
    ::SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    return area;
}

void TabContainer::ShowPage(int index) {
    const std::array<Page*, 4> pages = Pages();
    if (index < 0 || index >= static_cast<int>(pages.size())) {
        return;
    }
    if (index == 1) {
        pageFile_.SetCurrentAddress(pageIP_.GetIP(), pageIP_.GetNetmask(), pageIP_.GetGateway());
    }
    if (index == 3) {
        pageFind_.RefreshAdapters();
    }
    for (int i = 0; i < static_cast<int>(pages.size()); ++i) {
        if (i != index) {
            ::ShowWindow(pages[i]->hwnd(), SW_HIDE);
        }
    }
    ::ShowWindow(pages[index]->hwnd(), SW_SHOW);
    ::EnableWindow(pages[index]->hwnd(), TRUE);
    ::SetFocus(pages[index]->hwnd());
}

void TabContainer::OnSelchangeTab() {
    const int selected = static_cast<int>(::SendMessageW(tabs_, TCM_GETCURSEL, 0, 0));
    if (selected != currentTab_) {
        currentTab_ = static_cast<int>(::SendMessageW(tabs_, TCM_GETCURFOCUS, 0, 0));
        ShowPage(currentTab_);
    }
}

LRESULT TabContainer::OnNotify(const NMHDR& header) {
    if (header.idFrom == IDC_TABS && header.code == TCN_SELCHANGE) {
        OnSelchangeTab();
    }
    return 0;
}

bool TabContainer::OnCommand(int id, int code) {
    if (busy_) {
        return true; // Enter and Esc wait until the work is over
    }
    if (id == IDOK) {
        // Enter in a page's field must not close the program; the pages handle it.
        ::SendMessageW(pageFile_.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return true;
    }
    return Dialog::OnCommand(id, code);
}

bool TabContainer::PreTranslateMessage(const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_RETURN) {
        return Dialog::PreTranslateMessage(message);
    }
    if (busy_) {
        return true;
    }
    HWND focus = message.hwnd; // keys go to the window with the focus
    const LRESULT code = focus ? ::SendMessageW(focus, WM_GETDLGCODE, 0, 0) : 0;
    if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) {
        ::SendMessageW(focus, BM_CLICK, 0, 0);
    } else if (::IsWindowVisible(pageIP_.hwnd())) {
        if (HWND apply = pageIP_.Item(IDC_APPLY); ::IsWindowEnabled(apply)) {
            ::SendMessageW(apply, BM_CLICK, 0, 0);
        }
    } else if (::IsWindowVisible(pageList_.hwnd())) {
        // The list has no default action: a whole cabinet is never started by Enter.
    } else if (::IsWindowVisible(pageFind_.hwnd())) {
        ::SendMessageW(pageFind_.Item(IDC_FIND_START), BM_CLICK, 0, 0);
    } else {
        ::SendMessageW(pageFile_.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    return true;
}

void TabContainer::SetBusy(bool busy, HWND keep) {
    busy_ = busy;
    keep_ = busy ? keep : nullptr;
    if (busy) {
        // Keyboard focus must not stay on a control that is about to be disabled.
        ::SetFocus(keep ? keep : hwnd());
    }
    for (HWND content :
         {tabs_, pageIP_.hwnd(), pageFile_.hwnd(), pageList_.hwnd(), pageFind_.hwnd()}) {
        ::EnableWindow(content, busy && content != keep ? FALSE : TRUE);
    }
    ::UpdateWindow(hwnd());
    if (!busy && closing_) {
        Dialog::OnClose();
    }
}

void TabContainer::StopPages() {
    for (Page* page : Pages()) {
        page->StopWork();
    }
}

void TabContainer::OnClose() {
    if (!busy_) {
        Dialog::OnClose();
        return;
    }
    // The work ends early and cleans up; the program ends when it is over.
    closing_ = true;
    StopPages();
    ::ShowWindow(hwnd(), SW_HIDE);
}

void TabContainer::PaintMinimised() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(hwnd(), &paint);
    ::SendMessageW(hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(hwnd(), &client);
    const int cx = MetricAt(SM_CXICON, DpiOf(hwnd()));
    const int cy = MetricAt(SM_CYICON, DpiOf(hwnd()));
    ::DrawIcon(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, icon_.get());
    ::EndPaint(hwnd(), &paint);
}

INT_PTR TabContainer::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = false;
    if (message == WM_PAINT && ::IsIconic(hwnd())) {
        PaintMinimised();
        handled = true;
        return TRUE;
    }
    if (message == WM_DPICHANGED) {
        // Moved to a screen of another scale: the dialog manager resizes the window and
        // lays out and re-fonts its controls (left to its default handling); the icons are
        // loaded for the new size, and each page follows for the rest.
        SetIcons();
        return 0;
    }
    if (message == WM_QUERYDRAGICON) {
        handled = true;
        return reinterpret_cast<INT_PTR>(icon_.get());
    }
    const auto hit = static_cast<short>(LOWORD(lParam));
    if (message == WM_SETCURSOR && busy_ && (hit == HTCLIENT || hit == HTERROR)) {
        // The wait cursor over the window's content while the work runs; the frame keeps
        // its own, since the window can still be moved and closed. Over a page that stays
        // usable, the arrow with the hourglass: it works, and it still takes a click.
        const auto over = reinterpret_cast<HWND>(wParam);
        const bool usable = keep_ && (over == keep_ || ::IsChild(keep_, over));
        ::SetCursor(::LoadCursorW(nullptr, usable ? IDC_APPSTARTING : IDC_WAIT));
        ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
        handled = true;
        return TRUE;
    }
    if (message == WM_QUERYENDSESSION) {
        StopPages(); // the clean-up starts now; WM_ENDSESSION waits for it
        ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
        handled = true;
        return TRUE;
    }
    if (message == WM_ENDSESSION && wParam) {
        // The process ends when this returns: the PC's tables must be clean by then.
        StopPages();
        for (Page* page : Pages()) {
            page->FinishWork();
        }
        handled = true;
        return 0;
    }
    return 0;
}
