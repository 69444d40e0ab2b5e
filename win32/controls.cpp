#include "win32/controls.h"

#include "win32/dpi.h"

#include <commctrl.h>

#include <algorithm>

std::wstring Edit::GetText() const {
    const int length = ::GetWindowTextLengthW(hwnd_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(hwnd_, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

void IpAddressControl::SetAddress(const IPv4Address& address) const {
    const auto& o = address.octet;
    ::SendMessageW(hwnd_, IPM_SETADDRESS, 0, MAKEIPADDRESS(o[0], o[1], o[2], o[3]));
}

IPv4Address IpAddressControl::GetAddress() const {
    DWORD value = 0;
    ::SendMessageW(hwnd_, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
    IPv4Address address;
    address.octet = {static_cast<std::uint8_t>(FIRST_IPADDRESS(value)),
                     static_cast<std::uint8_t>(SECOND_IPADDRESS(value)),
                     static_cast<std::uint8_t>(THIRD_IPADDRESS(value)),
                     static_cast<std::uint8_t>(FOURTH_IPADDRESS(value))};
    return address;
}

void ProgressBar::SetRange(int low, int high) const {
    ::SendMessageW(hwnd_, PBM_SETRANGE32, low, high);
}

void ListView::AddColumn(int index, const wchar_t* title, int width) const {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(title);
    column.cx = width;
    column.iSubItem = index;
    ::SendMessageW(hwnd_, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

int ListView::InsertRow(int index, const std::wstring& text) const {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    return static_cast<int>(
        ::SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void ListView::SetCell(int row, int column, const std::wstring& text) const {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    ::SendMessageW(hwnd_, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

std::wstring ListView::Cell(int row, int column) const {
    // The list copies at most the buffer less its terminating null: a text that fills it
    // may have been cut, and is read again into one twice as large.
    for (std::size_t size = 256;; size *= 2) {
        std::wstring text(size, L'\0');
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(text.size());
        const auto length = static_cast<std::size_t>(
            ::SendMessageW(hwnd_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < size || size >= 65536) {
            text.resize(std::min(length, size));
            return text;
        }
    }
}

int ListView::RowAt(POINT point) const {
    // A subitem hit test: the plain one finds a row only over its first column.
    // Its answer is documented as "the item or subitem": the item is read from the
    // structure.
    LVHITTESTINFO hit{};
    hit.pt = point;
    hit.iItem = -1;
    const auto found = ::SendMessageW(hwnd_, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    return found < 0 ? -1 : hit.iItem;
}

void ListView::AddColumns(std::initializer_list<Column> columns) {
    // A cell's text keeps about 6 pixels free on either side.
    constexpr int kCellMargins = 14;
    dpi_ = DpiOf(hwnd_);
    for (const Column& column : columns) {
        int width = Scaled(column.width, dpi_);
        if (column.widest) {
            const auto text = static_cast<int>(::SendMessageW(
                hwnd_, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(column.widest)));
            width = std::max(width, text + Scaled(kCellMargins, dpi_));
        }
        AddColumn(columns_++, column.title, width);
    }
}

void ListView::FollowDpi() {
    const UINT dpi = DpiOf(hwnd_);
    for (int i = 0; i < columns_ && dpi != dpi_; ++i) {
        const auto width = static_cast<int>(::SendMessageW(hwnd_, LVM_GETCOLUMNWIDTH, i, 0));
        ::SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, i,
                       ::MulDiv(width, static_cast<int>(dpi), static_cast<int>(dpi_)));
    }
    dpi_ = dpi;
}
