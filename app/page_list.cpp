// The list of units.
#include "app/page_list.h"

#include <algorithm>
#include <utility>

#include "app/adapter_dialog.h"
#include "app/file_choice.h"
#include "app/page_ip.h"
#include "app/wording.h"
#include "core/list_run.h"
#include "core/log.h"
#include "core/macbuilder.h"
#include "core/serial.h"
#include "res/resource_ids.h"
#include "win32/data_files.h"
#include "win32/settings.h"

namespace {

enum Column { kSerial, kMac, kAddress, kNetmask, kGateway, kStatus, kTime };

constexpr wchar_t kCsvFilter[] = L"CSV files (*.csv)\0*.csv\0Text files (*.txt)\0*.txt\0All "
                                 L"files\0*.*\0";

std::wstring StatusOf(const ListedUnit& unit) {
    switch (unit.state) {
    case UnitState::Waiting:
        return L"";
    case UnitState::Running:
        return L"running";
    case UnitState::Succeeded:
    case UnitState::Failed:
        break;
    }
    return UnitStatusText(unit.state == UnitState::Succeeded, unit.reason);
}

} // namespace

UINT PageList::GetTemplateID() const {
    return IDD_PAGE_LIST;
}

BOOL PageList::OnInitDialog() {
    Page::OnInitDialog();
    list_.Attach(Item(IDC_UNIT_LIST));
    list_.FullRowSelect();
    static constexpr struct {
        const wchar_t* title;
        int width;
    } kColumns[] = {{L"Serial", 45},  {L"MAC", 100},    {L"New IP", 82}, {L"Netmask", 85},
                    {L"Gateway", 75}, {L"Status", 155}, {L"Time", 55}};
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        list_.AddColumn(i, kColumns[i].title, kColumns[i].width);
    }
    if (const std::optional<std::string> kept = system_.ReadDataFile(kListFile)) {
        units_ = ReadListFile(*kept);
    }
    ShowUnits();
    EnableControls(true);
    return TRUE;
}

bool PageList::OnCommand(int id, int code) {
    if (code != BN_CLICKED) {
        return Page::OnCommand(id, code);
    }
    switch (id) {
    case IDC_LIST_IMPORT:
        AskImport();
        return true;
    case IDC_LIST_FILL:
        AskFill();
        return true;
    case IDC_LIST_APPLY_ALL:
        ApplyAll();
        return true;
    case IDC_LIST_APPLY_AGAIN:
        ApplyAgain();
        return true;
    case IDC_LIST_STOP:
        StopAfterUnit();
        return true;
    case IDC_LIST_EXPORT:
        AskExport();
        return true;
    default:
        return Page::OnCommand(id, code);
    }
}

LRESULT PageList::OnNotify(const NMHDR& header) {
    if (header.idFrom == IDC_UNIT_LIST && header.code == NM_DBLCLK && !Working()) {
        const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
        if (activate.iItem >= 0 && static_cast<std::size_t>(activate.iItem) < units_.size()) {
            ApplyOne(static_cast<std::size_t>(activate.iItem));
        }
    }
    return 0;
}

INT_PTR PageList::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message == kUnitEventMessage) {
        handled = true;
        TakeUnitEvents();
        return 0;
    }
    return Page::OnMessage(message, wParam, lParam, handled);
}

void PageList::AskImport() {
    const std::optional<std::wstring> path =
        AskFileToOpen(hwnd(), {L"Import units", kCsvFilter, L"csv", L""});
    if (path) {
        ImportFile(*path);
    }
}

bool PageList::ImportFile(const std::wstring& path) {
    const std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        notices_.Warn(L"The file " + path + L" cannot be read.");
        return false;
    }
    const ListReading reading = ReadUnitList(*bytes, system_.OwnAddresses());
    if (reading.problem) {
        notices_.Beep();
        notices_.Warn(path + L"\n" + ListProblemText(*reading.problem) +
                      L"\nNothing was imported.");
        return false;
    }
    Take(reading.rows);
    return true;
}

void PageList::AskFill() {
    // Proposed: the address page's last values, ten units.
    const KeptUnitValues kept = KeptAddressPageValues();
    const FillRequest proposal{std::max(kept.serial, kLowestSerial), kept.ip, 10, kept.netmask,
                               kept.gateway};
    if (const std::optional<FillRequest> request = FillDialog(proposal).Ask(GetAppMainWindow())) {
        Fill(*request);
    }
}

bool PageList::Fill(const FillRequest& request) {
    const ListReading reading = FillUnits(request.firstSerial, request.firstAddress, request.count,
                                          request.netmask, request.gateway, system_.OwnAddresses());
    if (reading.problem) {
        ListProblem problem = *reading.problem;
        notices_.Beep();
        notices_.Warn((problem.line ? L"Unit " + std::to_wstring(problem.line) + L": " : L"") +
                      ListProblemText({0, problem.fault, problem.text}));
        return false;
    }
    Take(reading.rows);
    return true;
}

void PageList::Take(const std::vector<UnitRow>& rows) {
    // A new list replaces the old one; what was done with it stays in the record.
    units_.clear();
    for (const UnitRow& row : rows) {
        units_.push_back({row, UnitState::Waiting, L"", L""});
    }
    ShowUnits();
    Keep();
    if (const std::vector<SharedMac> shared = SharedMacs(rows); !shared.empty()) {
        std::wstring pairs;
        for (std::size_t i = 0; i < shared.size() && i < 3; ++i) {
            pairs += (i ? L", " : L"") + std::to_wstring(rows[shared[i].unit].serial) + L" with " +
                     std::to_wstring(rows[shared[i].earlier].serial);
        }
        notices_.Message(L"Some units of the list share their MAC address (serial " + pairs +
                         (shared.size() > 3 ? L", ..." : L"") +
                         L"). Whichever of them is switched on takes what is sent to that MAC: "
                         L"switch on one unit of each such group at a time. \"Apply all\" "
                         L"addresses one of them per run.");
    }
}

void PageList::ShowUnits() {
    list_.Clear();
    for (std::size_t i = 0; i < units_.size(); ++i) {
        list_.AddRow(std::to_wstring(units_[i].row.serial));
        ShowUnit(i);
    }
}

void PageList::ShowUnit(std::size_t index) {
    const ListedUnit& unit = units_[index];
    const int row = static_cast<int>(index);
    list_.SetCell(row, kMac, MACbuilder().Build(unit.row.serial));
    list_.SetCell(row, kAddress, unit.row.address.ToText());
    list_.SetCell(row, kNetmask, unit.row.netmask.ToText());
    list_.SetCell(row, kGateway, unit.row.gateway.ToText());
    list_.SetCell(row, kStatus, StatusOf(unit));
    list_.SetCell(row, kTime, unit.time);
}

void PageList::Keep() {
    if (!system_.ReplaceDataFile(kListFile, ListFileText(units_))) {
        WriteLogLine(L"the list of units could not be kept in " + system_.DataFilePath(kListFile));
    }
}

void PageList::ApplyAll() {
    std::vector<std::size_t> indices;
    for (std::size_t i = 0; i < units_.size(); ++i) {
        if (units_[i].state != UnitState::Succeeded) {
            indices.push_back(i);
        }
    }
    if (indices.empty()) {
        notices_.Message(units_.empty() ? L"The list is empty: import or fill it first."
                                        : L"Every unit of the list has taken its address.");
        return;
    }
    Run(indices);
}

void PageList::ApplyAgain() {
    std::vector<std::size_t> indices;
    for (std::size_t i = 0; i < units_.size(); ++i) {
        if (units_[i].state == UnitState::Failed) {
            indices.push_back(i);
        }
    }
    if (indices.empty()) {
        notices_.Message(L"No unit of the list has failed.");
        return;
    }
    Run(indices);
}

void PageList::ApplyOne(std::size_t index) {
    if (index < units_.size()) {
        Run({index});
    }
}

void PageList::StopAfterUnit() {
    stopAfterUnit_ = true;
    ::EnableWindow(Item(IDC_LIST_STOP), FALSE);
}

void PageList::Run(const std::vector<std::size_t>& indices) {
    if (Working()) {
        return;
    }
    // Checked again: the kept list is a file anyone may edit, and the PC's own addresses
    // may have changed since the import.
    const std::vector<IPv4Address> own = system_.OwnAddresses();
    std::vector<IPv4Address> addresses;
    for (std::size_t index : indices) {
        const UnitRow& row = units_[index].row;
        if (const AddressFault fault = CheckAddresses(row.address, row.netmask, row.gateway, own);
            fault != AddressFault::None) {
            notices_.Beep();
            notices_.Warn(L"Unit " + std::to_wstring(row.serial) + L": " + AddressFaultText(fault));
            return;
        }
        addresses.push_back(row.address);
    }
    const std::vector<Adapter> adapters = system_.Adapters();
    const std::optional<std::vector<UnitPath>> paths = PathsTo(
        adapters, addresses, [&adapters] { return AskAdapter(adapters, GetAppMainWindow()); });
    if (!paths) {
        return; // the adapter question was cancelled: nothing runs
    }
    std::vector<ListJob> jobs;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const UnitRow& row = units_[indices[i]].row;
        jobs.push_back({indices[i],
                        {row.serial, MACbuilder().Build(row.serial), row.address, row.netmask,
                         row.gateway, (*paths)[i]}});
    }
    finished_ = 0;
    succeeded_ = 0;
    deferred_ = 0;
    stopAfterUnit_ = false;
    EnableControls(false);
    const HWND page = hwnd();
    const auto post = [this, page](UnitEvent event) {
        {
            const std::lock_guard<std::mutex> lock(eventsMutex_);
            events_.push_back(std::move(event));
        }
        ::PostMessageW(page, kUnitEventMessage, 0, 0);
    };
    StartWork([this, jobs, post](std::stop_token stop) {
        ListEvents events;
        events.started = [post](std::size_t index) { post({index, std::nullopt, std::nullopt}); };
        events.deferred = [post](std::size_t index, std::size_t with) {
            post({index, std::nullopt, with});
        };
        events.finished = [this, post](std::size_t index, const Done& done) {
            NoteRecordFailure(done.recordFailure);
            post({index, done, std::nullopt});
        };
        events.stopAfterUnit = [this] { return stopAfterUnit_.load(); };
        RunList(system_, jobs, events, stop);
        return Outcome{};
    });
}

void PageList::TakeUnitEvents() {
    std::vector<UnitEvent> events;
    {
        const std::lock_guard<std::mutex> lock(eventsMutex_);
        events.swap(events_);
    }
    for (const UnitEvent& event : events) {
        ListedUnit& unit = units_[event.index];
        if (event.sharedWith) {
            ++deferred_;
            list_.SetCell(static_cast<int>(event.index), kStatus,
                          L"waits: shares its MAC with " +
                              std::to_wstring(units_[*event.sharedWith].row.serial));
            continue;
        }
        if (!event.done) {
            unit.state = UnitState::Running;
            list_.EnsureVisible(static_cast<int>(event.index));
        } else {
            const bool took = event.done->outcome.Succeeded();
            unit.state = took ? UnitState::Succeeded : UnitState::Failed;
            unit.reason = took ? L"" : OutcomeReason(event.done->outcome);
            unit.time = ClockText(system_.Now());
            ++finished_;
            succeeded_ += took ? 1 : 0;
        }
        ShowUnit(event.index);
    }
    Keep();
}

void PageList::OnWorkDone(const Outcome&) {
    TakeUnitEvents(); // any the work posted last
    EnableControls(true);
    if (!Stopping()) {
        std::wstring summary = std::to_wstring(succeeded_) + L" of " + std::to_wstring(finished_) +
                               L" units took their address";
        if (deferred_ > 0) {
            summary += deferred_ == 1
                           ? L"\n1 more unit shares its MAC with one of them and waits for a "
                             L"run of its own"
                           : L"\n" + std::to_wstring(deferred_) +
                                 L" more units share their MAC with one of them and wait for "
                                 L"runs of their own";
            summary += L": switch them on one at a time and click \"Apply all\" again.";
        }
        notices_.Message(summary);
    }
}

void PageList::EnableControls(bool enable) {
    SetBusy(!enable, true); // the window as a whole, this page apart: "Stop" stays
    // The list itself stays enabled, to be scrolled through while it runs.
    for (int id : {IDC_LIST_IMPORT, IDC_LIST_FILL, IDC_LIST_APPLY_ALL, IDC_LIST_APPLY_AGAIN,
                   IDC_LIST_EXPORT}) {
        ::EnableWindow(Item(id), enable ? TRUE : FALSE);
    }
    ::EnableWindow(Item(IDC_LIST_STOP), enable ? FALSE : TRUE);
}

void PageList::AskExport() {
    const std::wstring proposed = L"Commissioning record " + DateText(system_.Now()) + L".csv";
    if (const std::optional<std::wstring> path =
            AskFileToSave(hwnd(), {L"Export record", kCsvFilter, L"csv", proposed})) {
        ExportRecord(*path);
    }
}

void PageList::ExportRecord(const std::wstring& path) {
    const std::wstring record = system_.DataFilePath(kRecordFile);
    if (::GetFileAttributesW(record.c_str()) == INVALID_FILE_ATTRIBUTES) {
        notices_.Message(L"Nothing has been recorded yet.");
        return;
    }
    if (!::CopyFileW(record.c_str(), path.c_str(), FALSE)) {
        notices_.Message(L"The record could not be copied to " + path + L": " +
                         SystemErrorText(::GetLastError()) + L".");
    }
}
