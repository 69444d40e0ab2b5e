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

// Whether the run asks the segment who holds the address, or a list has just asked it for
// all of its addresses together.
enum class HolderCheck { Ask, AlreadyAsked };

class Setup {
public:
    // `mac` in colon form, as the address page shows it; `path` the adapter the unit is
    // reached through (PathWithoutAsking, or the technician's choice).
    Setup(System& system, const std::wstring& mac, const IPv4Address& address,
          const IPv4Address& netmask, const IPv4Address& gateway, UnitPath path);

    // Host route when needed, a check that no other device holds the address, static ARP
    // entry, configuration ping, clean-up, all while holding the lock on the PC's tables
    // (waiting for any other Varnok's sequence first). A stop request skips the echoes not
    // yet sent; the clean-up always runs.
    Outcome Run(std::stop_token stop = {}, HolderCheck check = HolderCheck::Ask);

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
// which), then forgets the record. Start-up calls it before anything else runs. While
// another Varnok holds the lock on the tables, the record is that one's change under way,
// and is left alone.
void UndoPendingChange(System& system);
