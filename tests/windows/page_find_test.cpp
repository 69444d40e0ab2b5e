// The search for units, created for real and driven with window messages on the recording
// system: the adapters offered, the range, the report as units come in, Show and Export.
#include <string>
#include <vector>

#include "app/page_find.h"
#include "core/kept_values.h"
#include "res/resource_ids.h"
#include "tests/support.h"
#include "tests/windows/page_fixture.h"

namespace {

using namespace testing_support;
using Trace = std::vector<std::wstring>;

const Adapter kWifi{L"{w}", L"Wi-Fi", 9, {{Addr("192.168.1.7"), Addr("255.255.255.0")}}};
const Adapter kEthernet{L"{e}", L"Ethernet", 4, {{Addr("10.0.0.20"), Addr("255.255.255.0")}}};

class FindPage : public PageFixture<PageFind> {
protected:
    void SetUp() override {
        PageFixture::SetUp();
        pc.tables.adapters = {kWifi, kEthernet};
    }
    std::vector<std::wstring> Row(int row) const {
        std::vector<std::wstring> cells;
        for (int column = 0; column < 5; ++column) {
            wchar_t text[128] = {};
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = 128;
            ::SendMessageW(Item(IDC_FIND_LIST), LVM_GETITEMTEXTW, row,
                           reinterpret_cast<LPARAM>(&item));
            cells.emplace_back(text);
        }
        return cells;
    }
    int Rows() const {
        return static_cast<int>(::SendMessageW(Item(IDC_FIND_LIST), LVM_GETITEMCOUNT, 0, 0));
    }
    void FindAndWait() {
        Click(IDC_FIND_START);
        PumpUntil([this] { return !page_->Working(); });
    }
};

// Whatever the system's font: the cells a technician reads off are never cut, nor is the
// note below the list.
TEST_F(FindPage, ShowsAMacAnAddressAndATimeWholeAndItsWholeNote) {
    OpenPage();
    const struct {
        int column;
        const wchar_t* text;
    } cells[] = {{1, L"00:50:c2:11:8b:b8"}, {2, L"255.255.255.255"}, {4, L"23:59:59"}};
    for (const auto& cell : cells) {
        EXPECT_GE(ColumnSpare(IDC_FIND_LIST, cell.column, cell.text), 0) << cell.column;
    }
    EXPECT_TRUE(TextFits(IDC_FIND_NOTE));
}

TEST_F(FindPage, OffersTheAdapterAUnitWasLastAddressedThroughFirstWithItsSubnet) {
    RememberUsedAdapter(settings_, UnitPath{kEthernet, Addr("10.0.0.20"), false});
    OpenPage();
    const HWND choice = Item(IDC_FIND_ADAPTER);
    ASSERT_EQ(::SendMessageW(choice, CB_GETCOUNT, 0, 0), 2);
    wchar_t first[64] = {};
    ::SendMessageW(choice, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
    EXPECT_STREQ(first, L"Ethernet (10.0.0.20)");
    EXPECT_EQ(::SendMessageW(choice, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(AddressOf(IDC_FIND_FROM), 0x0A000000u);
    EXPECT_EQ(AddressOf(IDC_FIND_TO), 0x0A0000FFu);
    // Choosing the other one proposes its subnet.
    ::SendMessageW(choice, CB_SETCURSEL, 1, 0);
    ::SendMessageW(page_->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_FIND_ADAPTER, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(choice));
    EXPECT_EQ(AddressOf(IDC_FIND_FROM), 0xC0A80100u);
    EXPECT_EQ(AddressOf(IDC_FIND_TO), 0xC0A801FFu);
}

TEST_F(FindPage, ListsTheUnitsByAddressShowsOneAndExportsThem) {
    RememberUsedAdapter(settings_, UnitPath{kEthernet, Addr("10.0.0.20"), false});
    pc.neighbourhood.table[4] = {{Addr("10.0.0.90"), L"00-50-c2-11-8b-b8"}};
    pc.neighbourhood.later = {{4, {Addr("10.0.0.50"), L"00-50-c2-11-8c-a2"}, 0},
                              {4, {Addr("10.0.0.60"), L"00-1b-21-aa-bb-cc"}, 0}};
    OpenPage();
    FindAndWait();
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(Row(0),
              (std::vector<std::wstring>{L"1234,49744-49759", L"00:50:c2:11:8c:a2", L"10.0.0.50",
                                         L"Ethernet (10.0.0.20)", L"14:03:22"}));
    EXPECT_EQ(Row(1)[2], L"10.0.0.90");
    EXPECT_EQ(ItemText(IDC_FIND_COUNTS).rfind(L"2 units found on 10.0.0.0 to 10.0.0.255 in ", 0),
              0u);

    pc.trace.Clear();
    LVITEMW selected{};
    selected.stateMask = selected.state = LVIS_SELECTED;
    ::SendMessageW(Item(IDC_FIND_LIST), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&selected));
    Click(IDC_FIND_SHOW);
    EXPECT_EQ(pc.trace.Lines(), Trace{L"run open|http://10.0.0.90||show"});
    // The selected row whole below the list, to be copied.
    EXPECT_EQ(ItemText(IDC_FIND_DETAIL), L"10.0.0.90 (00:50:c2:11:8b:b8): serials "
                                         L"1000,46000-46015, through Ethernet (10.0.0.20), seen "
                                         L"14:03:22");
    // A double-click goes the same way; where the desktop's shell cannot open the page,
    // nothing else is started and the address is shown.
    pc.trace.Clear();
    pc.desktop.opens = false;
    NMITEMACTIVATE activate{};
    activate.hdr = {Item(IDC_FIND_LIST), IDC_FIND_LIST, static_cast<UINT>(NM_DBLCLK)};
    activate.iItem = 0;
    ::SendMessageW(page_->hwnd(), WM_NOTIFY, IDC_FIND_LIST, reinterpret_cast<LPARAM>(&activate));
    EXPECT_EQ(pc.trace.Lines(),
              (Trace{L"run open|http://10.0.0.50||show",
                     L"addressbox The unit's web page could not be opened for you. Open it in "
                     L"your browser:|http://10.0.0.50"}));

    page_->ExportTo(L"C:\\found.csv");
    EXPECT_EQ(pc.store.userFiles[L"C:\\found.csv"],
              "serials,mac,address,adapter,seen\r\n"
              "\"1234,49744-49759\",00:50:c2:11:8c:a2,10.0.0.50,Ethernet (10.0.0.20),"
              "2026-12-09T14:03:22+01:00\r\n"
              "\"1000,46000-46015\",00:50:c2:11:8b:b8,10.0.0.90,Ethernet (10.0.0.20),"
              "2026-12-09T14:03:22+01:00\r\n");
}

TEST_F(FindPage, ARangeOutsideTheSubnetIsRefusedAndNothingIsSent) {
    OpenPage();
    ::SendMessageW(Item(IDC_FIND_TO), IPM_SETADDRESS, 0, MAKEIPADDRESS(192, 168, 2, 9));
    pc.trace.Clear();
    Click(IDC_FIND_START);
    EXPECT_EQ(pc.trace.Lines(),
              (Trace{L"beep", L"appbox The range must lie in the adapter's subnet."}));
    EXPECT_FALSE(page_->Working());
    // The address at fault has the focus, its first field selected, to be typed over.
    const HWND focus = ::GetFocus();
    EXPECT_EQ(::GetParent(focus), Item(IDC_FIND_TO));
    EXPECT_EQ(::SendMessageW(focus, EM_GETSEL, 0, 0), MAKELONG(0, 3)); // "192"
}

} // namespace
