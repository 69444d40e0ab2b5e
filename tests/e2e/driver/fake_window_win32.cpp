// A stand-in for Varnok's window with the same title, tab control and control ids, so the
// UI driver can be tried before and apart from the program. Its buttons answer with a
// "Varnok message" box that tells what the window read from its controls:
//   Apply            "serial=<text> address=<a> netmask=<m> gateway=<g>"
//   Update (either)  "path=<text of the page's path control>"
// and switching tabs writes "page <n>" into the current-address field.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "res/resource_ids.h"

namespace {

HWND pages[2];

std::wstring Text(HWND page, int id) {
    wchar_t text[1024] = {};
    ::GetDlgItemTextW(page, id, text, 1024);
    return text;
}

std::wstring Address(HWND page, int id) {
    DWORD value = 0;
    ::SendDlgItemMessageW(page, id, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
    return std::to_wstring(FIRST_IPADDRESS(value)) + L"." +
           std::to_wstring(SECOND_IPADDRESS(value)) + L"." +
           std::to_wstring(THIRD_IPADDRESS(value)) + L"." +
           std::to_wstring(FOURTH_IPADDRESS(value));
}

void Box(HWND button, const std::wstring& text) {
    ::EnableWindow(button, FALSE); // as the program does while an operation runs
    ::MessageBoxW(nullptr, text.c_str(), L"Varnok message", MB_OK | MB_ICONEXCLAMATION);
    ::EnableWindow(button, TRUE);
}

LRESULT CALLBACK PageProc(HWND page, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_COMMAND && HIWORD(w) == BN_CLICKED) {
        const HWND button = reinterpret_cast<HWND>(l);
        switch (LOWORD(w)) {
        case IDC_APPLY:
            Box(button, L"serial=" + Text(page, IDC_SERIAL) + L" address=" +
                            Address(page, IDC_NEW_IP) + L" netmask=" +
                            Address(page, IDC_NEW_NETMASK) + L" gateway=" +
                            Address(page, IDC_NEW_GATEWAY));
            return 0;
        case IDC_BIN_UPDATE:
            Box(button, L"path=" + Text(page, IDC_BIN_PATH));
            return 0;
        case IDC_ROM_UPDATE:
            Box(button, L"path=" + Text(page, IDC_ROM_PATH));
            return 0;
        }
    }
    return ::DefWindowProcW(page, message, w, l);
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, int id, int x, int y, int width,
           DWORD style = 0) {
    return ::CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x, y, width,
                             24, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr,
                             nullptr);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<NMHDR*>(l);
        if (header->idFrom == IDC_TABS && header->code == TCN_SELCHANGE) {
            const int page =
                static_cast<int>(::SendMessageW(header->hwndFrom, TCM_GETCURSEL, 0, 0));
            ::ShowWindow(pages[0], page == 0 ? SW_SHOW : SW_HIDE);
            ::ShowWindow(pages[1], page == 1 ? SW_SHOW : SW_HIDE);
            ::SetDlgItemTextW(pages[1], IDC_CURRENT_IP, (L"page " + std::to_wstring(page)).c_str());
        }
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(window, message, w, l);
}

} // namespace

int wmain() {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_TAB_CLASSES | ICC_INTERNET_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    WNDCLASSW mainClass{};
    mainClass.lpfnWndProc = MainProc;
    mainClass.lpszClassName = L"FakeVarnok";
    mainClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    ::RegisterClassW(&mainClass);
    WNDCLASSW pageClass = mainClass;
    pageClass.lpfnWndProc = PageProc;
    pageClass.lpszClassName = L"FakeVarnokPage";
    ::RegisterClassW(&pageClass);

    HWND main = ::CreateWindowExW(0, L"FakeVarnok", L"Varnok 2.6", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  40, 40, 480, 360, nullptr, nullptr, nullptr, nullptr);
    HWND tabs = Child(main, WC_TABCONTROLW, L"", IDC_TABS, 8, 8, 456);
    ::SetWindowPos(tabs, nullptr, 8, 8, 456, 300, SWP_NOZORDER);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"IP Adress");
    ::SendMessageW(tabs, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.pszText = const_cast<wchar_t*>(L"Update");
    ::SendMessageW(tabs, TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&item));

    for (int i = 0; i < 2; ++i) {
        pages[i] = ::CreateWindowExW(WS_EX_CONTROLPARENT, L"FakeVarnokPage", L"",
                                     WS_CHILD | (i == 0 ? WS_VISIBLE : 0), 16, 40, 440, 260, main,
                                     nullptr, nullptr, nullptr);
    }
    Child(pages[0], L"EDIT", L"", IDC_SERIAL, 8, 8, 120, WS_BORDER);
    Child(pages[0], WC_IPADDRESSW, L"", IDC_NEW_IP, 8, 40, 160);
    Child(pages[0], WC_IPADDRESSW, L"", IDC_NEW_NETMASK, 8, 72, 160);
    Child(pages[0], WC_IPADDRESSW, L"", IDC_NEW_GATEWAY, 8, 104, 160);
    Child(pages[0], L"BUTTON", L"Show", IDC_SHOW, 8, 136, 80);
    Child(pages[0], L"BUTTON", L"Apply", IDC_APPLY, 96, 136, 80);
    Child(pages[1], L"EDIT", L"", IDC_BIN_PATH, 8, 8, 300, WS_BORDER);
    Child(pages[1], L"BUTTON", L"...", IDC_BIN_BROWSE, 316, 8, 30);
    Child(pages[1], L"BUTTON", L"Update", IDC_BIN_UPDATE, 352, 8, 70);
    Child(pages[1], L"EDIT", L"", IDC_ROM_PATH, 8, 40, 300, WS_BORDER);
    Child(pages[1], L"BUTTON", L"...", IDC_ROM_BROWSE, 316, 40, 30);
    Child(pages[1], L"BUTTON", L"Update", IDC_ROM_UPDATE, 352, 40, 70);
    Child(pages[1], PROGRESS_CLASSW, L"", IDC_BIN_PROGRESS, 8, 72, 300);
    Child(pages[1], PROGRESS_CLASSW, L"", IDC_ROM_PROGRESS, 8, 104, 300);
    Child(pages[1], L"EDIT", L"", IDC_CURRENT_IP, 8, 136, 160, WS_BORDER | ES_READONLY);
    ::SetFocus(tabs);

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!::IsDialogMessageW(main, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return 0;
}
