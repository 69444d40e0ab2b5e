// The screen's scale for a window, as a per-monitor aware program sees it: 96 dots per
// inch at 100 %, 144 at 150 %. Sizes the dialog templates do not scale by themselves
// (list columns, a tooltip's width, icons) are given at 96 and scaled with it.
#pragma once

#include "win32/win32.h"

// The window's DPI (Windows 10's GetDpiForWindow, where there is one; else the screen's).
UINT DpiOf(HWND window);

// `pixels` at 96 DPI, at `dpi`.
inline int Scaled(int pixels, UINT dpi) {
    return ::MulDiv(pixels, static_cast<int>(dpi), 96);
}

// Sent to each child window once its top-level window has moved to a screen of another
// scale (Windows 10 1703 and later; newer than the SDK version the program targets).
constexpr UINT kDpiChangedAfterParent = 0x02E3;

// A system metric (SM_CXICON, ...) at `dpi`.
int MetricAt(int index, UINT dpi);

// Draws a tab page's background as the current theme's tab does (its texture, or the
// system's colours under high contrast), rather than a fixed brush.
void UseTabBackground(HWND page);
