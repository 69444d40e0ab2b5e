#include "core/browser.h"

std::wstring WebAddress(const IPv4Address& address) {
    return L"http://" + address.ToText();
}

bool OpenWebPage(Desktop& desktop, const IPv4Address& address) {
    // Never a browser of Varnok's own choosing started by Varnok: it would browse with
    // administrator rights.
    return desktop.ShellOpen(WebAddress(address), L"").started;
}
