// Giving a unit its new address, netmask and gateway: what "Apply" does. The run
// returns its outcome; it shows nothing itself, so a page, a list or a command line can
// run it alike, on any thread.
#pragma once

#include <stop_token>
#include <string>

#include "core/adapter.h"
#include "core/address.h"
#include "core/outcome.h"
#include "core/system.h"

class Setup {
public:
    // `mac` in colon form, as the address page shows it; `path` the adapter the unit is
    // reached through (PathWithoutAsking, or the technician's choice).
    Setup(System& system, const std::wstring& mac, const IPv4Address& address,
          const IPv4Address& netmask, const IPv4Address& gateway, UnitPath path);

    // Host route when needed, a check that no other device holds the address, static ARP
    // entry, configuration ping, clean-up. A stop request skips the echoes not yet sent;
    // the clean-up always runs.
    Outcome Run(std::stop_token stop = {});

    // The MAC as arp.exe takes it: every ':' turned into '-'.
    static std::wstring DashForm(const std::wstring& mac);

private:
    System& system_;
    std::wstring mac_; // dash form
    IPv4Address address_;
    IPv4Address netmask_;
    IPv4Address gateway_;
    UnitPath path_;
};

// Undoes a change that a run killed halfway left in the PC's tables (its record says
// which), then forgets the record. Start-up calls it before anything else runs.
void UndoPendingChange(System& system);
