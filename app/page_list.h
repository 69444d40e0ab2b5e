// The list of units: a cabinet's units commissioned one after the other while the
// technician switches them on. Rows come from a spreadsheet's CSV file ("Import…") or by
// counting up ("Fill…"); "Apply all" addresses every unit not yet done, "Apply again" the
// ones that failed, a double-click one unit. Each row shows its state as it goes, and one
// box sums the run up; a row's whole status (a reason the column cuts) is its tooltip,
// and the selected row's is in a line below the list. The list and its states are kept
// in the user's application-data folder after every change, so neither closing the
// program nor a crash loses them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "app/fill_dialog.h"
#include "app/rows_page.h"
#include "core/commissioning.h"
#include "core/image_run.h"
#include "core/list_keeper.h"
#include "core/list_run.h"
#include "core/run_report.h"
#include "core/unit_list.h"
#include "win32/controls.h"

class PageList : public RowsPage {
public:
    PageList(Services& services, Notices& notices);

    const std::vector<ListedUnit>& Units() const { return units_; }

    // What the buttons do, callable as such by tests.
    bool ImportFile(const std::wstring& path); // false when the file was refused (and told)
    bool Fill(const FillRequest& request);
    void ApplyAll();   // every unit not yet done
    void ApplyAgain(); // the units that failed
    void ApplyOne(std::size_t index);
    // "Update all": the firmware, then the web pages, to every unit of the list.
    void UpdateAll();
    // "Stop": every unit in flight skips its remaining echoes and cleans up; no further
    // unit starts.
    void StopRun();
    void ExportRecord(const std::wstring& path);

protected:
    BOOL OnInitDialog() override;
    LRESULT OnNotify(const NMHDR& header) override;
    void OnTimer(UINT_PTR id) override;

private:
    // What a technician looks for first comes first: which unit, its address, and whether it
    // took it; the rest may need the list scrolled at larger fonts.
    enum Column { kSerial, kAddress, kStatus, kTime, kNetmask, kGateway, kMac };

    void Take(const std::vector<UnitRow>& rows);
    void TellSharedMacs(const std::vector<UnitRow>& rows);
    void ShowUnits();
    void ShowUnit(std::size_t index);
    // A row's status cell; its whole status follows where it is shown.
    void ShowStatus(std::size_t index, const std::wstring& status);
    // Row `row` whole: "Unit 1001 (10.0.0.102), 14:03:22: FAILED!!! The unit did not
    // answer."; empty for a row without a status.
    std::wstring RowWords(int row) const;
    // Whether `request` can be filled in: nothing when it can, else the value at fault,
    // the technician told why.
    std::optional<FillField> RefusedFill(const FillRequest& request);
    void TellFillProblem(const FillRequest& request, const ListProblem& problem);
    // The list written now, a failure told (once); or, while units are in flight, handed
    // to the keeper's thread.
    void Keep();
    void KeepSoon();
    // The kept list: the newest state that waits, if one does, else the list.
    void LoadKept();
    // The plan for the rows at `indices`: nothing when it cannot run (and told).
    std::optional<UnitPlan> Plan(const std::vector<std::size_t>& indices,
                                 MacSharing shared = MacSharing::OneAtATime);
    void Run(const std::vector<std::size_t>& indices);
    // The addresses' run, and, with "then update" ticked, each unit that took its address
    // handed on to its images.
    void AddressAndUpdate(const std::vector<ListJob>& jobs,
                          const std::optional<ImageChoice>& images, std::stop_token stop);
    // The images chosen, as the technician typed or picked them: nothing when none is, or
    // one cannot be found (told, the field at fault focused).
    std::optional<ImageChoice> ChosenImages();
    void BrowseImage(ImageKind kind);
    ImageEvents ImageEventsOfPage();
    void OnUnitImagesDone(std::size_t index, bool took, const Done& failure);
    // The run's progress: units finished of the run's, elapsed time, and the counts.
    void StartProgress(std::size_t units, const std::wstring& took);
    void ShowProgress();
    void OnUnitStarted(std::size_t index);
    void OnUnitFinished(std::size_t index, const Done& done);
    void OnRunDone(const std::vector<DeferredUnit>& deferred);
    std::wstring Summary(std::size_t deferred) const;
    void EnableControls(bool enable);
    void AskImport();
    void AskFill();
    void AskExport();

    std::vector<ListedUnit> units_;
    ProgressBar progress_;
    Edit firmwarePath_;
    Edit webPagesPath_;
    RunReport report_;                // the addresses' run, or the images' on their own
    std::optional<RunReport> images_; // the images' run after the addresses ("then update")
    std::uint64_t runStartMs_ = 0;
    bool keepFailureTold_ = false;
    ListKeeper keeper_{services_.ownFiles};
};
