// The question a laptop with several adapters needs answered before an "Apply" to an
// address on none of its networks: which adapter's cable leads to the unit.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "core/adapter.h"
#include "core/kept_values.h"
#include "win32/dialog.h"

class AdapterDialog : public Dialog {
public:
    // Lists `adapters` with `preselected` selected.
    AdapterDialog(const std::vector<Adapter>& adapters, std::size_t preselected);

    // The technician's choice, modal to `owner`; nothing when cancelled.
    std::optional<std::size_t> Choose(HWND owner);

protected:
    BOOL OnInitDialog() override;

private:
    // OK or a double-click: the selected line, if any, is the answer.
    void Pick();

    const std::vector<Adapter>& adapters_;
    std::size_t selected_;
};

// Asks which adapter leads to the unit, the last answer (kept in `settings`) preselected,
// and remembers the answer; nothing when cancelled.
std::optional<Adapter> AskAdapter(const std::vector<Adapter>& adapters, HWND owner,
                                  Settings& settings);
