// The boxes and the tone on Windows.
#include "app/notices_win32.h"

#include "win32/win32.h"

void Win32Notices::ShowBox(const std::wstring& text) {
    ::MessageBeep(MB_ICONEXCLAMATION);
    // No owner window: the box does not disable the main window.
    ::MessageBoxW(nullptr, text.c_str(), L"Varnok message", MB_OK | MB_ICONEXCLAMATION);
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
