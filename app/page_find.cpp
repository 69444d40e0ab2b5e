// The search for units on the network.
#include "app/page_find.h"

#include <algorithm>
#include <memory>

#include "app/file_choice.h"
#include "core/kept_values.h"
#include "core/record.h"
#include "res/resource_ids.h"

namespace {

enum Column { kSerials, kMac, kAddress, kAdapter, kSeen };

constexpr wchar_t kCsvFilter[] = L"CSV files (*.csv)\0*.csv\0All files\0*.*\0";

bool SameAdapters(const std::vector<Adapter>& a, const std::vector<Adapter>& b) {
    return std::equal(
        a.begin(), a.end(), b.begin(), b.end(), [](const Adapter& x, const Adapter& y) {
            return x.id == y.id && x.addresses.size() == y.addresses.size() &&
                   std::equal(x.addresses.begin(), x.addresses.end(), y.addresses.begin(),
                              [](const AdapterAddress& p, const AdapterAddress& q) {
                                  return p.address == q.address && p.netmask == q.netmask;
                              });
        });
}

} // namespace

PageFind::PageFind(Services& services, Notices& notices)
    : RowsPage(IDD_PAGE_FIND, services, notices) {
    OnControl(IDC_FIND_START, [this] { Find(); });
    OnControl(IDC_FIND_SHOW, [this] {
        if (const std::optional<std::size_t> row = SelectedRow()) {
            ShowUnit(*row);
        } else {
            notices_.Message(L"Choose a unit of the list first.");
        }
    });
    OnControl(IDC_FIND_EXPORT, [this] { AskExport(); });
    OnControl(
        IDC_FIND_ADAPTER,
        [this] {
            const LRESULT chosen = ::SendMessageW(adapterChoice_, CB_GETCURSEL, 0, 0);
            if (chosen != CB_ERR) {
                ChooseAdapter(static_cast<std::size_t>(chosen));
            }
        },
        CBN_SELCHANGE);
}

BOOL PageFind::OnInitDialog() {
    Page::OnInitDialog();
    adapterChoice_ = Item(IDC_FIND_ADAPTER);
    from_.Attach(Item(IDC_FIND_FROM));
    to_.Attach(Item(IDC_FIND_TO));
    list_.Attach(Item(IDC_FIND_LIST));
    progress_.Attach(Item(IDC_FIND_PROGRESS));
    list_.FullRowSelect();
    list_.AddColumns({{L"Serials", 150},
                      {L"MAC", 100, kWidestMac},
                      {L"Address", 82, kWidestAddress},
                      {L"Adapter", 120},
                      {L"Seen", 55, L"00:00:00"}});
    detail_.Attach(hwnd(), list_, Item(IDC_FIND_DETAIL), [this](int row) { return RowWords(row); });
    RefreshAdapters();
    return TRUE;
}

void PageFind::RefreshAdapters() {
    std::vector<Adapter> adapters = services_.tables.Adapters();
    // The adapter a unit was last addressed through comes first.
    if (const std::optional<Adapter> first = AdapterToSearch(adapters, services_.settings)) {
        std::stable_partition(adapters.begin(), adapters.end(),
                              [&first](const Adapter& a) { return a.id == first->id; });
    }
    if (!adapters_.empty() && SameAdapters(adapters, adapters_)) {
        return; // the choice and a range typed stay
    }
    adapters_ = std::move(adapters);
    ::SendMessageW(adapterChoice_, CB_RESETCONTENT, 0, 0);
    for (const Adapter& adapter : adapters_) {
        ::SendMessageW(adapterChoice_, CB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(AdapterLabel(adapter).c_str()));
    }
    ::SendMessageW(adapterChoice_, CB_SETCURSEL, 0, 0);
    ChooseAdapter(0);
}

void PageFind::ChooseAdapter(std::size_t index) {
    if (index >= adapters_.size()) {
        from_.SetAddress({});
        to_.SetAddress({});
        ShowCounts();
        return;
    }
    ::SendMessageW(adapterChoice_, CB_SETCURSEL, index, 0);
    const AddressRange range = SubnetRange(adapters_[index].addresses.front());
    from_.SetAddress(range.first);
    to_.SetAddress(range.last);
}

std::optional<std::size_t> PageFind::SelectedRow() const {
    const auto row =
        ::SendMessageW(list_.hwnd(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (row < 0 || static_cast<std::size_t>(row) >= units_.size()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(row);
}

LRESULT PageFind::OnNotify(const NMHDR& header) {
    detail_.OnNotify(header);
    if (header.idFrom == IDC_FIND_LIST && header.code == NM_DBLCLK) {
        const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
        if (activate.iItem >= 0 && static_cast<std::size_t>(activate.iItem) < units_.size()) {
            ShowUnit(static_cast<std::size_t>(activate.iItem));
        }
    }
    return 0;
}

void PageFind::ShowUnit(std::size_t index) {
    if (index < units_.size()) {
        OpenUnitPage(units_[index].address);
    }
}

bool PageFind::Find() {
    if (Working()) {
        return false;
    }
    const LRESULT chosen = ::SendMessageW(adapterChoice_, CB_GETCURSEL, 0, 0);
    if (chosen == CB_ERR || static_cast<std::size_t>(chosen) >= adapters_.size()) {
        notices_.Message(L"No adapter is up: connect the PC to the units' network first.");
        return false;
    }
    const Adapter& adapter = adapters_[static_cast<std::size_t>(chosen)];
    const SweepPlanning planning =
        PlanSweep(adapter, AddressRange{from_.GetAddress(), to_.GetAddress()},
                  services_.tables.OwnAddresses());
    if (!planning.plan) {
        notices_.Beep();
        notices_.Warn(SweepFaultText(planning.fault));
        (planning.atFault == RangeEnd::First ? from_ : to_).SelectFirstField();
        return false;
    }
    units_.clear();
    list_.Clear();
    detail_.Refresh();
    adapterLabel_ = AdapterLabel(adapter);
    searched_ = planning.plan->range;
    searching_ = true;
    startMs_ = services_.clock.Milliseconds();
    progress_.SetRange(0, 1);
    progress_.SetPos(0);
    ShowCounts();
    SetBusy(Busy::Whole);
    StartWork(
        [this, plan = *planning.plan](std::stop_token stop) {
            SweepEvents events;
            events.found = [this](const FoundUnit& unit) { Post([this, unit] { OnFound(unit); }); };
            events.progress = [this](std::size_t done, std::size_t of) {
                Post([this, done, of] {
                    progress_.SetRange(0, static_cast<int>(of));
                    progress_.SetPos(static_cast<int>(done));
                });
            };
            FindUnits({services_.neighbourhood, services_.clock}, plan, events, stop);
        },
        [this] { OnSearchDone(); });
    return true;
}

void PageFind::OnFound(const FoundUnit& unit) {
    // Rows stay in address order as units come in.
    const auto at = std::upper_bound(units_.begin(), units_.end(), unit,
                                     [](const FoundUnit& a, const FoundUnit& b) {
                                         return ValueOf(a.address) < ValueOf(b.address);
                                     });
    const int row = static_cast<int>(at - units_.begin());
    units_.insert(at, unit);
    list_.InsertRow(row, unit.serials);
    list_.SetCell(row, kMac, unit.mac);
    list_.SetCell(row, kAddress, unit.address.ToText());
    list_.SetCell(row, kAdapter, adapterLabel_);
    list_.SetCell(row, kSeen, ClockText(unit.seen));
    detail_.Refresh(); // the rows below moved down
    ShowCounts();
}

std::wstring PageFind::RowWords(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= units_.size()) {
        return L"";
    }
    const FoundUnit& unit = units_[static_cast<std::size_t>(row)];
    return unit.address.ToText() + L" (" + unit.mac + L"): serials " + unit.serials +
           L", through " + adapterLabel_ + L", seen " + ClockText(unit.seen);
}

void PageFind::OnSearchDone() {
    searching_ = false;
    tookMs_ = services_.clock.Milliseconds() - startMs_;
    ShowCounts();
    SetBusy(Busy::No);
    if (!WorkFailure().empty() && !Stopping()) {
        notices_.Message(InternalErrorText(WorkFailure()));
    }
}

void PageFind::ShowCounts() {
    std::wstring text;
    if (searching_ || tookMs_ > 0 || !units_.empty()) {
        const std::wstring range = searched_.first.ToText() + L" to " + searched_.last.ToText();
        const std::wstring found =
            units_.size() == 1 ? L"1 unit found" : std::to_wstring(units_.size()) + L" units found";
        text = searching_ ? L"Searching " + range + L": " + found
                          : found + L" on " + range + L" in " + std::to_wstring(tookMs_ / 1000) +
                                L"." + std::to_wstring(tookMs_ / 100 % 10) + L" s";
    }
    ::SetDlgItemTextW(hwnd(), IDC_FIND_COUNTS, text.c_str());
}

void PageFind::AskExport() {
    if (units_.empty()) {
        notices_.Message(L"No unit has been found yet.");
        return;
    }
    const std::wstring proposed = L"Units found " + DateText(services_.clock.Now()) + L".csv";
    if (const std::optional<std::wstring> path =
            AskFileToSave(hwnd(), {L"Export units found", kCsvFilter, L"csv", proposed})) {
        ExportTo(*path);
    }
}

void PageFind::ExportTo(const std::wstring& path) {
    if (const FileError saved =
            services_.userFiles.SaveFile(path, FoundUnitsCsv(units_, adapterLabel_))) {
        notices_.Message(L"The list could not be saved to " + path + L": " +
                         services_.userFiles.Words(saved) + L".");
    }
}
