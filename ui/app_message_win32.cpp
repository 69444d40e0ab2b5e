#include "ui/app_message.h"

#include "common/win32.h"

int AppMessageBox(const std::wstring& text) {
    return ::MessageBoxW(GetAppMainWindow(), text.c_str(), L"Varnok", MB_OK | MB_ICONEXCLAMATION);
}

void WarningBeep() {
    ::Beep(450, 300);
}
