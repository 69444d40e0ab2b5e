// The main window with both pages, run modally; the test acts from a thread timer inside
// its message loop, as a user would between messages.
#include "app/tab_container.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "res/resource_ids.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"
#include "tests/windows/registry_support.h"
#include "win32/registry_settings.h"

namespace {

using namespace testing_support;
using Trace = std::vector<std::wstring>;

std::function<void()> steps;

void CALLBACK RunSteps(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    steps();
}

// Closes the window it names once it names one.
std::function<HWND()> closeWhen;

void CALLBACK CloseWhenDone(HWND, UINT, UINT_PTR timer, DWORD) {
    if (HWND window = closeWhen()) {
        ::KillTimer(nullptr, timer);
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
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
    void SetUp() override { DeleteSettings(); }
    void TearDown() override { DeleteSettings(); }
    ScopedTempDir dir;
    fakes::Pc pc;
    RegistrySettings settings{L"Strandel"};
    Services services = pc.ServicesWith(settings);
};

TEST_F(MainWindow, TabsShowOnePageAndHandTheAddressPagesCopiesOver) {
    PutValue(L"Init", L"IP", REG_BINARY, {10, 0, 0, 7});
    PutValue(L"Init", L"Netmask", REG_BINARY, {255, 255, 255, 0});
    TabContainer window(services, pc.notices);
    bool ran = false;
    steps = [&] {
        HWND main = window.hwnd();
        HWND ipPage = window.AddressPage().hwnd();
        HWND filePage = window.UpdatePage().hwnd();
        HWND tabs = ::GetDlgItem(main, IDC_TABS);
        wchar_t caption[64] = {};
        ::GetWindowTextW(main, caption, 64);
        EXPECT_STREQ(caption, L"Varnok 2.6");
        EXPECT_EQ(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 4);
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
        ::SendMessageW(::GetDlgItem(ipPage, IDC_SHOW), BM_CLICK, 0, 0);
        SelectTab(main, 1);
        EXPECT_EQ(ShownAddress(::GetDlgItem(filePage, IDC_CURRENT_IP)),
                  MAKEIPADDRESS(10, 0, 0, 99));

        // The search for units looks at the adapters as it is turned to.
        pc.tables.adapters = {
            Adapter{L"{e}", L"Ethernet", 4, {{Addr("10.0.0.20"), Addr("255.255.255.0")}}}};
        SelectTab(main, 3);
        EXPECT_TRUE(::IsWindowVisible(window.FindPage().hwnd()));
        EXPECT_FALSE(::IsWindowVisible(filePage));
        EXPECT_EQ(ShownAddress(::GetDlgItem(window.FindPage().hwnd(), IDC_FIND_TO)),
                  MAKEIPADDRESS(10, 0, 0, 255));

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
}

// An "Apply" whose echoes each take 300 ms. `onEcho` runs on the work's thread.
void ApplyWithSlowEchoes(fakes::Pc& pc, HWND main, HWND ipPage,
                         std::function<void(int echo)> onEcho) {
    pc.tables.adapters = {
        Adapter{L"{e}", L"Ethernet", 4, {{Addr("10.0.0.20"), Addr("255.255.255.0")}}}};
    auto echoes = std::make_shared<int>(0);
    pc.echoes.onEcho = [=] {
        onEcho(++*echoes);
        ::Sleep(300);
    };
    ::SendMessageW(::GetDlgItem(ipPage, IDC_NEW_IP), IPM_SETADDRESS, 0, MAKEIPADDRESS(10, 0, 0, 5));
    ::SendMessageW(::GetDlgItem(ipPage, IDC_NEW_NETMASK), IPM_SETADDRESS, 0,
                   MAKEIPADDRESS(255, 255, 255, 0));
    ::SendMessageW(::GetDlgItem(ipPage, IDC_APPLY), BM_CLICK, 0, 0);
    (void)main;
}

TEST_F(MainWindow, EnterPressesTheFocusedButtonElseThePagesDefault) {
    TabContainer window(services, pc.notices);
    steps = [&] {
        HWND main = window.hwnd();
        HWND ipPage = window.AddressPage().hwnd();
        const auto enter = [](HWND target) {
            ::SetFocus(target);
            ::PostMessageW(target, WM_KEYDOWN, VK_RETURN, 1);
            ::PostMessageW(target, WM_KEYUP, VK_RETURN, 0xC0000001);
        };
        ::SendMessageW(::GetDlgItem(ipPage, IDC_NEW_IP), IPM_SETADDRESS, 0,
                       MAKEIPADDRESS(10, 0, 0, 5));
        ::SendMessageW(::GetDlgItem(ipPage, IDC_NEW_NETMASK), IPM_SETADDRESS, 0,
                       MAKEIPADDRESS(255, 255, 255, 0));
        // Enter on the focused "Show" opens the page; Enter in the serial field applies.
        enter(::GetDlgItem(ipPage, IDC_SHOW));
        enter(::GetDlgItem(ipPage, IDC_SERIAL));
        closeWhen = [&, main] {
            const Trace trace = pc.trace.Lines();
            return !trace.empty() && trace.back() == L"msg 110" ? main : nullptr;
        };
        ::SetTimer(nullptr, 0, 20, CloseWhenDone);
    };
    pc.tables.ownAddresses = {};
    ::SetTimer(nullptr, 0, 10, RunSteps);
    window.RunModal(nullptr);
    const Trace trace = pc.trace.Lines();
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.front(), L"static entry 0.0.0.0"); // the start's look for a unit's entry
    EXPECT_NE(std::find(trace.begin(), trace.end(), L"run open|http://10.0.0.5||show"),
              trace.end());
    EXPECT_NE(std::find(trace.begin(), trace.end(), L"record 10.0.0.5 route"), trace.end());
}

TEST_F(MainWindow, DuringApplyTheWindowAnswersButTakesNoCommand) {
    TabContainer window(services, pc.notices);
    DWORD worstMs = 0;
    bool contentDisabled = false;
    steps = [&] {
        HWND main = window.hwnd();
        ApplyWithSlowEchoes(pc, main, window.AddressPage().hwnd(), [&, main](int) {
            const DWORD start = ::GetTickCount();
            DWORD_PTR result = 0;
            // Far inside the 5 s after which Windows calls a window "not responding" (how fast
            // it answers on this machine is a figure for tools/bench, not a test's).
            EXPECT_NE(::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &result), 0);
            worstMs = std::max(worstMs, ::GetTickCount() - start);
            const bool waitCursor =
                ::SendMessageW(main, WM_SETCURSOR, reinterpret_cast<WPARAM>(main),
                               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)) != 0;
            contentDisabled = waitCursor && ::IsWindowEnabled(main) &&
                              !::IsWindowEnabled(::GetDlgItem(main, IDC_TABS)) &&
                              !::IsWindowEnabled(window.AddressPage().hwnd()) &&
                              !::IsWindowEnabled(window.UpdatePage().hwnd());
        });
    };
    ::SetTimer(nullptr, 0, 10, RunSteps);
    closeWhen = [&] {
        const Trace trace = pc.trace.Lines();
        return !trace.empty() && trace.back() == L"msg 110" ? window.hwnd() : nullptr;
    };
    ::SetTimer(nullptr, 0, 20, CloseWhenDone);
    window.RunModal(nullptr);
    std::printf("worst response of the window during an Apply: %lu ms\n",
                static_cast<unsigned long>(worstMs));
    EXPECT_LT(worstMs, 2000u);
    EXPECT_TRUE(contentDisabled);
    EXPECT_EQ(pc.trace.Last(), L"msg 110");
}

TEST_F(MainWindow, ClosingDuringApplyEndsOnlyAfterTheCleanUp) {
    TabContainer window(services, pc.notices);
    steps = [&] {
        HWND main = window.hwnd();
        ApplyWithSlowEchoes(pc, main, window.AddressPage().hwnd(), [main](int echo) {
            if (echo == 1) {
                ::PostMessageW(main, WM_CLOSE, 0, 0); // the close box, mid-sequence
            }
        });
    };
    ::SetTimer(nullptr, 0, 10, RunSteps);
    EXPECT_EQ(window.RunModal(nullptr), IDCANCEL);
    const Trace trace = pc.trace.Lines();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), L"echo 10.0.0.5"), 1); // no more echoes
    EXPECT_EQ(trace.back(), L"record clear"); // the clean-up ran; no box was shown
    EXPECT_EQ(trace[trace.size() - 5], L"sys arp.exe|-d 10.0.0.5 10.0.0.20");
}

// "Fill…" after an "Apply" on the address page: the list goes on from the unit just
// addressed by hand, with its netmask and gateway.
TEST_F(MainWindow, FillStartsAfterTheUnitTheAddressPageAppliedLast) {
    pc.tables.adapters = {
        Adapter{L"{e}", L"Ethernet", 4, {{Addr("10.0.0.20"), Addr("255.255.255.0")}}}};
    TabContainer window(services, pc.notices);
    std::vector<std::wstring> proposed;
    steps = [&] {
        HWND ipPage = window.AddressPage().hwnd();
        ::SetDlgItemTextW(ipPage, IDC_SERIAL, L"1234");
        ::SendMessageW(::GetDlgItem(ipPage, IDC_NEW_IP), IPM_SETADDRESS, 0,
                       MAKEIPADDRESS(10, 0, 0, 9));
        ::SendMessageW(::GetDlgItem(ipPage, IDC_NEW_NETMASK), IPM_SETADDRESS, 0,
                       MAKEIPADDRESS(255, 255, 255, 0));
        ::SendMessageW(::GetDlgItem(ipPage, IDC_NEW_GATEWAY), IPM_SETADDRESS, 0,
                       MAKEIPADDRESS(10, 0, 0, 1));
        ::SendMessageW(::GetDlgItem(ipPage, IDC_APPLY), BM_CLICK, 0, 0);
    };
    // Once the Apply is over, "Fill…" on the list page; its values read, it is cancelled.
    closeWhen = [&]() -> HWND {
        if (const HWND fill = ::FindWindowW(L"#32770", L"Fill the list");
            fill && ::IsWindowVisible(fill)) {
            wchar_t serial[16] = {}, count[16] = {};
            ::GetDlgItemTextW(fill, IDC_FILL_SERIAL, serial, 16);
            ::GetDlgItemTextW(fill, IDC_FILL_COUNT, count, 16);
            proposed = {
                serial, FromValue(ShownAddress(::GetDlgItem(fill, IDC_FILL_ADDRESS))).ToText(),
                count, FromValue(ShownAddress(::GetDlgItem(fill, IDC_FILL_NETMASK))).ToText(),
                FromValue(ShownAddress(::GetDlgItem(fill, IDC_FILL_GATEWAY))).ToText()};
            ::PostMessageW(fill, WM_COMMAND, IDCANCEL, 0);
            return window.hwnd();
        }
        const Trace trace = pc.trace.Lines();
        if (!trace.empty() && trace.back().starts_with(L"msg ") &&
            !window.AddressPage().Working() &&
            ::IsWindowEnabled(::GetDlgItem(window.hwnd(), IDC_TABS))) {
            SelectTab(window.hwnd(), 2);
            ::PostMessageW(::GetDlgItem(window.ListPage().hwnd(), IDC_LIST_FILL), BM_CLICK, 0, 0);
        }
        return nullptr;
    };
    ::SetTimer(nullptr, 0, 10, RunSteps);
    ::SetTimer(nullptr, 0, 50, CloseWhenDone);
    window.RunModal(nullptr);
    EXPECT_EQ(proposed, (std::vector<std::wstring>{L"1235", L"10.0.0.10", L"10", L"255.255.255.0",
                                                   L"10.0.0.1"}));
}

} // namespace
