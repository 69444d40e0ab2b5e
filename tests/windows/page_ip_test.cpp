// The address page, created for real inside the test and driven with window messages,
// on the recording system and boxes.
#include "app/page_ip.h"

#include <exdisp.h>
#include <tlhelp32.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "core/log.h"
#include "res/resource_ids.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"
#include "tests/windows/page_fixture.h"
#include "win32/data_store.h"
#include "win32/web_page.h"

namespace {

using namespace testing_support;
using Trace = std::vector<std::wstring>;

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    ::GetWindowTextW(window, text, 512);
    return text;
}

class AddressPage : public PageFixture<PageIP> {
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
    EXPECT_EQ(pc.trace.Lines(), Trace{L"static entry 0.0.0.0"}); // none: nothing removed
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_APPLY)));
    EXPECT_TRUE(::IsWindowEnabled(Item(IDC_SHOW)));
    // Reading made no section, and nothing was written.
    EXPECT_FALSE(KeyExists(std::wstring(kSettingsKey) + L"\\Init"));
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
    EXPECT_EQ(pc.trace.Lines(), Trace{L"static entry 10.0.0.7"});
}

// The start removes the entry an earlier Apply may have left at the stored address, and
// nothing else: the address comes from the user's settings, and an administrator's entry
// for a printer there stays.
TEST_F(AddressPage, TheStartRemovesOnlyAUnitsStaticEntryAtTheStoredAddress) {
    const struct {
        const wchar_t* mac; // a permanent entry at the stored address
        Trace trace;
    } cases[] = {
        {L"00-50-c2-11-8c-a2", {L"static entry 10.0.0.7", L"sys arp.exe|-d 10.0.0.7"}},
        {L"00-1b-a9-00-00-01", {L"static entry 10.0.0.7"}},
    };
    for (const auto& c : cases) {
        PutValue(L"Init", L"IP", REG_BINARY, {10, 0, 0, 7});
        pc.trace.Clear();
        pc.tables.staticEntries = {{L"10.0.0.7", c.mac}};
        Open();
        EXPECT_EQ(pc.trace.Lines(), c.trace) << c.mac;
        page_.reset();
    }
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
        pc.trace.Clear();
        Type(IDC_SERIAL, c.typed);
        Click(IDC_APPLY);
        EXPECT_EQ(pc.trace.Lines(), c.shown);
        EXPECT_EQ(::GetFocus(), Item(IDC_SERIAL));
        EXPECT_FALSE(GetValue(L"Init", L"MAC").present);
        EXPECT_FALSE(GetValue(L"Init", L"SerialNo").present);
        EXPECT_TRUE(::IsWindowEnabled(Item(IDC_APPLY)));
        TearDown();
        DeleteSettings();
    }
}

TEST_F(AddressPage, ApplyStoresEverythingThenRunsTheSequenceWithButtonsDisabled) {
    pc.tables.adapters = {
        Adapter{L"{e}", L"Ethernet", 4, {{Addr("10.0.0.20"), Addr("255.255.255.0")}}}};
    pc.echoes.replies = {EchoReply{true, 0}};
    Open();
    Type(IDC_SERIAL, L"01234");
    SetAddress(IDC_NEW_IP, 10, 0, 0, 5);
    SetAddress(IDC_NEW_NETMASK, 255, 255, 255, 0);
    SetAddress(IDC_NEW_GATEWAY, 10, 0, 0, 1);
    pc.trace.Clear();

    bool buttonsDisabledDuringRun = false;
    bool mainThreadFree = false;
    StoredValue mac, serial, ip, netmask, gateway;
    pc.echoes.onEcho = [&] { // on the work's thread
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

    EXPECT_EQ(pc.trace.Lines(),
              (Trace{L"record 10.0.0.5", L"sys arp.exe|-d 10.0.0.5 10.0.0.20",
                     L"icmp load from 10.0.0.20", L"icmp create", L"echo 10.0.0.5 wait 1000",
                     L"icmp close", L"icmp free", L"neighbour 10.0.0.5 on 4",
                     L"sys arp.exe|-s 10.0.0.5 00-50-c2-11-8c-a2 10.0.0.20",
                     L"has entry 10.0.0.5 00-50-c2-11-8c-a2 on 4", L"icmp load from 10.0.0.20",
                     L"icmp create", L"echo 10.0.0.5", L"sys arp.exe|-d 10.0.0.5 10.0.0.20",
                     L"has entry 10.0.0.5 00-50-c2-11-8c-a2 on 4", L"icmp close", L"icmp free",
                     L"record clear", L"msg 108"}));
    EXPECT_EQ(TextOf(Item(IDC_ADAPTER)), L"Adapter: Ethernet (10.0.0.20)");
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

// The technician's answer to the adapter question, given from inside its modal loop.
struct AdapterAnswer {
    int pick = -1; // the list's line to choose; -1 cancels
    LRESULT preselected = LB_ERR;
    bool asked = false;
};
AdapterAnswer adapterAnswer;

void CALLBACK AnswerAdapterQuestion(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND dialog = ::FindWindowW(nullptr, L"Network adapter");
    if (!dialog) {
        return;
    }
    ::KillTimer(nullptr, timer);
    adapterAnswer.asked = true;
    const HWND list = ::GetDlgItem(dialog, IDC_ADAPTER_LIST);
    adapterAnswer.preselected = ::SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (adapterAnswer.pick < 0) {
        ::SendMessageW(::GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        return;
    }
    ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(adapterAnswer.pick), 0);
    ::SendMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

// A laptop: Wi-Fi listed first, the wired port second, the unit's address on neither.
TEST_F(AddressPage, AsksWhichAdapterLeadsToTheUnitAndRemembersTheAnswer) {
    pc.tables.adapters = {
        Adapter{L"{w}", L"Wi-Fi", 6, {{Addr("192.168.77.10"), Addr("255.255.255.0")}}},
        Adapter{L"{e}", L"Ethernet", 5, {{Addr("10.77.0.1"), Addr("255.255.255.0")}}}};
    Open();
    Type(IDC_SERIAL, L"1234");
    SetAddress(IDC_NEW_IP, 10, 88, 0, 50);
    SetAddress(IDC_NEW_NETMASK, 255, 255, 255, 0);
    SetAddress(IDC_NEW_GATEWAY, 10, 88, 0, 1);
    EXPECT_EQ(TextOf(Item(IDC_ADAPTER)), L"Adapter: asked at Apply");
    const struct {
        int pick;
        LRESULT preselected;
        bool runs;
    } rounds[] = {{1, 0, true}, {-1, 1, false}};
    for (const auto& round : rounds) {
        pc.trace.Clear();
        pc.echoes.replies = {EchoReply{true, 0}};
        adapterAnswer = {round.pick};
        ::SetTimer(nullptr, 0, 50, AnswerAdapterQuestion);
        Click(IDC_APPLY);
        PumpUntil([&] { return !page_->Working(); });
        EXPECT_TRUE(adapterAnswer.asked);
        EXPECT_EQ(adapterAnswer.preselected, round.preselected);
        const Trace trace = pc.trace.Lines();
        if (!round.runs) {
            EXPECT_EQ(trace, Trace{}); // cancelled: nothing runs
            continue;
        }
        ASSERT_GE(trace.size(), 4u);
        EXPECT_EQ(trace[1], L"sys route.exe|ADD 10.88.0.50 MASK 255.255.255.255 0.0.0.0 IF 5");
        EXPECT_EQ(trace[2], L"has route 10.88.0.50 on 5"); // read back
        EXPECT_EQ(trace[3], L"sys arp.exe|-d 10.88.0.50 10.77.0.1");
        EXPECT_EQ(trace.back(), L"msg 108");
        EXPECT_EQ(GetValue(L"Adapter", L"Chosen").bytes, WideBytes(L"{e}"));
        EXPECT_EQ(TextOf(Item(IDC_ADAPTER)), L"Adapter: Ethernet (10.77.0.1), host route");
    }
}

TEST_F(AddressPage, AddressesThatMustNeverBeUsedAreRefusedBeforeAnythingHappens) {
    pc.tables.ownAddresses = {Addr("10.0.0.20")};
    const struct {
        DWORD ip, netmask, gateway;
        const wchar_t* shown;
        int focus;
    } cases[] = {
        {0, MAKEIPADDRESS(255, 255, 255, 0), 0, L"appbox Enter the unit's new IP address.",
         IDC_NEW_IP},
        {MAKEIPADDRESS(127, 0, 0, 1), MAKEIPADDRESS(255, 0, 0, 0), 0,
         L"appbox The new IP address must not be a loopback address (127.x.x.x).", IDC_NEW_IP},
        {MAKEIPADDRESS(10, 0, 0, 20), MAKEIPADDRESS(255, 255, 255, 0), 0,
         L"appbox The new IP address is an address of this PC.", IDC_NEW_IP},
        {MAKEIPADDRESS(10, 0, 0, 5), MAKEIPADDRESS(255, 0, 255, 0), 0,
         L"appbox The new netmask must be ones followed by zeros, such as 255.255.255.0.",
         IDC_NEW_NETMASK},
        {MAKEIPADDRESS(10, 0, 0, 255), MAKEIPADDRESS(255, 255, 255, 0), 0,
         L"appbox The new IP address is the broadcast address of its subnet.", IDC_NEW_IP},
        {MAKEIPADDRESS(10, 0, 0, 5), MAKEIPADDRESS(255, 255, 255, 0), MAKEIPADDRESS(10, 0, 1, 1),
         L"appbox The new gateway must lie in the new subnet, or be 0.0.0.0 for none.",
         IDC_NEW_GATEWAY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.shown)));
        Open();
        Type(IDC_SERIAL, L"1234");
        ::SendMessageW(Item(IDC_NEW_IP), IPM_SETADDRESS, 0, c.ip);
        ::SendMessageW(Item(IDC_NEW_NETMASK), IPM_SETADDRESS, 0, c.netmask);
        ::SendMessageW(Item(IDC_NEW_GATEWAY), IPM_SETADDRESS, 0, c.gateway);
        pc.trace.Clear();
        Click(IDC_APPLY);
        EXPECT_EQ(pc.trace.Lines(), (Trace{L"beep", c.shown})); // nothing run
        HWND focus = ::GetFocus();
        EXPECT_TRUE(focus == Item(c.focus) || ::IsChild(Item(c.focus), focus));
        EXPECT_FALSE(page_->Working());
        EXPECT_FALSE(GetValue(L"Init", L"SerialNo").present); // nothing stored
        EXPECT_FALSE(GetValue(L"Init", L"IP").present);
        TearDown();
    }
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

TEST_F(AddressPage, ShowOpensTheUnitsPageWithoutTouchingTheRegistry) {
    Open();
    SetAddress(IDC_NEW_IP, 192, 168, 0, 5);
    pc.trace.Clear();
    Click(IDC_SHOW);
    EXPECT_EQ(pc.trace.Lines(), Trace{L"run open|http://192.168.0.5||show"});
    EXPECT_EQ(page_->GetIP().ToText(), L"192.168.0.5"); // taken over, not stored
    EXPECT_FALSE(GetValue(L"Init", L"IP").present);

    ::SendMessageW(Item(IDC_NEW_IP), IPM_CLEARADDRESS, 0, 0);
    pc.trace.Clear();
    Click(IDC_SHOW);
    EXPECT_EQ(pc.trace.Lines(), Trace{L"run open|http://0.0.0.0||show"});
}

// Where the desktop's shell cannot open the page, nothing is started in its place (no
// browser of the machine's, nothing with Varnok's rights): the address is shown, to be
// copied.
TEST_F(AddressPage, ShowWithoutTheDesktopsShellStartsNothingAndShowsTheAddress) {
    Open();
    SetAddress(IDC_NEW_IP, 10, 0, 0, 5);
    pc.trace.Clear();
    pc.desktop.opens = false;
    Click(IDC_SHOW);
    EXPECT_EQ(pc.trace.Lines(),
              (Trace{L"run open|http://10.0.0.5||show",
                     L"addressbox The unit's web page could not be opened for you. Open it in "
                     L"your browser:|http://10.0.0.5"}));
}

TEST_F(AddressPage, ShowWithAnUnreadableSerialSaysSoAndStillOpensThePage) {
    Open();
    Type(IDC_SERIAL, L"");
    SetAddress(IDC_NEW_IP, 10, 0, 0, 5);
    pc.trace.Clear();
    Click(IDC_SHOW);
    EXPECT_EQ(pc.trace.Lines(),
              (Trace{L"appbox Enter a positive integer.", L"run open|http://10.0.0.5||show"}));
}

std::filesystem::path HelperProgram() {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::filesystem::path(self).parent_path() / "varnok_test_helper.exe";
}

// The parent of each running process whose program file is called `name`.
std::vector<DWORD> ParentsOfProcessesNamed(const std::wstring& name) {
    std::vector<DWORD> parents;
    const UniqueHandle snapshot = OwnFile(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        if (::_wcsicmp(entry.szExeFile, name.c_str()) == 0) {
            parents.push_back(entry.th32ParentProcessID);
        }
    }
    return parents;
}

template <typename Condition> bool WaitFor(Condition done) {
    for (int i = 0; i < 200 && !done(); ++i) {
        ::Sleep(50);
    }
    return done();
}

inline void ReleaseObject(IUnknown* object) {
    object->Release();
}

// Wine's desktop process offers the shell's list of windows a moment after it starts;
// until then there is no desktop shell to ask. Once in a while a desktop process never
// offers it at all (seen on a loaded machine; a later desktop process does): the tests
// that need it cannot check anything then, and say why instead of failing.
// Empty when the shell answers, else what the last attempt got.
std::string DesktopShellMissing() {
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HRESULT created = E_FAIL;
    WaitFor([&created] {
        IUnknown* raw = nullptr;
        created = ::CoCreateInstance(__uuidof(ShellWindows), nullptr, CLSCTX_ALL, IID_IUnknown,
                                     reinterpret_cast<void**>(&raw));
        const UniqueOwner<IUnknown*, ReleaseObject> windows(raw);
        return SUCCEEDED(created);
    });
    if (SUCCEEDED(com)) {
        ::CoUninitialize();
    }
    if (SUCCEEDED(created)) {
        return {};
    }
    char text[128];
    std::snprintf(text, sizeof text,
                  "the desktop's shell offers no list of windows (0x%08lX, %u explorer.exe)",
                  static_cast<unsigned long>(created),
                  static_cast<unsigned>(ParentsOfProcessesNamed(L"explorer.exe").size()));
    return text;
}

// A process started by this one, as a browser started with Varnok's own rights would be.
ProgramRun StartedDirectly(const std::wstring& program, const std::wstring& arguments, Log&) {
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const bool ok = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                     0, nullptr, nullptr, &startup, &started);
    const UniqueHandle process(ok ? started.hProcess : nullptr);
    const UniqueHandle thread(ok ? started.hThread : nullptr);
    return {ok, L"", L""};
}

// What Win32Desktop does for "Show", with the stand-in program as the page to open.
TEST(ShowOnWindows, TheDesktopsShellStartsThePageAsItsOwnNotAsVarnoks) {
    if (const std::string missing = DesktopShellMissing(); !missing.empty()) {
        GTEST_SKIP() << missing;
    }
    const ScopedTempDir dir;
    Win32LogFile logFile;
    Log log(logFile);
    const struct {
        const char* name;
        ProgramRun (*open)(const std::wstring&, const std::wstring&, Log&);
        bool childOfVarnok;
    } cases[] = {
        {"through the desktop's shell", OpenAsDesktopUser, false},
        {"started directly", StartedDirectly, true}, // shows that parents are seen
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path program = dir.path() / "opened page.exe";
        const std::filesystem::path marker = dir.path() / "page opened.txt";
        std::filesystem::copy_file(HelperProgram(), program);
        ASSERT_TRUE(
            c.open(program.wstring(), L"--touch \"" + marker.wstring() + L"\" --sleep 1000", log)
                .started);
        ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(marker); }));
        const std::vector<DWORD> parents = ParentsOfProcessesNamed(L"opened page.exe");
        ASSERT_EQ(parents.size(), 1u);
        EXPECT_EQ(parents[0] == ::GetCurrentProcessId(), c.childOfVarnok);
        EXPECT_TRUE(WaitFor([] { return ParentsOfProcessesNamed(L"opened page.exe").empty(); }));
        std::filesystem::remove(program);
        std::filesystem::remove(marker);
    }
    EXPECT_FALSE(std::filesystem::exists("varnok.log")); // the desktop's shell took it
}

// Wine's desktop shell answers S_FALSE for a document it cannot open: it is not opened
// with Varnok's own rights instead, and the log says why.
TEST(ShowOnWindows, WhatTheDesktopsShellCannotOpenIsNotOpenedElevated) {
    const ScopedTempDir dir;
    if (const std::string missing = DesktopShellMissing(); !missing.empty()) {
        GTEST_SKIP() << missing;
    }
    Win32LogFile logFile;
    Log log(logFile);
    const std::wstring missing = (dir.path() / "missing.exe").wstring();
    EXPECT_EQ(OpenThroughDesktopShell(missing, L""), L"ShellExecute: 0x00000001");
    EXPECT_FALSE(OpenAsDesktopUser(missing, L"", log).started);
    EXPECT_EQ(ReadFileBytes("varnok.log"),
              "The desktop's shell did not open it (ShellExecute: 0x00000001).\r\n");
}

} // namespace
