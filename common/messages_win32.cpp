// The warning box itself, and texts from the string table.
#include "common/messages.h"

#include "common/win32.h"

namespace {
constexpr wchar_t kTitle[] = L"Varnok message";
}

int ShowMessageBox(const std::wstring& text) {
    ::MessageBeep(MB_ICONEXCLAMATION);
    // No owner window: the box does not disable the main window.
    return ::MessageBoxW(nullptr, text.c_str(), kTitle, MB_OK | MB_ICONEXCLAMATION);
}

void ShowMessageId(unsigned id) {
    ShowMessageBox(LoadStringText(id));
}
