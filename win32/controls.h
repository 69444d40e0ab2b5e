// Thin wrappers for the controls the pages use: one method per message they need.
#pragma once

#include <initializer_list>
#include <string>

#include "core/address.h"
#include "win32/win32.h"
#include <commctrl.h>

class Control {
public:
    void Attach(HWND window) { hwnd_ = window; }
    HWND hwnd() const { return hwnd_; }
    void Enable(bool enable) const { ::EnableWindow(hwnd_, enable ? TRUE : FALSE); }
    bool IsEnabled() const { return ::IsWindowEnabled(hwnd_) != FALSE; }
    void Focus() const { ::SetFocus(hwnd_); }

protected:
    HWND hwnd_ = nullptr;
};

class Edit : public Control {
public:
    std::wstring GetText() const;
    void SetText(const std::wstring& text) const { ::SetWindowTextW(hwnd_, text.c_str()); }
    void SelectAll() const { ::SendMessageW(hwnd_, EM_SETSEL, 0, -1); }
};

using Button = Control;

// SysIPAddress32: four fields, leftmost first.
class IpAddressControl : public Control {
public:
    void SetAddress(const IPv4Address& address) const;
    // A blank field reads as 0.
    IPv4Address GetAddress() const;
    // The focus in the first field, its text selected: typing replaces the address from
    // there on.
    void SelectFirstField() const { ::SendMessageW(hwnd_, IPM_SETFOCUS, 0, 0); }
};

class ProgressBar : public Control {
public:
    void SetRange(int low, int high) const;
    void SetPos(int position) const { ::SendMessageW(hwnd_, PBM_SETPOS, position, 0); }
    void SetStep(int step) const { ::SendMessageW(hwnd_, PBM_SETSTEP, step, 0); }
    // Advances by the step; returns the position before.
    int StepIt() const { return static_cast<int>(::SendMessageW(hwnd_, PBM_STEPIT, 0, 0)); }
    int GetPos() const { return static_cast<int>(::SendMessageW(hwnd_, PBM_GETPOS, 0, 0)); }
};

// SysListView32 in report view: rows of text cells.
class ListView : public Control {
public:
    // A column `width` pixels wide at the window's scale.
    void AddColumn(int index, const wchar_t* title, int width) const;
    struct Column {
        const wchar_t* title;
        int width;                       // pixels at 96 DPI
        const wchar_t* widest = nullptr; // a cell the column must show whole, if any
    };
    // The columns, left to right, at the window's DPI; a column with `widest` is at least
    // as wide as that text in the list's own font (which differs between systems).
    void AddColumns(std::initializer_list<Column> columns);
    // The window moved to a screen of another scale: the columns follow.
    void FollowDpi();
    void FullRowSelect() const {
        ::SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                       LVS_EX_FULLROWSELECT);
    }
    void Clear() const { ::SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0); }
    int Count() const { return static_cast<int>(::SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }
    // Appends a row whose first cell is `text`; returns its index.
    int AddRow(const std::wstring& text) const { return InsertRow(Count(), text); }
    // Inserts a row before row `index` (Count(): at the end); returns its index.
    int InsertRow(int index, const std::wstring& text) const;
    void SetCell(int row, int column, const std::wstring& text) const;
    // A cell's whole text, however long.
    std::wstring Cell(int row, int column) const;
    // The row selected, or -1.
    int Selected() const {
        return static_cast<int>(
            ::SendMessageW(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    // The row at `point` (the list's client coordinates) in any of its columns, or -1.
    int RowAt(POINT point) const;
    void EnsureVisible(int row) const { ::SendMessageW(hwnd_, LVM_ENSUREVISIBLE, row, FALSE); }

private:
    UINT dpi_ = 96; // the scale the columns were sized for
    int columns_ = 0;
};
