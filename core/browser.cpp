#include "core/browser.h"

std::wstring WebAddress(const IPv4Address& address) {
    return L"http://" + address.ToText();
}

std::wstring BrowserCommandLine(const std::wstring& openCommand, const std::wstring& webAddress) {
    std::wstring command = openCommand;
    std::size_t cut = command.find(L"\"%1\"");
    if (cut == std::wstring::npos) {
        cut = command.find(L"%1");
    }
    if (cut != std::wstring::npos) {
        command.resize(cut);
    }
    return command + L" " + webAddress;
}
