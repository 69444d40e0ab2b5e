// The list of units.
#include "app/page_list.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "app/adapter_dialog.h"
#include "app/file_choice.h"
#include "app/image_paths.h"
#include "app/wording.h"
#include "core/kept_values.h"
#include "core/mac_rule.h"
#include "core/serial.h"
#include "res/resource_ids.h"

namespace {

// The run's elapsed time and counts, shown twice a second.
constexpr UINT_PTR kElapsedTimer = 2;

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

PageList::PageList(Services& services, Notices& notices)
    : RowsPage(IDD_PAGE_LIST, services, notices) {
    OnControl(IDC_LIST_IMPORT, [this] { AskImport(); });
    OnControl(IDC_LIST_FILL, [this] { AskFill(); });
    OnControl(IDC_LIST_APPLY_ALL, [this] { ApplyAll(); });
    OnControl(IDC_LIST_APPLY_AGAIN, [this] { ApplyAgain(); });
    OnControl(IDC_LIST_STOP, [this] { StopRun(); });
    OnControl(IDC_LIST_EXPORT, [this] { AskExport(); });
    OnControl(IDC_LIST_UPDATE_ALL, [this] { UpdateAll(); });
    OnControl(IDC_LIST_FIRMWARE_BROWSE, [this] { BrowseImage(ImageKind::Firmware); });
    OnControl(IDC_LIST_WEB_BROWSE, [this] { BrowseImage(ImageKind::WebPages); });
}

BOOL PageList::OnInitDialog() {
    Page::OnInitDialog();
    list_.Attach(Item(IDC_UNIT_LIST));
    progress_.Attach(Item(IDC_LIST_PROGRESS));
    firmwarePath_.Attach(Item(IDC_LIST_FIRMWARE));
    webPagesPath_.Attach(Item(IDC_LIST_WEB));
    firmwarePath_.SetText(KeptImagePath(services_.settings, ImageKind::Firmware));
    webPagesPath_.SetText(KeptImagePath(services_.settings, ImageKind::WebPages));
    list_.FullRowSelect();
    list_.AddColumns({{L"Serial", 45, L"99999"},
                      {L"New IP", 82, kWidestAddress},
                      {L"Status", 155},
                      {L"Time", 55, L"00:00:00"},
                      {L"Netmask", 85, kWidestAddress},
                      {L"Gateway", 75, kWidestAddress},
                      {L"MAC", 100, kWidestMac}});
    detail_.Attach(hwnd(), list_, Item(IDC_LIST_DETAIL), [this](int row) { return RowWords(row); });
    LoadKept();
    ShowUnits();
    EnableControls(true);
    return TRUE;
}

LRESULT PageList::OnNotify(const NMHDR& header) {
    detail_.OnNotify(header);
    if (header.idFrom == IDC_UNIT_LIST && header.code == NM_DBLCLK && !Working()) {
        const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
        if (activate.iItem >= 0 && static_cast<std::size_t>(activate.iItem) < units_.size()) {
            ApplyOne(static_cast<std::size_t>(activate.iItem));
        }
    }
    return 0;
}

void PageList::AskImport() {
    const std::optional<std::wstring> path =
        AskFileToOpen(hwnd(), {L"Import units", kCsvFilter, L"csv", L""});
    if (path) {
        ImportFile(*path);
    }
}

bool PageList::ImportFile(const std::wstring& path) {
    FileError error;
    const std::optional<std::string> bytes = services_.userFiles.ReadFile(path, error);
    if (!bytes) {
        notices_.Warn(L"The file " + path + L" cannot be read.");
        return false;
    }
    const ListReading reading = ReadUnitList(*bytes, services_.tables.OwnAddresses());
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
    FillDialog dialog(ProposedFill(services_.settings),
                      [this](const FillRequest& request) { return RefusedFill(request); });
    if (const std::optional<FillRequest> request = dialog.Ask(Owner())) {
        Fill(*request);
    }
}

std::optional<FillField> PageList::RefusedFill(const FillRequest& request) {
    const ListReading reading = FillUnits(request, services_.tables.OwnAddresses());
    if (!reading.problem) {
        return std::nullopt;
    }
    TellFillProblem(request, *reading.problem);
    return FillFieldOf(*reading.problem);
}

void PageList::TellFillProblem(const FillRequest& request, const ListProblem& problem) {
    notices_.Beep();
    notices_.Warn(FillProblemText(request, problem));
}

bool PageList::Fill(const FillRequest& request) {
    const ListReading reading = FillUnits(request, services_.tables.OwnAddresses());
    if (reading.problem) {
        TellFillProblem(request, *reading.problem);
        return false;
    }
    KeepFill(services_.settings, request);
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
    TellSharedMacs(rows);
}

void PageList::TellSharedMacs(const std::vector<UnitRow>& rows) {
    const std::vector<SharedMac> shared = SharedMacs(rows);
    if (shared.empty()) {
        return;
    }
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

void PageList::ShowUnits() {
    list_.Clear();
    for (std::size_t i = 0; i < units_.size(); ++i) {
        list_.AddRow(std::to_wstring(units_[i].row.serial));
        ShowUnit(i);
    }
    detail_.Refresh();
}

void PageList::ShowUnit(std::size_t index) {
    const ListedUnit& unit = units_[index];
    const int row = static_cast<int>(index);
    list_.SetCell(row, kMac, MacOfSerial(unit.row.serial).value_or(L""));
    list_.SetCell(row, kAddress, unit.row.address.ToText());
    list_.SetCell(row, kNetmask, unit.row.netmask.ToText());
    list_.SetCell(row, kGateway, unit.row.gateway.ToText());
    list_.SetCell(row, kStatus, StatusOf(unit));
    list_.SetCell(row, kTime, unit.time);
}

void PageList::ShowStatus(std::size_t index, const std::wstring& status) {
    list_.SetCell(static_cast<int>(index), kStatus, status);
    detail_.Refresh();
}

std::wstring PageList::RowWords(int row) const {
    // The row's own cells: the status says what the row says, a wait included.
    const std::wstring status = list_.Cell(row, kStatus);
    if (status.empty()) {
        return L"";
    }
    const std::wstring time = list_.Cell(row, kTime);
    return L"Unit " + list_.Cell(row, kSerial) + L" (" + list_.Cell(row, kAddress) + L")" +
           (time.empty() ? L"" : L", " + time) + L": " + status;
}

void PageList::LoadKept() {
    FileError error;
    const bool waited = services_.ownFiles.Read(kPendingListFile, error).has_value();
    if (const std::optional<std::string> kept = KeptListText(services_.ownFiles)) {
        units_ = ReadListFile(*kept);
        if (waited) {
            Keep(); // the state that waited takes the list's place, or waits on
        }
    }
}

void PageList::Keep() {
    keeper_.Flush(); // no older state may land after this one
    const std::optional<std::wstring> failure = KeepList(services_.ownFiles, ListFileText(units_));
    if (!failure) {
        return;
    }
    services_.log.Write(*failure);
    if (!std::exchange(keepFailureTold_, true) && !Stopping()) {
        notices_.Message(*failure);
    }
}

void PageList::KeepSoon() {
    keeper_.KeepSoon(ListFileText(units_));
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

void PageList::StopRun() {
    StopOwnWork(); // every unit in flight skips its remaining echoes, cleans up
    ::EnableWindow(Item(IDC_LIST_STOP), FALSE);
}

std::optional<UnitPlan> PageList::Plan(const std::vector<std::size_t>& indices, MacSharing shared) {
    std::vector<UnitRow> rows;
    for (const ListedUnit& unit : units_) {
        rows.push_back(unit.row);
    }
    const std::vector<Adapter> adapters = services_.tables.Adapters();
    const UnitPlan plan = PlanUnits(
        rows, indices, services_.tables.OwnAddresses(), adapters,
        [&] { return AskAdapter(adapters, Owner(), services_.settings); }, shared);
    if (plan.problem) {
        const ListProblem& problem = *plan.problem;
        notices_.Beep();
        notices_.Warn(L"Unit " + std::to_wstring(rows[problem.line - 1].serial) + L": " +
                      ListProblemText({0, problem.fault, problem.text}));
    }
    // A cancelled adapter question needs no word: nothing runs.
    return plan.Runs() ? std::optional<UnitPlan>(plan) : std::nullopt;
}

void PageList::Run(const std::vector<std::size_t>& indices) {
    if (Working()) {
        return;
    }
    // With "then update" ticked, a unit goes on to its images as soon as it took its address:
    // images that cannot be had are said before anything is asked or runs.
    std::optional<ImageChoice> images;
    if (::IsDlgButtonChecked(hwnd(), IDC_LIST_THEN_UPDATE) == BST_CHECKED) {
        images = ChosenImages();
        if (!images) {
            return;
        }
    }
    const std::optional<UnitPlan> plan = Plan(indices);
    if (!plan) {
        return;
    }
    if (!plan->jobs.empty()) {
        RememberUsedAdapter(services_.settings, plan->jobs.front().unit.path);
    }
    StartProgress(plan->jobs.size(), L"took their address");
    if (images) {
        images_.emplace(0, ImagesTaken(!images->firmware.empty(), !images->webPages.empty()));
    }
    EnableControls(false);
    StartWork(
        // "Stop" and closing the window stop the run alike.
        [this, jobs = plan->jobs, images](std::stop_token stop) {
            AddressAndUpdate(jobs, images, stop);
        },
        [this, deferred = plan->deferred] { OnRunDone(deferred); });
}

void PageList::AddressAndUpdate(const std::vector<ListJob>& jobs,
                                const std::optional<ImageChoice>& images, std::stop_token stop) {
    AssignmentRoles roles = services_.Assignment();
    roles.waitingForTables = [this, jobs] {
        Post([this, jobs] {
            report_.Waiting();
            ShowProgress();
            for (const ListJob& job : jobs) {
                if (units_[job.index].state != UnitState::Running) {
                    ShowStatus(job.index, L"waits for another Varnok");
                }
            }
        });
    };
    ImageQueue taken; // the units that took their address, for their images
    std::jthread imageRun;
    if (images) {
        imageRun = std::jthread([this, &taken, images, stop] {
            RunImages({services_.Upload(), services_.userFiles, services_.record}, *images, taken,
                      ImageEventsOfPage(), stop);
        });
    }
    ListEvents events;
    events.started = [this](std::size_t index) { Post([this, index] { OnUnitStarted(index); }); };
    events.finished = [&](std::size_t index, const Done& done) {
        NoteRecordFailure(done.recordFailure);
        Post([this, index, done] { OnUnitFinished(index, done); });
        const auto job = std::find_if(jobs.begin(), jobs.end(),
                                      [index](const ListJob& j) { return j.index == index; });
        if (images && done.outcome.Succeeded() && job != jobs.end()) {
            taken.Push(*job);
        }
    };
    RunList(roles, services_.record, jobs, events, stop);
    taken.Close(); // the image run ends once every unit handed over has its images
}

void PageList::StartProgress(std::size_t units, const std::wstring& took) {
    report_ = RunReport(units, took);
    images_.reset();
    runStartMs_ = services_.clock.Milliseconds();
    progress_.SetRange(0, static_cast<int>(units));
    progress_.SetPos(0);
    ::SetTimer(hwnd(), kElapsedTimer, 500, nullptr);
    ShowProgress();
}

void PageList::ShowProgress() {
    progress_.SetPos(static_cast<int>(report_.Finished()));
    ::SetDlgItemTextW(hwnd(), IDC_LIST_COUNTS,
                      report_.Counts(services_.clock.Milliseconds() - runStartMs_).c_str());
}

void PageList::OnTimer(UINT_PTR id) {
    if (id == kElapsedTimer) {
        ShowProgress();
    }
}

// A cabinet's units start and finish together: each event changes only its row's cells
// that change, and the counts follow with the timer.
void PageList::OnUnitStarted(std::size_t index) {
    report_.Started();
    units_[index].state = UnitState::Running;
    ShowStatus(index, StatusOf(units_[index]));
    KeepSoon();
}

void PageList::OnUnitFinished(std::size_t index, const Done& done) {
    ListedUnit& unit = units_[index];
    const bool took = done.outcome.Succeeded();
    unit.state = took ? UnitState::Succeeded : UnitState::Failed;
    unit.reason = took ? L"" : OutcomeReason(done.outcome);
    unit.time = ClockText(services_.clock.Now());
    report_.Finished(took);
    list_.SetCell(static_cast<int>(index), kTime, unit.time);
    ShowStatus(index, StatusOf(unit));
    KeepSoon();
}

void PageList::OnRunDone(const std::vector<DeferredUnit>& deferred) {
    ::KillTimer(hwnd(), kElapsedTimer);
    ShowProgress();
    for (const DeferredUnit& unit : deferred) {
        ShowStatus(unit.index,
                   L"waits: shares its MAC with " + std::to_wstring(units_[unit.with].row.serial));
    }
    Keep();
    EnableControls(true);
    if (!Stopping()) {
        notices_.Message(WorkFailure().empty() ? Summary(deferred.size())
                                               : InternalErrorText(WorkFailure()));
    }
}

std::wstring PageList::Summary(std::size_t deferred) const {
    std::wstring summary = report_.Summary();
    if (deferred > 0) {
        summary += deferred == 1 ? L"\n1 more unit shares its MAC with one of them and waits for "
                                   L"a run of its own"
                                 : L"\n" + std::to_wstring(deferred) +
                                       L" more units share their MAC with one of them and wait "
                                       L"for runs of their own";
        summary += L": switch them on one at a time and click \"Apply all\" again.";
    }
    return images_ ? summary + L"\n" + images_->Summary() : summary;
}

void PageList::EnableControls(bool enable) {
    SetBusy(enable ? Busy::No : Busy::AllButPage); // the window as a whole, this page apart
    // The list itself stays enabled, to be scrolled through while it runs.
    for (int id :
         {IDC_LIST_IMPORT, IDC_LIST_FILL, IDC_LIST_APPLY_ALL, IDC_LIST_APPLY_AGAIN, IDC_LIST_EXPORT,
          IDC_LIST_UPDATE_ALL, IDC_LIST_FIRMWARE, IDC_LIST_FIRMWARE_BROWSE, IDC_LIST_WEB,
          IDC_LIST_WEB_BROWSE, IDC_LIST_THEN_UPDATE}) {
        ::EnableWindow(Item(id), enable ? TRUE : FALSE);
    }
    ::EnableWindow(Item(IDC_LIST_STOP), enable ? FALSE : TRUE);
}

void PageList::AskExport() {
    const std::wstring proposed =
        L"Commissioning record " + DateText(services_.clock.Now()) + L".csv";
    if (const std::optional<std::wstring> path =
            AskFileToSave(hwnd(), {L"Export record", kCsvFilter, L"csv", proposed})) {
        ExportRecord(*path);
    }
}

void PageList::ExportRecord(const std::wstring& path) {
    // Every line, those that wait beside the record included: the customer's copy is whole.
    FileError error;
    const std::optional<std::string> record = services_.record.Whole(error);
    if (error) {
        notices_.Message(L"The record could not be copied to " + path +
                         L": the record cannot be read (" + services_.ownFiles.Words(error) +
                         L").");
        return;
    }
    if (!record) {
        notices_.Message(L"Nothing has been recorded yet.");
        return;
    }
    if (const FileError saved = services_.userFiles.SaveFile(path, *record); saved) {
        notices_.Message(L"The record could not be copied to " + path + L": " +
                         services_.userFiles.Words(saved) + L".");
    }
}
