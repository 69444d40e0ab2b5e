#include "unit/setup.h"

#include <algorithm>
#include <optional>

#include "common/cursor.h"
#include "common/messages.h"
#include "unit/arp.h"
#include "unit/ping.h"
#include "unit/route.h"

Setup::Setup(const std::wstring& mac, const IPv4Address& address, const IPv4Address& netmask,
             const IPv4Address& gateway)
    : mac_(DashForm(mac)), address_(address), netmask_(netmask), gateway_(gateway) {}

std::wstring Setup::DashForm(const std::wstring& mac) {
    std::wstring dashed = mac;
    std::replace(dashed.begin(), dashed.end(), L':', L'-');
    return dashed;
}

void Setup::Run() {
    ScopedWaitCursor wait; // also while the outcome box is open

    // Off the PC's subnet the unit is reached through a host route of its own. The
    // decision is taken once, so the route that was added is the route that goes.
    const bool needsRoute = !IsOnLocalSubnet(address_, netmask_);
    if (needsRoute && !Route().Add(address_)) {
        ShowMessageId(IDS_FAILED);
        return;
    }

    bool succeeded = false;
    Arp arp(address_, mac_);
    arp.Delete(); // an older entry for the address would hide the unit
    if (arp.Add()) {
        std::optional<Ping> ping;
        ping.emplace();
        succeeded = ping->Send(address_, netmask_, gateway_);
        arp.Delete();
        if (needsRoute) {
            Route().Delete(address_);
        }
        ping.reset(); // closes the ICMP handle and releases the library
    } else if (needsRoute) {
        // Leave the PC's tables as they were, also on this path.
        Route().Delete(address_);
    }

    ShowMessageId(succeeded ? IDS_SUCCESS : IDS_FAILED);
}
