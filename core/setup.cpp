// The assignment sequence.
#include "core/setup.h"

#include <algorithm>
#include <utility>

#include "core/address_holder.h"
#include "core/arp.h"
#include "core/log.h"
#include "core/ping.h"
#include "core/route.h"

Setup::Setup(System& system, const std::wstring& mac, const IPv4Address& address,
             const IPv4Address& netmask, const IPv4Address& gateway, UnitPath path)
    : system_(system), mac_(DashForm(mac)), address_(address), netmask_(netmask), gateway_(gateway),
      path_(std::move(path)) {}

std::wstring Setup::DashForm(const std::wstring& mac) {
    std::wstring dashed = mac;
    std::replace(dashed.begin(), dashed.end(), L':', L'-');
    return dashed;
}

Outcome Setup::Run(std::stop_token stop, HolderCheck check) {
    const std::unique_ptr<TablesLock> lock = system_.LockTables();
    // Off the adapter's subnets the unit is reached through a host route of its own. The
    // decision is taken once, so the route that was added is the route that goes.
    const bool needsRoute = path_.hostRoute;
    std::optional<IPv4Address> interfaceAddress;
    std::optional<unsigned long> interfaceIndex;
    if (path_.adapter) {
        interfaceAddress = path_.source;
        interfaceIndex = path_.adapter->index;
    }

    // Written before the tables change, so that a run killed halfway is undone at the
    // next start; forgotten once the clean-up is done.
    system_.RecordPendingChange({address_, needsRoute});
    Route route(system_);
    if (needsRoute) {
        if (const ProgramRun added = route.Add(address_, interfaceIndex); !added.started) {
            system_.ClearPendingChange();
            return {Failure::RouteNotStarted, added.failure};
        }
    }

    Outcome outcome;
    Arp arp(system_, address_, mac_, interfaceAddress);
    // An older entry for the address would hide the unit, and would answer for a device
    // that has since left: the segment is asked afresh.
    arp.Delete();
    const std::optional<std::wstring> holder =
        check == HolderCheck::Ask ? AddressHolder(system_, path_, address_) : std::nullopt;
    if (holder && !SameMac(*holder, mac_)) {
        // Another device answers for it (the unit itself may: it is being re-addressed).
        // Nothing more is changed: only the host route, if made, goes again.
        outcome = {Failure::AddressInUse, AddressInUseText(address_, *holder)};
        if (needsRoute) {
            route.Delete(address_);
        }
    } else if (const ProgramRun added = arp.Add(); added.started) {
        Ping ping(system_, interfaceAddress);
        if (ping.OpenFailure() == EchoOpenFailure::LibraryMissing) {
            outcome = {Failure::EchoLibraryMissing};
        } else if (ping.OpenFailure() == EchoOpenFailure::HandleFailed) {
            outcome = {Failure::EchoHandleFailed};
        } else if (!ping.Send(address_, netmask_, gateway_, stop)) {
            outcome = {Failure::NoAnswer, Ping::StatusText(ping.LastErrorStatus()),
                       ping.LastErrorStatus()};
        }
        arp.Delete();
        if (needsRoute) {
            route.Delete(address_);
        }
    } else {
        outcome = {Failure::ArpNotStarted, added.failure};
        if (needsRoute) {
            // Leave the PC's tables as they were, also on this path.
            route.Delete(address_);
        }
    }
    system_.ClearPendingChange();
    return outcome;
}

void UndoPendingChange(System& system) {
    // A record while another Varnok holds the lock is that one's change under way: it
    // clears the record itself.
    const std::unique_ptr<TablesLock> lock = system.LockTables(false);
    const std::optional<PendingChange> pending = system.PendingChangeOnRecord();
    if (!lock || !pending) {
        return;
    }
    WriteLogLine(L"undoing a change left by an earlier run: ARP entry for " +
                 pending->address.ToText() + (pending->hostRoute ? L" and its host route" : L""));
    Arp(system, pending->address, L"").Delete();
    if (pending->hostRoute) {
        Route(system).Delete(pending->address);
    }
    system.ClearPendingChange();
}
