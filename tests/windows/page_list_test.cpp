// The list of units, created for real and driven with window messages on the recording
// system: a cabinet imported, applied, applied again, stopped, and kept.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/page_list.h"
#include "core/commissioning.h"
#include "res/resource_ids.h"
#include "tests/support.h"
#include "tests/windows/page_fixture.h"

namespace {

using namespace testing_support;
using Trace = std::vector<std::wstring>;

class ListPage : public PageFixture<PageList> {
protected:
    void SetUp() override {
        PageFixture::SetUp();
        pc.tables.adapters = {
            Adapter{L"{e}", L"Ethernet", 4, {{Addr("10.0.0.20"), Addr("255.255.255.0")}}}};
    }
    std::wstring WriteList(const std::string& text) {
        const std::filesystem::path file = dir.path() / "cabinet 7.csv";
        std::ofstream(file, std::ios::binary) << text;
        return file.wstring();
    }
    // Clicks `button` and handles messages until the run's summary box, which says `took`.
    std::wstring RunAndSum(int button, const wchar_t* took = L"units took their address") {
        const std::size_t before = pc.trace.Lines().size();
        Click(button);
        std::wstring summary;
        PumpUntil([&] {
            const Trace trace = pc.trace.Lines();
            for (std::size_t i = before; i < trace.size(); ++i) {
                if (trace[i].find(took) != std::wstring::npos) {
                    summary = trace[i];
                    return !page_->Working();
                }
            }
            return false;
        });
        return summary;
    }
    std::vector<UnitState> States() const {
        std::vector<UnitState> states;
        for (const ListedUnit& unit : page_->Units()) {
            states.push_back(unit.state);
        }
        return states;
    }

    ScopedTempDir dir;
};

constexpr char kCabinet[] = "serial;ip;netmask;gateway\r\n"
                            "1000;10.0.0.101;255.255.255.0;10.0.0.1\r\n"
                            "1001;10.0.0.102;255.255.255.0;10.0.0.1\r\n"
                            "\r\n"
                            "1002;10.0.0.103;255.255.255.0;10.0.0.1\r\n";

std::size_t Position(const Trace& trace, const std::wstring& line) {
    return static_cast<std::size_t>(std::find(trace.begin(), trace.end(), line) - trace.begin());
}

// One unit answers, one is absent, a PLC holds the third's address: each row its own
// outcome, one summary, each unit asking who holds its address right before its own
// entry, a record line per unit, and the list kept for the next start.
TEST_F(ListPage, ApplyAllThenApplyAgainRunsEachUnitOnItsOwn) {
    PageList& page = OpenPage();
    ASSERT_TRUE(page.ImportFile(WriteList(kCabinet)));
    pc.tables.neighbours[L"10.0.0.103"] = L"02-00-5E-10-00-99";
    pc.echoes.repliesTo[L"10.0.0.101"] = {{true, 0}};

    EXPECT_EQ(RunAndSum(IDC_LIST_APPLY_ALL), L"box 1 of 3 units took their address");
    EXPECT_EQ(States(), (std::vector{UnitState::Succeeded, UnitState::Failed, UnitState::Failed}));
    EXPECT_EQ(page.Units()[1].reason, L"The unit did not answer.");
    EXPECT_EQ(page.Units()[2].reason, L"The address 10.0.0.103 is already in use by the device "
                                      L"with MAC 02-00-5e-10-00-99.");
    EXPECT_NE(ItemText(IDC_LIST_COUNTS).find(L"1 took their address, 2 failed, 0 in flight, of 3"),
              std::wstring::npos)
        << ItemText(IDC_LIST_COUNTS);
    EXPECT_EQ(::SendMessageW(Item(IDC_LIST_PROGRESS), PBM_GETPOS, 0, 0), 3);
    const Trace trace = pc.trace.Lines();
    for (const wchar_t* address : {L"10.0.0.101", L"10.0.0.102"}) {
        const std::wstring at = address;
        const auto entry = std::find_if(trace.begin(), trace.end(), [&](const std::wstring& line) {
            return line.starts_with(L"sys arp.exe|-s " + at + L" ");
        });
        EXPECT_LT(Position(trace, L"echo " + at + L" wait 1000"),
                  static_cast<std::size_t>(entry - trace.begin()))
            << address;
    }
    EXPECT_EQ(std::count_if(trace.begin(), trace.end(),
                            [](const std::wstring& line) {
                                return line.starts_with(L"sys arp.exe|-s 10.0.0.103");
                            }),
              0);
    const std::string record = pc.store.File(kRecordFile);
    EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 4); // the header and 3 units
    EXPECT_NE(record.find(",1000,00:50:c2:11:8b:b8,10.0.0.101,255.255.255.0,10.0.0.1,"
                          "Ethernet (10.0.0.20),SUCCESS,"),
              std::string::npos)
        << record;

    // Only the two that failed run again; the absent unit has been switched on since.
    pc.echoes.repliesTo[L"10.0.0.102"] = {{true, 0}};
    pc.trace.Clear();
    EXPECT_EQ(RunAndSum(IDC_LIST_APPLY_AGAIN), L"box 1 of 2 units took their address");
    EXPECT_EQ(States(),
              (std::vector{UnitState::Succeeded, UnitState::Succeeded, UnitState::Failed}));
    EXPECT_EQ(Position(pc.trace.Lines(), L"echo 10.0.0.101 wait 1000"), pc.trace.Lines().size());

    // The list and its states come back with the page.
    const std::vector<ListedUnit> kept = page.Units();
    page_.reset();
    PageList& again = OpenPage();
    ASSERT_EQ(again.Units().size(), kept.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(again.Units()[i].state, kept[i].state);
        EXPECT_EQ(again.Units()[i].reason, kept[i].reason);
    }
}

// A file or a fill that cannot be taken changes nothing, and says which line or unit is
// wrong; a good fill replaces the list.
TEST_F(ListPage, ARefusedListNamesItsLineOrUnitAndKeepsTheOldOne) {
    PageList& page = OpenPage();
    ASSERT_TRUE(page.ImportFile(WriteList(kCabinet)));
    static const struct {
        const char* file;
        const wchar_t* says;
    } kFiles[] = {
        {"1000,10.0.0.101,255.255.255.0,0.0.0.0\n1001,10.0.0.101,255.255.255.0,0.0.0.0\n",
         L"Line 2: address 10.0.0.101 is already on line 1"},
        {"1000,10.0.0.255,255.255.255.0,0.0.0.0\n",
         L"Line 1: The new IP address is the broadcast address of its subnet."},
    };
    for (const auto& each : kFiles) {
        pc.trace.Clear();
        EXPECT_FALSE(page.ImportFile(WriteList(each.file)));
        const Trace trace = pc.trace.Lines();
        ASSERT_FALSE(trace.empty());
        EXPECT_NE(trace.back().find(each.says), std::wstring::npos) << trace.back();
        EXPECT_EQ(page.Units().size(), 3u);
    }
    // Filled by counting up: the third address would be the subnet's broadcast address.
    pc.trace.Clear();
    EXPECT_FALSE(page.Fill({1000, Addr("10.0.0.253"), 3, Addr("255.255.255.0"), Addr("0.0.0.0")}));
    EXPECT_EQ(pc.trace.Last(), L"appbox First IP address (unit 3: serial 1002, 10.0.0.255): The "
                               L"new IP address is the broadcast address of its subnet.");
    EXPECT_TRUE(page.Fill({1000, Addr("10.0.0.250"), 5, Addr("255.255.255.0"), Addr("0.0.0.0")}));
    ASSERT_EQ(page.Units().size(), 5u);
    EXPECT_EQ(page.Units()[4].row.address.ToText(), L"10.0.0.254");
}

// "Stop" ends every unit in flight: no further echo, every clean-up done, each its own
// failure. The window stays usable for it, and a record that cannot be written is told
// once, not per unit.
TEST_F(ListPage, StopEndsEveryUnitInFlight) {
    PageList& page = OpenPage();
    ASSERT_TRUE(page.ImportFile(WriteList(kCabinet)));
    pc.store.writable = false;
    bool stopUsable = false;
    const HWND stop = Item(IDC_LIST_STOP);
    const HWND import = Item(IDC_LIST_IMPORT);
    // The click comes once every unit's first echo is out (5 s at most), and is taken
    // while they are under way.
    std::mutex mutex;
    std::condition_variable allOut;
    int out = 0;
    pc.echoes.onEcho = [&] {
        stopUsable = ::IsWindowEnabled(stop) && !::IsWindowEnabled(import);
        std::unique_lock<std::mutex> lock(mutex);
        ++out;
        allOut.notify_all();
        allOut.wait_for(lock, std::chrono::seconds(5), [&out] { return out >= 3; });
        lock.unlock();
        ::PostMessageW(stop, BM_CLICK, 0, 0);
        ::Sleep(100);
    };
    EXPECT_EQ(RunAndSum(IDC_LIST_APPLY_ALL), L"box 0 of 3 units took their address");
    EXPECT_TRUE(stopUsable);
    EXPECT_EQ(States(), (std::vector{UnitState::Failed, UnitState::Failed, UnitState::Failed}));
    EXPECT_TRUE(pc.tables.staticEntries.empty());
    EXPECT_TRUE(pc.changes.All().empty());
    const Trace trace = pc.trace.Lines();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), L"pause 1000"), 0);
    EXPECT_EQ(std::count_if(trace.begin(), trace.end(),
                            [](const std::wstring& line) {
                                return line.find(L"cannot be kept yet") != std::wstring::npos;
                            }),
              1); // told once, whatever the number of lines
}

// Serials 2096 and 2097 share a MAC: the technician is told when they are filled in, and a
// run addresses one of them, telling what is left for the next.
TEST_F(ListPage, UnitsThatShareAMacAreToldAndRunOneAtATime) {
    PageList& page = OpenPage();
    ASSERT_TRUE(page.Fill({2095, Addr("10.0.0.101"), 3, Addr("255.255.255.0"), Addr("0.0.0.0")}));
    EXPECT_NE(pc.trace.Last().find(
                  L"Some units of the list share their MAC address (serial 2097 with 2096)"),
              std::wstring::npos)
        << pc.trace.Last();
    pc.echoes.replies = {{true, 0}, {true, 0}};
    const std::wstring summary = RunAndSum(IDC_LIST_APPLY_ALL);
    EXPECT_TRUE(summary.starts_with(L"box 2 of 2 units took their address\n1 more unit shares"))
        << summary;
    EXPECT_EQ(States(),
              (std::vector{UnitState::Succeeded, UnitState::Succeeded, UnitState::Waiting}));
}

// "Export record…" hands over a copy of the record, whatever is in it.
// Whatever the system's font: the cells a technician reads off are never cut, nor is the
// note below the list.
TEST_F(ListPage, ShowsASerialAMacAnAddressAndATimeWholeAndItsWholeNote) {
    OpenPage();
    const struct {
        int column;
        const wchar_t* text;
    } cells[] = {{0, L"99999"},           {1, L"255.255.255.255"}, {3, L"23:59:59"},
                 {4, L"255.255.255.255"}, {5, L"255.255.255.255"}, {6, L"00:50:c2:11:8b:b8"}};
    for (const auto& cell : cells) {
        EXPECT_GE(ColumnSpare(IDC_UNIT_LIST, cell.column, cell.text), 0) << cell.column;
    }
    EXPECT_TRUE(TextFits(IDC_LIST_NOTE));
}

// The customer's copy holds every line, those that wait beside the record included, in
// order; with every line waiting, still under the record's header.
TEST_F(ListPage, ExportCopiesTheWholeRecord) {
    PageList& page = OpenPage();
    const std::wstring copy = (dir.path() / "hand-over.csv").wstring();
    page.ExportRecord(copy);
    EXPECT_EQ(pc.trace.Last(), L"box Nothing has been recorded yet.");
    const std::string line1 = "2026-12-09T14:03:22+01:00,1000\r\n";
    const std::string line2 = "2026-12-09T14:03:25+01:00,1001\r\n";
    pc.store.files[kPendingRecordFile] = line1 + line2;
    page.ExportRecord(copy);
    EXPECT_EQ(pc.store.userFiles[copy], RecordHeader() + line1 + line2);
    pc.store.files[kRecordFile] = "time,serial\r\n" + line1;
    pc.store.files[kPendingRecordFile] = line2;
    page.ExportRecord(copy);
    EXPECT_EQ(pc.store.userFiles[copy], "time,serial\r\n" + line1 + line2);
}

} // namespace

namespace {

// A spreadsheet holding units.csv open: the newest state waits beside it, the technician
// is told once, and it takes the list's place as soon as it can (here: at the next start).
TEST_F(ListPage, AListThatCannotBeKeptWaitsBesideIt) {
    PageList& page = OpenPage();
    pc.store.heldOpen = {kListFile};
    ASSERT_TRUE(page.Fill({1000, Addr("10.0.0.101"), 2, Addr("255.255.255.0"), Addr("0.0.0.0")}));
    ASSERT_TRUE(page.Fill({2000, Addr("10.0.0.111"), 3, Addr("255.255.255.0"), Addr("0.0.0.0")}));
    const Trace trace = pc.trace.Lines();
    EXPECT_EQ(std::count_if(trace.begin(), trace.end(),
                            [](const std::wstring& line) {
                                return line.find(L"cannot be kept") != std::wstring::npos;
                            }),
              1);
    EXPECT_EQ(ReadListFile(pc.store.File(kPendingListFile)).size(), 3u);

    pc.store.heldOpen.clear();
    TearDown();
    PageList& again = OpenPage();
    ASSERT_EQ(again.Units().size(), 3u); // the newest state
    EXPECT_EQ(again.Units()[0].row.serial, 2000u);
    EXPECT_EQ(ReadListFile(pc.store.File(kListFile)).size(), 3u);
    EXPECT_EQ(pc.store.files.count(kPendingListFile), 0u);
}

} // namespace

namespace {

// The list's "Fill…" dialog, acted on from a thread timer inside its modal loop as a
// technician would between messages.
std::function<void(HWND dialog)> inFill;

void CALLBACK ActInFill(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND dialog = ::FindWindowW(L"#32770", L"Fill the list");
    if (!dialog || !::IsWindowVisible(dialog)) {
        return;
    }
    ::KillTimer(nullptr, timer);
    inFill(dialog);
    // Whatever happened, the dialog does not outlive the step.
    ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

// The five values as the dialog shows them: serial, address, count, netmask, gateway.
std::vector<std::wstring> FillValues(HWND dialog) {
    std::vector<std::wstring> values;
    for (const int id :
         {IDC_FILL_SERIAL, IDC_FILL_ADDRESS, IDC_FILL_COUNT, IDC_FILL_NETMASK, IDC_FILL_GATEWAY}) {
        const HWND control = ::GetDlgItem(dialog, id);
        if (id == IDC_FILL_SERIAL || id == IDC_FILL_COUNT) {
            wchar_t text[64] = {};
            ::GetWindowTextW(control, text, 64);
            values.emplace_back(text);
        } else {
            DWORD address = 0;
            ::SendMessageW(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
            values.push_back(FromValue(address).ToText());
        }
    }
    return values;
}

void TypeFill(HWND dialog, const std::vector<std::wstring>& values) {
    const int ids[] = {IDC_FILL_SERIAL, IDC_FILL_ADDRESS, IDC_FILL_COUNT, IDC_FILL_NETMASK,
                       IDC_FILL_GATEWAY};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const HWND control = ::GetDlgItem(dialog, ids[i]);
        if (ids[i] == IDC_FILL_SERIAL || ids[i] == IDC_FILL_COUNT) {
            ::SetWindowTextW(control, values[i].c_str());
        } else {
            ::SendMessageW(
                control, IPM_SETADDRESS, 0,
                static_cast<LPARAM>(ValueOf(ParseIPv4(values[i]).value_or(IPv4Address{}))));
        }
    }
}

// The dialog control that holds the focus (an address control for the field inside it),
// and whether all the text of the focused window is selected.
int FocusedControl(HWND dialog, bool& allSelected) {
    HWND focus = ::GetFocus();
    const DWORD selection = static_cast<DWORD>(::SendMessageW(focus, EM_GETSEL, 0, 0));
    const int length = ::GetWindowTextLengthW(focus);
    allSelected = length > 0 && LOWORD(selection) == 0 && HIWORD(selection) == length;
    while (focus && ::GetParent(focus) != dialog) {
        focus = ::GetParent(focus);
    }
    return focus ? ::GetDlgCtrlID(focus) : 0;
}

// A value refused in "Fill…" keeps the dialog open, every value as typed: the box names
// the value, and the focus is on it with its text selected, to be typed over. The fill
// taken is what the next "Fill…" proposes.
TEST_F(ListPage, ARefusedFillKeepsItsDialogAsTypedAndTakesTheTechnicianToTheValue) {
    PageList& page = OpenPage();
    const struct {
        std::vector<std::wstring> typed;
        const wchar_t* says;
        int focus;
    } cases[] = {
        {{L"1000", L"10.0.0.10", L"5", L"255.0.255.0", L"0.0.0.0"},
         L"Netmask: The new netmask must be ones followed by zeros, such as 255.255.255.0.",
         IDC_FILL_NETMASK},
        {{L"1000", L"10.0.0.10", L"5", L"255.255.255.0", L"10.0.1.1"},
         L"Gateway: The new gateway must lie in the new subnet, or be 0.0.0.0 for none.",
         IDC_FILL_GATEWAY},
        {{L"1000", L"10.0.0.253", L"5", L"255.255.255.0", L"0.0.0.0"},
         L"First IP address (unit 3: serial 1002, 10.0.0.255): The new IP address is the "
         L"broadcast address of its subnet.",
         IDC_FILL_ADDRESS},
        {{L"999", L"10.0.0.10", L"5", L"255.255.255.0", L"0.0.0.0"},
         L"First serialnumber: serial 999 is not from 1000 to 99999",
         IDC_FILL_SERIAL},
        {{L"1000", L"10.0.0.10", L"0", L"255.255.255.0", L"0.0.0.0"},
         L"Number of units: from 1 to 1000 units can be filled in",
         IDC_FILL_COUNT},
    };
    inFill = [&](HWND dialog) {
        for (const auto& c : cases) {
            pc.trace.Clear();
            TypeFill(dialog, c.typed);
            ::SendMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            EXPECT_EQ(pc.trace.Last(), std::wstring(L"appbox ") + c.says);
            EXPECT_TRUE(::IsWindowVisible(dialog)) << c.focus;
            EXPECT_EQ(FillValues(dialog), c.typed);
            bool allSelected = false;
            EXPECT_EQ(FocusedControl(dialog, allSelected), c.focus);
            EXPECT_TRUE(allSelected) << c.focus;
        }
        // Corrected: taken.
        TypeFill(dialog, {L"1000", L"10.0.0.10", L"5", L"255.255.255.0", L"10.0.0.1"});
        pc.trace.Clear();
        ::SendMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        EXPECT_EQ(pc.trace.Lines(), Trace{});
    };
    ::SetTimer(nullptr, 0, 10, ActInFill);
    Click(IDC_LIST_FILL);
    ASSERT_EQ(page.Units().size(), 5u);
    EXPECT_EQ(page.Units()[4].row.address.ToText(), L"10.0.0.14");
    EXPECT_EQ(page.Units()[4].row.gateway.ToText(), L"10.0.0.1");

    // The next "Fill…" starts from the fill taken; cancelled, it changes nothing.
    std::vector<std::wstring> proposed;
    inFill = [&](HWND dialog) { proposed = FillValues(dialog); };
    ::SetTimer(nullptr, 0, 10, ActInFill);
    Click(IDC_LIST_FILL);
    EXPECT_EQ(proposed, (std::vector<std::wstring>{L"1000", L"10.0.0.10", L"5", L"255.255.255.0",
                                                   L"10.0.0.1"}));
    EXPECT_EQ(page.Units().size(), 5u);
}

// The text of the tooltip the page shows over its list, as it stands.
std::wstring ListTip(HWND page, HWND list) {
    std::wstring found;
    for (HWND window = nullptr;
         (window = ::FindWindowExW(nullptr, window, TOOLTIPS_CLASSW, nullptr));) {
        wchar_t text[1024] = {};
        TOOLINFOW info{};
        info.cbSize = sizeof info;
        info.hwnd = page;
        info.uId = reinterpret_cast<UINT_PTR>(list);
        info.lpszText = text;
        ::SendMessageW(window, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&info));
        if (text[0]) {
            found = text;
        }
    }
    return found;
}

// A failed unit's whole status, which its cell cuts, is the row's tooltip under the mouse,
// and the selected row's is in a read-only line below the list, from which it can be
// copied; the line follows the row as its unit runs again.
TEST_F(ListPage, AFailedRowsWholeReasonIsItsTooltipAndTheLineBelowTheList) {
    PageList& page = OpenPage();
    ASSERT_TRUE(page.ImportFile(WriteList(kCabinet)));
    pc.tables.neighbours[L"10.0.0.103"] = L"02-00-5E-10-00-99";
    pc.echoes.repliesTo[L"10.0.0.101"] = {{true, 0}};
    EXPECT_EQ(RunAndSum(IDC_LIST_APPLY_ALL), L"box 1 of 3 units took their address");
    const std::wstring inUse = L"Unit 1002 (10.0.0.103), " + page.Units()[2].time +
                               L": FAILED!!! The address 10.0.0.103 is already in use by the "
                               L"device with MAC 02-00-5e-10-00-99.";
    const std::wstring absent = L"Unit 1001 (10.0.0.102), " + page.Units()[1].time +
                                L": FAILED!!! The unit did not answer.";
    const HWND list = Item(IDC_UNIT_LIST);
    const HWND line = Item(IDC_LIST_DETAIL);
    EXPECT_LT(ColumnSpare(IDC_UNIT_LIST, 2,
                          L"FAILED!!! The address 10.0.0.103 is already in use by the device "
                          L"with MAC 02-00-5e-10-00-99."),
              0); // the cell cuts it
    EXPECT_TRUE(::GetWindowLongW(line, GWL_STYLE) & ES_READONLY);
    EXPECT_EQ(ItemText(IDC_LIST_DETAIL), L""); // no row selected

    const auto select = [&](int row) {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    };
    select(2);
    EXPECT_EQ(ItemText(IDC_LIST_DETAIL), inUse);
    // Selectable, for a copy.
    ::SendMessageW(line, EM_SETSEL, 0, -1);
    EXPECT_EQ(HIWORD(::SendMessageW(line, EM_GETSEL, 0, 0)), inUse.size());

    // The mouse over a row, in any of its columns: that row whole as the tip.
    const auto hover = [&](int row) {
        RECT cell{};
        cell.top = 3; // the status column
        cell.left = LVIR_BOUNDS;
        ::SendMessageW(list, LVM_GETSUBITEMRECT, row, reinterpret_cast<LPARAM>(&cell));
        MSG move{};
        move.hwnd = list;
        move.message = WM_MOUSEMOVE;
        move.lParam = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
        page.PreTranslateMessage(move);
    };
    hover(1);
    EXPECT_EQ(ListTip(page.hwnd(), list), absent);
    hover(2);
    EXPECT_EQ(ListTip(page.hwnd(), list), inUse);

    // The absent unit, switched on, runs again: the line says what its row says now.
    select(1);
    EXPECT_EQ(ItemText(IDC_LIST_DETAIL), absent);
    pc.echoes.repliesTo[L"10.0.0.102"] = {{true, 0}};
    EXPECT_EQ(RunAndSum(IDC_LIST_APPLY_AGAIN), L"box 1 of 2 units took their address");
    EXPECT_EQ(ItemText(IDC_LIST_DETAIL),
              L"Unit 1001 (10.0.0.102), " + page.Units()[1].time + L": SUCCESS!");
}

// "Update all": the firmware, then the web pages, to every unit; a unit whose server refuses
// the firmware is sent no web pages, an absent one fails with its reason, each row says how
// its unit's images went, the summary counts the units that took both, and the units' own
// state (their addresses) stays as it was.
TEST_F(ListPage, UpdateAllSendsTheWebPagesOnlyAfterAFirmwareThatWentThrough) {
    PageList& page = OpenPage();
    ASSERT_TRUE(page.ImportFile(WriteList(kCabinet)));
    const std::filesystem::path firmwareFile = dir.path() / "unit.bin";
    const std::filesystem::path webPagesFile = dir.path() / "web.ROM";
    const std::wstring firmware = firmwareFile.wstring();
    const std::wstring webPages = webPagesFile.wstring();
    std::ofstream(firmwareFile, std::ios::binary) << "firmware";
    std::ofstream(webPagesFile, std::ios::binary) << "pages";
    for (const wchar_t* answering : {L"10.0.0.101", L"10.0.0.103"}) {
        pc.echoes.repliesTo[answering] = {{true, 0}, {true, 0}};
    }
    pc.client.endsWhere[L"10.0.0.103 PUT " + firmware] = {1, L"Error on server: refused"};
    Click(IDC_LIST_UPDATE_ALL); // no image chosen: told, nothing runs
    EXPECT_EQ(pc.trace.Last(), L"box No file selected");
    Type(IDC_LIST_WEB, (dir.path() / "missing.ROM").wstring());
    Click(IDC_LIST_UPDATE_ALL);
    EXPECT_EQ(pc.trace.Last(), L"box File not found");
    EXPECT_EQ(::GetFocus(), Item(IDC_LIST_WEB));

    Type(IDC_LIST_FIRMWARE, firmware);
    Type(IDC_LIST_WEB, webPages);
    EXPECT_EQ(RunAndSum(IDC_LIST_UPDATE_ALL, L"units took both images"),
              L"box 1 of 3 units took both images");
    ListView list;
    list.Attach(Item(IDC_UNIT_LIST));
    EXPECT_EQ((std::vector<std::wstring>{list.Cell(0, 2), list.Cell(1, 2), list.Cell(2, 2)}),
              (std::vector<std::wstring>{L"SUCCESS!", L"FAILED!!! The unit did not answer.",
                                         L"FAILED!!! Error on server: refused"}));
    EXPECT_EQ(States(), std::vector<UnitState>(3, UnitState::Waiting));
    const std::string record = pc.store.File(kRecordFile);
    EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 1 + 6); // a line per image and unit
    EXPECT_EQ(CountOf(record, "Not sent: the firmware update failed."), 2u);
    // The same images wait on the update page.
    EXPECT_EQ(settings_.Text(L"File", L"BinFile", L""), firmware);
    EXPECT_EQ(settings_.Text(L"File", L"WebFile", L""), webPages);
}

// "Then update": each unit that took its address goes on to its image in the same run, the
// summary saying both.
TEST_F(ListPage, ThenUpdateSendsEachUnitThatTookItsAddressItsImage) {
    PageList& page = OpenPage();
    ASSERT_TRUE(page.ImportFile(WriteList(kCabinet)));
    const std::filesystem::path firmwareFile = dir.path() / "unit.bin";
    std::ofstream(firmwareFile, std::ios::binary) << "firmware";
    for (const wchar_t* answering : {L"10.0.0.101", L"10.0.0.103"}) {
        pc.echoes.repliesTo[answering] = {{true, 0}, {true, 0}};
    }
    Type(IDC_LIST_FIRMWARE, firmwareFile.wstring());
    ::SendMessageW(Item(IDC_LIST_THEN_UPDATE), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(RunAndSum(IDC_LIST_APPLY_ALL, L"units took the firmware"),
              L"box 2 of 3 units took their address\n2 of 2 units took the firmware");
    EXPECT_EQ(States(), (std::vector<UnitState>{UnitState::Succeeded, UnitState::Failed,
                                                UnitState::Succeeded}));
    const std::string record = pc.store.File(kRecordFile);
    EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 1 + 3 + 2); // addresses, images
}

} // namespace
