// The address page, created for real inside the test and driven with window messages,
// on the recording system and boxes.
#include "app/page_ip.h"

#include <memory>

#include <gtest/gtest.h>

#include "res/resource_ids.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"
#include "tests/windows/page_fixture.h"

namespace {

using namespace testing_support;
using Trace = std::vector<std::wstring>;

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

class AddressPage : public PageFixture<PageIP, IDD_PAGE_IP> {
protected:
    PageIP& Open() { return OpenPage(); }
    void SetAddress(int id, BYTE a, BYTE b, BYTE c, BYTE d) const {
        ::SendMessageW(Item(id), IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, c, d));
    }
};

TEST_F(AddressPage, FirstStartShowsSerial1000AndRemovesTheEntryOf0000) {
    Open();
    EXPECT_EQ(TextOf(Item(IDC_SERIAL)), L"1000");
    EXPECT_EQ(TextOf(Item(IDC_MAC)), L"00:50:c2:11:8b:b8");
    for (int id : {IDC_NEW_IP, IDC_NEW_NETMASK, IDC_NEW_GATEWAY}) {
        EXPECT_EQ(AddressOf(id), 0u) << id;
    }
    EXPECT_EQ(fakes::world().trace, Trace{L"sys arp.exe|-d 0.0.0.0"});
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_APPLY)));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_SHOW)));
    // Reading created the section; nothing was written into it.
    EXPECT_TRUE(KeyExists(std::wstring(kSettingsKey) + L"\\Init"));
    EXPECT_FALSE(GetValue(L"Init", L"MAC").present);
}

TEST_F(AddressPage, LoadsStoredValuesAndRebuildsTheMac) {
    PutValue(L"Init", L"SerialNo", REG_DWORD, {0xD2, 0x04, 0, 0}); // 1234
    PutValue(L"Init", L"MAC", REG_SZ, WideBytes(L"stale"));
    PutValue(L"Init", L"IP", REG_BINARY, {10, 0, 0, 7});
    PutValue(L"Init", L"Netmask", REG_BINARY, {255, 255, 255, 0});
    PutValue(L"Init", L"Gateway", REG_BINARY, {10, 0, 0, 1});
    PageIP& page = Open();
    EXPECT_EQ(TextOf(Item(IDC_SERIAL)), L"1234");
    EXPECT_EQ(TextOf(Item(IDC_MAC)), L"00:50:c2:11:8c:a2");
    EXPECT_EQ(AddressOf(IDC_NEW_IP), MAKEIPADDRESS(10, 0, 0, 7));
    EXPECT_EQ(AddressOf(IDC_NEW_NETMASK), MAKEIPADDRESS(255, 255, 255, 0));
    EXPECT_EQ(page.GetGateway().ToText(), L"10.0.0.1");
    EXPECT_EQ(fakes::world().trace, Trace{L"sys arp.exe|-d 10.0.0.7"});
}

TEST_F(AddressPage, OddStoredValuesFallBackOrAreCut) {
    const struct {
        const char* name;
        const wchar_t* value;
        DWORD type;
        std::vector<BYTE> bytes;
        const wchar_t* serialShown;
        DWORD ipShown;
    } cases[] = {
        {"serial 999", L"SerialNo", REG_DWORD, {0xE7, 0x03, 0, 0}, L"1000", 0},
        {"serial 0", L"SerialNo", REG_DWORD, {0, 0, 0, 0}, L"1000", 0},
        {"serial as text", L"SerialNo", REG_SZ, WideBytes(L"5000"), L"1000", 0},
        {"serial of two bytes", L"SerialNo", REG_BINARY, {0x88, 0x13}, L"1000", 0},
        {"serial of eight bytes",
         L"SerialNo",
         REG_QWORD,
         {0x88, 0x13, 0, 0, 0, 0, 0, 0},
         L"1000",
         0},
        {"long address",
         L"IP",
         REG_BINARY,
         {10, 1, 2, 3, 4, 5},
         L"1000",
         MAKEIPADDRESS(10, 1, 2, 3)},
        {"short address", L"IP", REG_BINARY, {10, 1}, L"1000", MAKEIPADDRESS(10, 1, 0, 0)},
        {"address as text", L"IP", REG_SZ, WideBytes(L"10.1.2.3"), L"1000", 0},
        {"address as number", L"IP", REG_DWORD, {10, 1, 2, 3}, L"1000", 0},
        {"mac as number", L"MAC", REG_DWORD, {1, 2, 3, 4}, L"1000", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteSettings();
        PutValue(L"Init", c.value, c.type, c.bytes);
        Open();
        EXPECT_EQ(TextOf(Item(IDC_SERIAL)), c.serialShown);
        EXPECT_EQ(TextOf(Item(IDC_MAC)), L"00:50:c2:11:8b:b8");
        EXPECT_EQ(AddressOf(IDC_NEW_IP), c.ipShown);
        TearDown();
    }
}

TEST_F(AddressPage, SerialChecksRefuseAndStoreNothing) {
    const Trace beepThen113{L"beep", L"appbox You must type at least 4 digits!"};
    const struct {
        const wchar_t* typed;
        Trace shown;
    } cases[] = {
        {L"123", beepThen113},
        {L"", beepThen113},
        {L"123456", {L"beep", L"appbox Max number of digits are 5"}},
        {L"0999", {L"beep", L"appbox Values below 1000 are not allowed"}},
        {L"12a4", {L"beep", L"appbox Values below 1000 are not allowed"}},
        {L"abcd", {L"appbox Enter a positive integer."}},
        {L"    ", {L"appbox Enter a positive integer."}},
        // A minus sign makes no serial number, rather than wrapping to a huge one.
        {L"-1234", {L"appbox Enter a positive integer."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.typed)));
        Open();
        fakes::world().trace.clear();
        Type(IDC_SERIAL, c.typed);
        Click(IDC_APPLY);
        EXPECT_EQ(fakes::world().trace, c.shown);
        EXPECT_EQ(::GetFocus(), Item(IDC_SERIAL));
        EXPECT_FALSE(GetValue(L"Init", L"MAC").present);
        EXPECT_FALSE(GetValue(L"Init", L"SerialNo").present);
        EXPECT_TRUE(::IsWindowEnabled(Item(IDC_APPLY)));
        TearDown();
        DeleteSettings();
    }
}

TEST_F(AddressPage, ApplyStoresEverythingThenRunsTheSequenceWithButtonsDisabled) {
    fakes::world().localAddress = Addr("10.0.0.20");
    fakes::world().echoReplies = {EchoReply{true, 0}};
    Open();
    Type(IDC_SERIAL, L"01234");
    SetAddress(IDC_NEW_IP, 10, 0, 0, 5);
    SetAddress(IDC_NEW_NETMASK, 255, 255, 255, 0);
    SetAddress(IDC_NEW_GATEWAY, 10, 0, 0, 1);
    fakes::world().trace.clear();

    bool buttonsDisabledDuringRun = false;
    bool mainThreadFree = false;
    StoredValue mac, serial, ip, netmask, gateway;
    fakes::world().onEcho = [&] { // on the work's thread
        mainThreadFree =
            ::SendMessageTimeoutW(Item(IDC_SERIAL), WM_NULL, 0, 0, SMTO_BLOCK, 100, nullptr) != 0;
        buttonsDisabledDuringRun =
            !::IsWindowEnabled(Item(IDC_APPLY)) && !::IsWindowEnabled(Item(IDC_SHOW));
        mac = GetValue(L"Init", L"MAC");
        serial = GetValue(L"Init", L"SerialNo");
        ip = GetValue(L"Init", L"IP");
        netmask = GetValue(L"Init", L"Netmask");
        gateway = GetValue(L"Init", L"Gateway");
    };
    Click(IDC_APPLY);
    PumpUntil([&] { return !page_->Working(); });

    EXPECT_EQ(fakes::world().trace,
              (Trace{L"record 10.0.0.5", L"sys arp.exe|-d 10.0.0.5",
                     L"sys arp.exe|-s 10.0.0.5 00-50-c2-11-8c-a2", L"icmp load", L"icmp create",
                     L"echo 10.0.0.5", L"sys arp.exe|-d 10.0.0.5", L"icmp close", L"icmp free",
                     L"record clear", L"msg 108"}));
    EXPECT_TRUE(mainThreadFree); // the window's thread answered while the echo was out
    EXPECT_EQ(TextOf(Item(IDC_SERIAL)), L"1234");
    EXPECT_EQ(TextOf(Item(IDC_MAC)), L"00:50:c2:11:8c:a2");
    EXPECT_TRUE(buttonsDisabledDuringRun);
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_APPLY)));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_SHOW)));
    EXPECT_EQ(mac.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(mac.bytes, WideBytes(L"00:50:c2:11:8c:a2"));
    EXPECT_EQ(serial.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(serial.bytes, (std::vector<BYTE>{0xD2, 0x04, 0, 0}));
    EXPECT_EQ(ip.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(ip.bytes, (std::vector<BYTE>{10, 0, 0, 5}));
    EXPECT_EQ(netmask.bytes, (std::vector<BYTE>{255, 255, 255, 0}));
    EXPECT_EQ(gateway.bytes, (std::vector<BYTE>{10, 0, 0, 1}));
    EXPECT_EQ(page_->GetIP().ToText(), L"10.0.0.5");
}

TEST_F(AddressPage, TypingAloneLeavesThePagesCopies) {
    PutValue(L"Init", L"IP", REG_BINARY, {10, 0, 0, 7});
    PageIP& page = Open();
    SetAddress(IDC_NEW_IP, 10, 0, 0, 99);
    EXPECT_EQ(page.GetIP().ToText(), L"10.0.0.7");
}

TEST_F(AddressPage, ToolTipsCoverTheTenControls) {
    Open();
    HWND tips = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND window, LPARAM found) {
            wchar_t cls[64] = {};
            ::GetClassNameW(window, cls, 64);
            if (std::wstring(cls) == TOOLTIPS_CLASSW) {
                *reinterpret_cast<HWND*>(found) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tips));
    ASSERT_NE(tips, nullptr);
    EXPECT_TRUE(::GetWindowLongW(tips, GWL_STYLE) & TTS_ALWAYSTIP);
    ASSERT_EQ(::SendMessageW(tips, TTM_GETTOOLCOUNT, 0, 0), 10);
    const std::pair<int, const wchar_t*> expected[] = {
        {IDC_SERIAL, L"Serialnumber of the unit MAC address will be calculated."},
        {IDC_NEW_IP, L"New unit IP adress "},
        {IDC_NEW_NETMASK, L"New unit netmask"},
        {IDC_NEW_GATEWAY, L"New unit gateway"},
        {IDC_LABEL_IP, L"New unit IP adress "},
        {IDC_LABEL_NETMASK, L"New unit netmask"},
        {IDC_LABEL_GATEWAY, L"New unit gateway"},
        {IDC_MAC, L"This value is calculated using the serial number and should not be typed in."},
        {IDC_SHOW, L"Show unit in you web browser"},
        {IDC_APPLY, L"IMPORTANT! Make a unit power reset and then click here!"},
    };
    for (int i = 0; i < 10; ++i) {
        wchar_t text[256] = {};
        TOOLINFOW info{};
        info.cbSize = sizeof info;
        info.lpszText = text;
        ASSERT_TRUE(::SendMessageW(tips, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&info)));
        EXPECT_EQ(::GetDlgCtrlID(reinterpret_cast<HWND>(info.uId)), expected[i].first) << i;
        EXPECT_STREQ(text, expected[i].second) << i;
    }
}

// The ".htm" association of the test's Wine prefix, set for one test and restored.
class HtmAssociation {
public:
    HtmAssociation(const wchar_t* openCommand) {
        saved_ = Read(L".htm");
        Write(L".htm", L"VarnokTestPage");
        if (openCommand) {
            Write(L"VarnokTestPage\\shell\\open\\command", openCommand);
        }
    }
    ~HtmAssociation() {
        Write(L".htm", saved_);
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L"VarnokTestPage");
    }

private:
    static std::wstring Read(const wchar_t* key) {
        std::wstring text;
        PageIP::QueryClassDefault(key, text);
        return text;
    }
    static void Write(const wchar_t* key, const std::wstring& text) {
        ::RegSetValueW(HKEY_CLASSES_ROOT, key, REG_SZ, text.c_str(),
                       static_cast<DWORD>(text.size() * sizeof(wchar_t)));
    }
    std::wstring saved_;
};

TEST_F(AddressPage, ShowOpensTheUnitsPageWithoutTouchingTheRegistry) {
    HtmAssociation association(L"browser.exe %1");
    Open();
    SetAddress(IDC_NEW_IP, 192, 168, 0, 5);
    fakes::world().trace.clear();
    Click(IDC_SHOW);
    EXPECT_EQ(fakes::world().trace, Trace{L"run open|http://192.168.0.5||show"});
    EXPECT_EQ(page_->GetIP().ToText(), L"192.168.0.5"); // taken over, not stored
    EXPECT_FALSE(GetValue(L"Init", L"IP").present);

    ::SendMessageW(Item(IDC_NEW_IP), IPM_CLEARADDRESS, 0, 0);
    fakes::world().trace.clear();
    Click(IDC_SHOW);
    EXPECT_EQ(fakes::world().trace, Trace{L"run open|http://0.0.0.0||show"});
}

TEST_F(AddressPage, ShowFallsBackToTheHtmOpenCommand) {
    const struct {
        const wchar_t* openCommand; // null: the class has no open command
        Trace trace;
    } cases[] = {
        {LR"("C:\Browser\b.exe" "%1")",
         {L"run open|http://10.0.0.5||show",
          LR"(run open|"C:\Browser\b.exe"  http://10.0.0.5||show)"}},
        {LR"(C:\b.exe -new %1 -tab)",
         {L"run open|http://10.0.0.5||show", LR"(run open|C:\b.exe -new  http://10.0.0.5||show)"}},
        {LR"(C:\b.exe -new)",
         {L"run open|http://10.0.0.5||show", LR"(run open|C:\b.exe -new http://10.0.0.5||show)"}},
        {nullptr, {L"run open|http://10.0.0.5||show"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.openCommand ? testing::PrintToString(std::wstring(c.openCommand)) : "none");
        HtmAssociation association(c.openCommand);
        Open();
        SetAddress(IDC_NEW_IP, 10, 0, 0, 5);
        fakes::Reset();
        fakes::world().launchSucceeds = [](const fakes::Launch&) { return false; };
        Click(IDC_SHOW);
        EXPECT_EQ(fakes::world().trace, c.trace);
        TearDown();
    }
}

TEST_F(AddressPage, ShowWithAnUnreadableSerialSaysSoAndStillOpensThePage) {
    Open();
    Type(IDC_SERIAL, L"");
    SetAddress(IDC_NEW_IP, 10, 0, 0, 5);
    fakes::world().trace.clear();
    Click(IDC_SHOW);
    EXPECT_EQ(fakes::world().trace,
              (Trace{L"appbox Enter a positive integer.", L"run open|http://10.0.0.5||show"}));
}

} // namespace
