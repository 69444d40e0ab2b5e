// Finding the units already on the network: someone addressed them before and nobody
// knows where. "Find" asks every address of the adapter's subnet (or of a range typed)
// and lists the units among those that answered, with the serials their MAC belongs to;
// a row whole is its tooltip, and the selected row's is in a line below the list; a
// double-click or "Show" opens a unit's web page, "Export…" saves the list as CSV.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/rows_page.h"
#include "core/sweep.h"
#include "win32/controls.h"

class PageFind : public RowsPage {
public:
    PageFind(Services& services, Notices& notices);

    // The adapters up, again: when they changed, the choice and the range start afresh.
    void RefreshAdapters();
    // The range the page shows, for the adapter chosen.
    void ChooseAdapter(std::size_t index);
    // "Find": false when the range was refused (and told).
    bool Find();
    // "Show" for the unit in row `index`.
    void ShowUnit(std::size_t index);
    void ExportTo(const std::wstring& path);
    const std::vector<FoundUnit>& Units() const { return units_; }

protected:
    BOOL OnInitDialog() override;
    LRESULT OnNotify(const NMHDR& header) override;

private:
    std::optional<std::size_t> SelectedRow() const;
    void OnFound(const FoundUnit& unit);
    // Row `row` whole: "10.0.0.50 (00:50:c2:11:8b:b8): serials 1000,46000-46015, through
    // Ethernet (10.0.0.20), seen 14:03:22".
    std::wstring RowWords(int row) const;
    void OnSearchDone();
    void ShowCounts();
    void AskExport();

    std::vector<Adapter> adapters_; // as the choice lists them
    std::vector<FoundUnit> units_;  // by address, as the rows show them
    std::wstring adapterLabel_;     // the adapter of the search the rows come from
    AddressRange searched_;
    bool searching_ = false;
    std::uint64_t startMs_ = 0;
    std::uint64_t tookMs_ = 0;
    HWND adapterChoice_ = nullptr;
    IpAddressControl from_;
    IpAddressControl to_;
    ProgressBar progress_;
};
