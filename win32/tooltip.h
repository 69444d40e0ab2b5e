// A tooltip control that owns its popup window. The popup belongs to the top-level
// window, which may outlive the dialog that made it, so the owner destroys it with its
// dialog (Destroy) or at the latest when it goes itself.
#pragma once

#include <string>

#include "win32/win32.h"

class ToolTip {
public:
    // Creates the popup for the dialog `owner`: always shown, appearing at once, staying
    // a minute, wrapping at 400 pixels at 96 DPI (scaled to the owner's).
    bool Create(HWND owner);
    // The owner moved to a screen of another scale: the width follows.
    void FollowDpi();
    // Shows `text` over `control`, a child of the owner.
    void AddTool(HWND control, const std::wstring& text);
    // The text over `control` from now on, shown at once if its tip is up; an empty text
    // shows no tip.
    void SetText(HWND control, const std::wstring& text);
    // Lets the tooltip see a mouse message before the dialog does.
    void Relay(const MSG& message);
    void Destroy() { window_.reset(); }

private:
    static void DestroyPopup(HWND window) { ::DestroyWindow(window); }
    UniqueOwner<HWND, DestroyPopup> window_;
    HWND owner_ = nullptr;
};
