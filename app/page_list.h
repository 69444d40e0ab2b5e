// The list of units: a cabinet's units commissioned one after the other while the
// technician switches them on. Rows come from a spreadsheet's CSV file ("Import…") or by
// counting up ("Fill…"); "Apply all" addresses every unit not yet done, "Apply again" the
// ones that failed, a double-click one unit. Each row shows its state as it goes, and one
// box sums the run up. The list and its states are kept in the user's application-data
// folder after every change, so neither closing the program nor a crash loses them.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/fill_dialog.h"
#include "app/page.h"
#include "core/commissioning.h"
#include "core/unit_list.h"
#include "win32/controls.h"

constexpr wchar_t kListFile[] = L"units.csv";

// Worker to page: a unit of the list started or finished.
constexpr UINT kUnitEventMessage = WM_APP + 4;

class PageList : public Page {
public:
    PageList(System& system, Notices& notices) : Page(system, notices) {}
    UINT GetTemplateID() const override;

    const std::vector<ListedUnit>& Units() const { return units_; }

    // What the buttons do, callable as such by tests.
    bool ImportFile(const std::wstring& path); // false when the file was refused (and told)
    bool Fill(const FillRequest& request);
    void ApplyAll();   // every unit not yet done
    void ApplyAgain(); // the units that failed
    void ApplyOne(std::size_t index);
    void StopAfterUnit();
    void ExportRecord(const std::wstring& path);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    LRESULT OnNotify(const NMHDR& header) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnWorkDone(const Outcome& outcome) override;

private:
    struct UnitEvent {
        std::size_t index = 0;
        std::optional<Done> done;              // nothing: the unit has started
        std::optional<std::size_t> sharedWith; // deferred: this unit of the run has its MAC
    };

    void Take(const std::vector<UnitRow>& rows);
    void ShowUnits();
    void ShowUnit(std::size_t index);
    void Keep();
    void Run(const std::vector<std::size_t>& indices);
    void TakeUnitEvents();
    void EnableControls(bool enable);
    void AskImport();
    void AskFill();
    void AskExport();

    std::vector<ListedUnit> units_;
    ListView list_;
    std::mutex eventsMutex_;
    std::vector<UnitEvent> events_; // from the work, under the mutex
    std::atomic<bool> stopAfterUnit_{false};
    std::size_t finished_ = 0;  // units of the run under way that have an outcome
    std::size_t succeeded_ = 0; // of those, the ones that took their address
    std::size_t deferred_ = 0;  // left for a run of their own: they share a MAC
};
