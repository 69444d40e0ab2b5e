// The boxes and the tone on Windows.
#include "app/notices_win32.h"

#include "res/resource_ids.h"
#include "win32/dialog.h"
#include "win32/win32.h"

namespace {

// The program's own box for an address to be opened by hand. A message box's text can be
// neither selected nor copied on its own (Ctrl+C copies the whole box, title and buttons
// included), so the address stands in a read-only field, selected and with the focus:
// Ctrl+C, or the field's own menu, copies just the address.
class AddressBox : public Dialog {
public:
    AddressBox(const std::wstring& text, const std::wstring& address)
        : Dialog(IDD_ADDRESS_BOX), text_(text), address_(address) {
        OnControl(IDOK, [this] { EndDialog(IDOK); });
    }

protected:
    BOOL OnInitDialog() override {
        ::SendDlgItemMessageW(hwnd(), IDC_ADDRESS_ICON, STM_SETICON,
                              reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_EXCLAMATION)), 0);
        ::SetDlgItemTextW(hwnd(), IDC_ADDRESS_TEXT, text_.c_str());
        ::SetDlgItemTextW(hwnd(), IDC_ADDRESS_FIELD, address_.c_str());
        ::SendDlgItemMessageW(hwnd(), IDC_ADDRESS_FIELD, EM_SETSEL, 0, -1);
        ::SetFocus(Item(IDC_ADDRESS_FIELD));
        return FALSE; // the focus is set
    }

private:
    std::wstring text_;
    std::wstring address_;
};

} // namespace

void Win32Notices::ShowBox(const std::wstring& text) {
    ::MessageBeep(MB_ICONEXCLAMATION);
    // No owner window: the box does not disable the main window.
    ::MessageBoxW(nullptr, text.c_str(), L"Varnok message", MB_OK | MB_ICONEXCLAMATION);
}

void Win32Notices::ShowAddressBox(const std::wstring& text, const std::wstring& address) {
    ::MessageBeep(MB_ICONEXCLAMATION);
    // Owned by the window whose "Show" was clicked: it answers the technician's own click.
    AddressBox(text, address).RunModal(::GetActiveWindow());
}

void Win32Notices::MessageId(unsigned id, const std::wstring& secondLine) {
    const std::wstring text = LoadStringText(id);
    ShowBox(secondLine.empty() ? text : text + L"\n" + secondLine);
}

void Win32Notices::Warn(const std::wstring& text) {
    // Owned by the window the technician just used (the main window; none from the
    // command line), which it disables until answered.
    ::MessageBoxW(::GetActiveWindow(), text.c_str(), L"Varnok", MB_OK | MB_ICONEXCLAMATION);
}

void Win32Notices::Beep() {
    ::Beep(450, 300);
}
