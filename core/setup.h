// Giving a unit its new address, netmask and gateway: what "Apply" does. The run
// returns its outcome; it shows nothing itself, so a page, a list or a command line can
// run it alike, on any thread.
#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "core/adapter.h"
#include "core/address.h"
#include "core/change_record.h"
#include "core/clock.h"
#include "core/echoes.h"
#include "core/log.h"
#include "core/outcome.h"
#include "core/pc_tables.h"
#include "core/ping.h"
#include "core/route.h"
#include "core/tables_lock.h"

// What one assignment uses of the system.
struct AssignmentRoles {
    PcTables& tables;
    Echoes& echoes;
    Clock& clock;
    ChangeRecord& changes;
    TablesLock& lock;
    Log& log;
    // Told (from the work's thread) when the sequence waits for another Varnok's.
    std::function<void()> waitingForTables = {};
};

class Arp;

class Setup {
public:
    // `mac` in colon form, as the address page shows it; `path` the adapter the unit is
    // reached through (PathWithoutAsking, or the technician's choice).
    Setup(const AssignmentRoles& roles, const std::wstring& mac, const IPv4Address& address,
          const IPv4Address& netmask, const IPv4Address& gateway, UnitPath path);

    // Host route when needed, a check that no other device holds the address, static ARP
    // entry, configuration ping, clean-up, all while holding the lock on the PC's tables
    // (waiting for any other Varnok's sequence first). The route and the entry are read
    // back from the PC's tables: one that was not made fails the run there. A stop request
    // skips the echoes not yet sent; the clean-up always runs, and is read back too: what it
    // could not remove stays on the change record for the next start.
    Outcome Run(std::stop_token stop = {});

    // The MAC as arp.exe takes it: every ':' turned into '-'.
    static std::wstring DashForm(const std::wstring& mac);

private:
    // The host route, read back once route.exe has ended.
    Outcome AddRoute(Route& route);
    // With the host route (if any) in place: the holder's check, the static entry and the
    // configuration ping through `ping` (opened here), and the static entry's removal.
    Outcome AddressUnit(std::stop_token stop, std::optional<Ping>& ping);
    // The static entry, or the host route, removed and read back (tried twice): false
    // when it is still there.
    bool RemoveEntry(Arp& arp);
    bool RemoveRoute(Route& route);

    AssignmentRoles roles_;
    std::wstring mac_; // dash form
    IPv4Address address_;
    IPv4Address netmask_;
    IPv4Address gateway_;
    UnitPath path_;
    std::optional<IPv4Address> interfaceAddress_; // the adapter's, when one is chosen
    std::optional<unsigned long> interfaceIndex_;
    bool entryGone_ = true; // the static entry, once made, was seen removed
};

// Undoes the changes that a run killed halfway left in the PC's tables (the record says
// which addresses), then forgets them. Start-up calls it before anything else runs. Only
// what Varnok makes is removed: a static entry whose MAC lies in the units' block, a /32
// host route on the link; anything else at those addresses (a VPN's route, another
// program's entry) stays. While another Varnok holds the lock on the tables, the record is
// that one's changes under way, and is left alone.
void UndoPendingChange(PcTables& tables, ChangeRecord& changes, TablesLock& lock, Log& log);
