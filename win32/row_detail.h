// A list's rows read whole. A cell shows only what its column holds, and a unit's reason
// is often longer: the row under the mouse shows whole as its tooltip, and the row
// selected in a line below the list, a read-only edit so that it can be copied.
#pragma once

#include <functional>
#include <string>

#include "win32/controls.h"
#include "win32/tooltip.h"

class RowDetail {
public:
    // A row whole, in words; empty when it has nothing to show.
    using Words = std::function<std::wstring(int row)>;

    // For `list` (kept by the owner) and the edit `line`, controls of the dialog `owner`.
    void Attach(HWND owner, const ListView& list, HWND line, Words words);
    // A mouse message, before the dialog sees it: the tooltip follows the row under the
    // mouse.
    void Relay(const MSG& message);
    // A notification of the owner's: the line follows the selection.
    void OnNotify(const NMHDR& header);
    // A row changed, or the rows: the line and the tooltip say what they show now.
    void Refresh();
    void FollowDpi() { tip_.FollowDpi(); }
    // Its popup belongs to the top-level window: it goes with the owner.
    void Destroy() { tip_.Destroy(); }

private:
    void ShowTip(int row);

    ToolTip tip_;
    const ListView* list_ = nullptr;
    Edit line_;
    Words words_;
    int tipRow_ = -1;
    std::wstring tipText_;
};
