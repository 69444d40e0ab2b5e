// The program's own boxes and the string table, for real.
#include "app/notices_win32.h"
#include "win32/data_store.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "core/log.h"
#include "res/resource_ids.h"
#include "tests/support.h"
#include "win32/win32.h"

namespace {

// What the box showed, read from inside its own modal loop and then closed with OK.
struct SeenBox {
    bool found = false;
    std::wstring title;
    std::wstring text;
    bool hasIcon = false;
    bool ownerless = false;
};

SeenBox seen;
std::wstring expectedTitle;

// The exclamation icon sits in a static control of its own (its id differs by system);
// system icons are shared, so the handle is the one LoadIcon gives.
BOOL CALLBACK FindIcon(HWND child, LPARAM) {
    if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0)) ==
            ::LoadIconW(nullptr, IDI_EXCLAMATION)) {
        seen.hasIcon = true;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindBox(HWND window, LPARAM) {
    wchar_t title[128] = {};
    wchar_t cls[64] = {};
    ::GetWindowTextW(window, title, 128);
    ::GetClassNameW(window, cls, 64);
    if (std::wstring(cls) != L"#32770" || title != expectedTitle || !::IsWindowVisible(window)) {
        return TRUE;
    }
    seen.found = true;
    seen.title = title;
    wchar_t text[2048] = {};
    ::GetDlgItemTextW(window, 0xFFFF, text, 2048); // the box's text control
    seen.text = text;
    ::EnumChildWindows(window, FindIcon, 0);
    seen.ownerless = ::GetWindow(window, GW_OWNER) == nullptr;
    ::PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK LookForBox(HWND, UINT, UINT_PTR, DWORD) {
    if (!seen.found) {
        ::EnumThreadWindows(::GetCurrentThreadId(), FindBox, 0);
    }
}

// Runs `show` with a thread timer that finds the box, records it and presses OK.
template <typename Show> auto WithBoxWatcher(Show show) {
    seen = {};
    expectedTitle = L"Varnok message";
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, LookForBox);
    auto result = show();
    ::KillTimer(nullptr, timer);
    return result;
}

class RealBox : public ::testing::Test {
protected:
    testing_support::ScopedTempDir dir;
    Win32LogFile logFile;
    Log log{logFile}; // on: "varnok.log" in the current folder
    Log off;
};

TEST_F(RealBox, ShowMessageIdShowsTheStringTableText) {
    WithBoxWatcher([&] {
        Win32Notices(off).MessageId(110);
        return 0;
    });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, L"Varnok message");
    EXPECT_EQ(seen.text, L"FAILED!!!");
    EXPECT_TRUE(seen.hasIcon);
    EXPECT_TRUE(seen.ownerless);
}

TEST_F(RealBox, ShowMessageIdNeverLogs) {
    WithBoxWatcher([&] {
        Win32Notices(log).MessageId(108);
        return 0;
    });
    EXPECT_EQ(seen.text, L"SUCCESS!");
    EXPECT_FALSE(std::filesystem::exists("varnok.log"));
}

TEST_F(RealBox, AnUnknownNumberShowsAnEmptyBox) {
    WithBoxWatcher([&] {
        Win32Notices(off).MessageId(200);
        return 0;
    });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, L"");
}

TEST_F(RealBox, AMessageShowsAndLogsItsText) {
    WithBoxWatcher([&] {
        Win32Notices(log).Message(L"No file selected");
        return 0;
    });
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, L"No file selected");
    EXPECT_EQ(testing_support::ReadFileBytes("varnok.log"), "No file selected\r\n");
}

// What the box with an address showed, read from inside its modal loop: its text, the
// field, and what Ctrl+C in the field put on the clipboard; then closed with OK.
struct SeenAddressBox {
    bool found = false;
    std::wstring text;
    std::wstring field;
    bool readOnly = false;
    bool allSelected = false;
    bool focused = false;
    std::wstring copied;
};

SeenAddressBox seenAddress;

std::wstring ClipboardText() {
    std::wstring text;
    if (::OpenClipboard(nullptr)) {
        if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
            if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data))) {
                text = chars;
                ::GlobalUnlock(data);
            }
        }
        ::CloseClipboard();
    }
    return text;
}

BOOL CALLBACK FindAddressBox(HWND window, LPARAM) {
    wchar_t title[128] = {};
    ::GetWindowTextW(window, title, 128);
    const HWND field = ::GetDlgItem(window, IDC_ADDRESS_FIELD);
    if (std::wstring(title) != L"Varnok message" || !field || !::IsWindowVisible(window)) {
        return TRUE;
    }
    seenAddress.found = true;
    wchar_t text[512] = {};
    ::GetDlgItemTextW(window, IDC_ADDRESS_TEXT, text, 512);
    seenAddress.text = text;
    ::GetWindowTextW(field, text, 512);
    seenAddress.field = text;
    seenAddress.readOnly = (::GetWindowLongW(field, GWL_STYLE) & ES_READONLY) != 0;
    DWORD from = 1;
    DWORD to = 0;
    ::SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                   reinterpret_cast<LPARAM>(&to));
    seenAddress.allSelected = from == 0 && to == seenAddress.field.size();
    seenAddress.focused = ::GetFocus() == field;
    if (::OpenClipboard(nullptr)) {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
    ::SendMessageW(field, WM_CHAR, 3, 0); // Ctrl+C
    seenAddress.copied = ClipboardText();
    ::PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK LookForAddressBox(HWND, UINT, UINT_PTR, DWORD) {
    if (!seenAddress.found) {
        ::EnumThreadWindows(::GetCurrentThreadId(), FindAddressBox, 0);
    }
}

// An address to be opened by hand stands alone in a read-only field, selected and with the
// focus, so that Ctrl+C copies just the address; the log has the whole line.
TEST_F(RealBox, AnAddressShowsInAFieldOfItsOwnThatCopiesIt) {
    seenAddress = {};
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, LookForAddressBox);
    Win32Notices(log).MessageWithAddress(L"Open it in your browser:", L"http://10.0.0.5");
    ::KillTimer(nullptr, timer);
    ASSERT_TRUE(seenAddress.found);
    EXPECT_EQ(seenAddress.text, L"Open it in your browser:");
    EXPECT_EQ(seenAddress.field, L"http://10.0.0.5");
    EXPECT_TRUE(seenAddress.readOnly);
    EXPECT_TRUE(seenAddress.allSelected);
    EXPECT_TRUE(seenAddress.focused);
    EXPECT_EQ(seenAddress.copied, L"http://10.0.0.5");
    EXPECT_EQ(testing_support::ReadFileBytes("varnok.log"),
              "Open it in your browser: http://10.0.0.5\r\n");
}

TEST(StringTable, HoldsTheProgramsTexts) {
    const struct {
        unsigned id;
        const wchar_t* text;
    } rows[] = {
        {103, L"Could not initialize Windows sockets"},
        {108, L"SUCCESS!"},
        {109, L"Failed to create Icmp handle when running 'ping'."},
        {110, L"FAILED!!!"},
        {111, L"Failed to load ICMP.DLL"},
        {113, L"You must type at least 4 digits!"},
        {114, L"Show unit in you web browser"},
        {115, L"New unit gateway"},
        {116, L"New unit IP adress "},
        {117, L"This value is calculated using the serial number and should not be typed in."},
        {118, L"New unit netmask"},
        {120, L"Serialnumber of the unit MAC address will be calculated."},
        {124, L"IMPORTANT! Make a unit power reset and then click here!"},
        {125, L"Max number of digits are 5"},
        {126, L"Values below 1000 are not allowed"},
    };
    for (const auto& row : rows) {
        wchar_t text[256] = {};
        ::LoadStringW(::GetModuleHandleW(nullptr), row.id, text, 256);
        EXPECT_STREQ(text, row.text) << row.id;
    }
}

} // namespace
