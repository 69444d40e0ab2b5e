// The assignment sequence.
#include "core/setup.h"

#include <algorithm>
#include <utility>

#include "core/address_check.h"
#include "core/address_holder.h"
#include "core/arp.h"
#include "core/mac_rule.h"
#include "core/ping.h"
#include "core/route.h"

namespace {

// The sequence could not start: the reason why, nothing changed.
Outcome NotLocked(const TablesLock::Acquisition& lock) {
    if (lock.refusal == TablesLock::Acquisition::Refusal::Stopped) {
        return {Failure::Interrupted, L"Stopped while waiting for another Varnok to finish with "
                                      L"the PC's tables; nothing was changed."};
    }
    return {Failure::TablesUnavailable, lock.reason};
}

// Whether `address` could ever have been a unit's: not the PC's own, nor loopback,
// multicast or reserved, nor the network or broadcast address of one of the PC's subnets.
// A record naming any other is no record of Varnok's: nothing there is touched.
bool CouldBeAUnitsAddress(PcTables& tables, const IPv4Address& address) {
    if (CheckUnitAddress(address, {}, tables.OwnAddresses()) != AddressFault::None) {
        return false;
    }
    for (const Adapter& adapter : tables.Adapters()) {
        for (const AdapterAddress& own : adapter.addresses) {
            if (CheckUnitAddress(address, own.netmask, {}) != AddressFault::None &&
                SameNetwork(address, own.address, own.netmask)) {
                return false;
            }
        }
    }
    return true;
}

// What a run killed halfway may have left at `change.address`, if it is of Varnok's kind:
// a static entry with a unit's MAC, an on-link host route. True once the tables show
// nothing of it left; a table that cannot be read says nothing, and the record stays.
bool UndoChange(PcTables& tables, const PendingChange& change, Log& log) {
    const std::wstring address = change.address.ToText();
    if (!CouldBeAUnitsAddress(tables, change.address)) {
        log.Write(L"a record of a change at " + address + L" names no unit's address: forgotten");
        return true;
    }
    if (const StaticEntry entry = tables.StaticEntryAt(change.address);
        entry.seen == Seen::There && IsUnitMac(entry.mac)) {
        log.Write(L"undoing a change left by an earlier run: the ARP entry for " + address);
        Arp(tables, change.address, L"").Delete();
    }
    if (change.hostRoute && tables.HostRoute(change.address, 0) == Seen::There) {
        log.Write(L"undoing a change left by an earlier run: the host route to " + address);
        Route(tables).Delete(change.address);
    }
    const StaticEntry entry = tables.StaticEntryAt(change.address);
    const Seen route = change.hostRoute ? tables.HostRoute(change.address, 0) : Seen::NotThere;
    const bool entryGone =
        entry.seen == Seen::NotThere || (entry.seen == Seen::There && !IsUnitMac(entry.mac));
    if (entryGone && route == Seen::NotThere) {
        return true;
    }
    log.Write(L"the earlier run's change at " + address +
              (entry.seen == Seen::Unreadable || route == Seen::Unreadable
                   ? L" could not be checked: the PC's tables cannot be read"
                   : L" is still there") +
              L"; its record is kept for the next start");
    return false;
}

// "The host route to 10.0.0.5 was not made (route.exe: Access is denied.)."
std::wstring NotMadeText(const std::wstring& what, const wchar_t* program, const ProgramRun& run) {
    return what + L" was not made" +
           (run.output.empty() ? L"" : L" (" + std::wstring(program) + L": " + run.output + L")") +
           L".";
}

} // namespace

Setup::Setup(const AssignmentRoles& roles, const std::wstring& mac, const IPv4Address& address,
             const IPv4Address& netmask, const IPv4Address& gateway, UnitPath path)
    : roles_(roles), mac_(DashForm(mac)), address_(address), netmask_(netmask), gateway_(gateway),
      path_(std::move(path)) {
    if (path_.adapter) {
        interfaceAddress_ = path_.source;
        interfaceIndex_ = path_.adapter->index;
    }
}

std::wstring Setup::DashForm(const std::wstring& mac) {
    std::wstring dashed = mac;
    std::replace(dashed.begin(), dashed.end(), L':', L'-');
    return dashed;
}

Outcome Setup::Run(std::stop_token stop) {
    const TablesLock::Acquisition lock = roles_.lock.Acquire(stop, roles_.waitingForTables);
    if (!lock.held) {
        return NotLocked(lock);
    }
    // Off the adapter's subnets the unit is reached through a host route of its own. The
    // decision is taken once, so the route that was added is the route that goes.
    const bool needsRoute = path_.hostRoute;
    // Written before the tables change, so that a run killed halfway is undone at the
    // next start; forgotten once the clean-up is done.
    roles_.changes.Add({address_, needsRoute});
    Route route(roles_.tables);
    Outcome outcome;
    if (needsRoute) {
        outcome = AddRoute(route);
        if (outcome.failure == Failure::RouteNotStarted) {
            roles_.changes.Remove(address_); // nothing was changed
            return outcome;
        }
    }
    // The echo channel is released once the tables are clean again.
    std::optional<Ping> ping;
    if (outcome.Succeeded()) {
        outcome = AddressUnit(stop, ping);
    }
    // Whatever happened with the unit, the PC's tables are left as they were.
    const bool routeGone = !needsRoute || RemoveRoute(route);
    ping.reset();
    if (entryGone_ && routeGone) {
        roles_.changes.Remove(address_);
    } else {
        // Kept on record: the next start of Varnok removes what is left.
        roles_.log.Write(L"the clean-up of " + address_.ToText() +
                         L" was not seen to take effect; the next start removes what is left");
    }
    return outcome;
}

bool Setup::RemoveEntry(Arp& arp) {
    // Read back, as the entry was: an arp.exe that could not start, or changed nothing,
    // would leave the unit's entry in the PC's table. A second run mostly succeeds.
    for (int attempt = 0; attempt < 2; ++attempt) {
        arp.Delete();
        if (!roles_.tables.HasStaticEntry(address_, mac_, interfaceIndex_.value_or(0))) {
            return true;
        }
    }
    return false;
}

bool Setup::RemoveRoute(Route& route) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        route.Delete(address_);
        if (roles_.tables.HostRoute(address_, interfaceIndex_.value_or(0)) == Seen::NotThere) {
            return true;
        }
    }
    return false;
}

Outcome Setup::AddRoute(Route& route) {
    const ProgramRun added = route.Add(address_, interfaceIndex_);
    if (!added.started) {
        return {Failure::RouteNotStarted, added.failure};
    }
    // One that ran past its time was ended: what it did or did not do is not trusted.
    if (added.ended ||
        roles_.tables.HostRoute(address_, interfaceIndex_.value_or(0)) != Seen::There) {
        return {Failure::RouteNotMade,
                NotMadeText(L"The host route to " + address_.ToText(), L"route.exe", added)};
    }
    return {};
}

Outcome Setup::AddressUnit(std::stop_token stop, std::optional<Ping>& ping) {
    Arp arp(roles_.tables, address_, mac_, interfaceAddress_);
    // An older entry for the address would hide the unit, and would answer for a device
    // that has since left: the segment is asked afresh.
    arp.Delete();
    // Asked right before the entry is made: an answer never older than the question.
    const std::optional<std::wstring> holder =
        AddressHolder(roles_.echoes, roles_.tables, roles_.clock, roles_.log, path_, address_);
    if (holder && !SameMac(*holder, mac_)) {
        // Another device answers for it (the unit itself may: it is being re-addressed).
        // Nothing more is changed.
        return {Failure::AddressInUse, AddressInUseText(address_, *holder)};
    }
    const ProgramRun added = arp.Add();
    if (!added.started) {
        return {Failure::ArpNotStarted, added.failure};
    }
    if (added.ended || !roles_.tables.HasStaticEntry(address_, mac_, interfaceIndex_.value_or(0))) {
        entryGone_ = RemoveEntry(arp); // whatever it did make goes
        return {Failure::ArpEntryNotMade,
                NotMadeText(L"The static ARP entry for " + address_.ToText() + L" (" + mac_ + L")",
                            L"arp.exe", added)};
    }
    ping.emplace(roles_.echoes, roles_.clock, roles_.log, interfaceAddress_);
    const Outcome outcome = ConfigurationOutcome(*ping, address_, netmask_, gateway_, stop);
    entryGone_ = RemoveEntry(arp);
    return outcome;
}

void UndoPendingChange(PcTables& tables, ChangeRecord& changes, TablesLock& lock, Log& log) {
    // A record while another Varnok holds the lock is that one's change under way: it
    // clears the record itself.
    const TablesLock::Acquisition held = lock.TryAcquire();
    if (!held.held) {
        return;
    }
    for (const PendingChange& change : changes.All()) {
        if (UndoChange(tables, change, log)) {
            changes.Remove(change.address);
        }
    }
}
