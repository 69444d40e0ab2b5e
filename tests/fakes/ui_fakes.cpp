// Recording stand-ins for what the pages call beyond themselves: the assignment sequence
// and the input-check boxes with their beep. Linked in place of the real ones.
#include "tests/fakes/fakes.h"
#include "ui/app_message.h"
#include "unit/setup.h"

using fakes::world;

Setup::Setup(const std::wstring& mac, const IPv4Address& address, const IPv4Address& netmask,
             const IPv4Address& gateway)
    : mac_(mac), address_(address), netmask_(netmask), gateway_(gateway) {}

std::wstring Setup::DashForm(const std::wstring& mac) {
    return mac;
}

void Setup::Run() {
    if (world().onSetupRun) {
        world().onSetupRun();
    }
    world().trace.push_back(L"setup " + mac_ + L"|" + address_.ToText() + L"|" + netmask_.ToText() +
                            L"|" + gateway_.ToText());
}

int AppMessageBox(const std::wstring& text) {
    world().trace.push_back(L"appbox " + text);
    return 1;
}

void WarningBeep() {
    world().trace.push_back(L"beep");
}
