// The wait cursor over SetCursor.
#include "win32/cursor.h"

#include "win32/win32.h"

ScopedWaitCursor::ScopedWaitCursor() : previous_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}

ScopedWaitCursor::~ScopedWaitCursor() {
    HCURSOR previous = static_cast<HCURSOR>(previous_);
    ::SetCursor(previous ? previous : ::LoadCursorW(nullptr, IDC_ARROW));
}
