// The main window with both pages, run modally; the test acts from a thread timer inside
// its message loop, as a user would between messages.
#include "ui/tab_container.h"

#include <functional>

#include <gtest/gtest.h>

#include "tests/fakes/fakes.h"
#include "tests/support.h"
#include "tests/windows/registry_support.h"
#include "ui/resource_ids.h"

namespace {

using namespace testing_support;

std::function<void()> steps;

void CALLBACK RunSteps(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    steps();
}

DWORD ShownAddress(HWND control) {
    DWORD value = 0;
    ::SendMessageW(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
    return value;
}

void SelectTab(HWND main, int index) {
    HWND tabs = ::GetDlgItem(main, IDC_TABS);
    ::SendMessageW(tabs, TCM_SETCURSEL, index, 0);
    ::SendMessageW(tabs, TCM_SETCURFOCUS, index, 0);
    NMHDR header{tabs, IDC_TABS, static_cast<UINT>(TCN_SELCHANGE)};
    ::SendMessageW(main, WM_NOTIFY, IDC_TABS, reinterpret_cast<LPARAM>(&header));
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        fakes::Reset();
        DeleteSettings();
    }
    void TearDown() override { DeleteSettings(); }
    ScopedTempDir dir;
};

TEST_F(MainWindow, TabsShowOnePageAndHandTheAddressPagesCopiesOver) {
    PutValue(L"Init", L"IP", REG_BINARY, {10, 0, 0, 7});
    PutValue(L"Init", L"Netmask", REG_BINARY, {255, 255, 255, 0});
    TabContainer window;
    bool ran = false;
    steps = [&] {
        HWND main = window.hwnd();
        HWND ipPage = window.AddressPage().hwnd();
        HWND filePage = window.UpdatePage().hwnd();
        HWND tabs = ::GetDlgItem(main, IDC_TABS);
        wchar_t caption[64] = {};
        ::GetWindowTextW(main, caption, 64);
        EXPECT_STREQ(caption, L"Varnok 2.6");
        EXPECT_EQ(GetAppMainWindow(), main);
        EXPECT_EQ(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 2);
        EXPECT_EQ(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 0);
        EXPECT_TRUE(::IsWindowVisible(ipPage));
        EXPECT_FALSE(::IsWindowVisible(filePage));

        // Both pages lie inside the tab control, below its row of tabs.
        RECT tabArea, page;
        ::GetWindowRect(tabs, &tabArea);
        ::SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&tabArea));
        ::GetWindowRect(ipPage, &page);
        EXPECT_TRUE(::EqualRect(&tabArea, &page));

        // Typed only, not applied: the update page gets the page's copy, 10.0.0.7.
        ::SendMessageW(::GetDlgItem(ipPage, IDC_NEW_IP), IPM_SETADDRESS, 0,
                       MAKEIPADDRESS(10, 0, 0, 99));
        SelectTab(main, 1);
        EXPECT_FALSE(::IsWindowVisible(ipPage));
        EXPECT_TRUE(::IsWindowVisible(filePage));
        EXPECT_TRUE(::IsWindowEnabled(filePage));
        EXPECT_EQ(ShownAddress(::GetDlgItem(filePage, IDC_CURRENT_IP)), MAKEIPADDRESS(10, 0, 0, 7));

        SelectTab(main, 0);
        EXPECT_TRUE(::IsWindowVisible(ipPage));
        EXPECT_FALSE(::IsWindowVisible(filePage));
        // "Show" takes the typed address into the copy: the update tab follows.
        fakes::world().launchSucceeds = [](const fakes::Launch&) { return true; };
        ::SendMessageW(::GetDlgItem(ipPage, IDC_SHOW), BM_CLICK, 0, 0);
        SelectTab(main, 1);
        EXPECT_EQ(ShownAddress(::GetDlgItem(filePage, IDC_CURRENT_IP)),
                  MAKEIPADDRESS(10, 0, 0, 99));

        // Enter must not close the program.
        ::SendMessageW(main, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(::IsWindow(main));
        ran = true;
        ::PostMessageW(main, WM_CLOSE, 0, 0);
    };
    ::SetTimer(nullptr, 0, 10, RunSteps);
    EXPECT_EQ(window.RunModal(nullptr), IDCANCEL);
    EXPECT_TRUE(ran);
    EXPECT_EQ(window.hwnd(), nullptr);
    EXPECT_EQ(GetAppMainWindow(), nullptr);
}

} // namespace
