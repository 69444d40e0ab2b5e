// The PC's network tables as the commissioning core sees them: the system's own arp.exe
// and route.exe that change them, the adapters that are up, and the neighbour table that
// says who answered for an address. Windows implements it (win32/roles.h); tests
// with a recording stand-in. Calls may come from a worker thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/adapter.h"
#include "core/address.h"
#include "core/program_run.h"

// A table's answer where "it could not be read" must never pass for "it is not there".
enum class Seen { There, NotThere, Unreadable };

// A permanent neighbour entry: whether one is there, and its MAC when it is.
struct StaticEntry {
    Seen seen = Seen::NotThere;
    std::wstring mac; // "00-50-c2-11-8b-b8"
};

class PcTables {
public:
    virtual ~PcTables() = default;

    // One of the system's own programs (arp.exe, route.exe), window hidden, awaited
    // until it ends (bounded).
    virtual ProgramRun RunSystemProgram(const std::wstring& file,
                                        const std::wstring& parameters) = 0;
    // The PC's IPv4 adapters that are up, loopback left out, in the system's order.
    virtual std::vector<Adapter> Adapters() = 0;
    // Every IPv4 address of the PC.
    virtual std::vector<IPv4Address> OwnAddresses() = 0;
    // The MAC ("00-50-c2-11-8b-b8") that the neighbour table holds for `address` on the
    // adapter with `interfaceIndex` (0: any), when the address was resolved; nothing when
    // nobody answered for it.
    virtual std::optional<std::wstring> NeighbourMac(const IPv4Address& address,
                                                     unsigned long interfaceIndex) = 0;

    // Read back after a change, since a started arp.exe or route.exe may have changed
    // nothing (access denied, an adapter that takes no static entries): the neighbour
    // table holds a permanent entry for `address` with `mac` (either form, any case) on the
    // adapter with `interfaceIndex` (0: any)...
    virtual bool HasStaticEntry(const IPv4Address& address, const std::wstring& mac,
                                unsigned long interfaceIndex) = 0;
    // ...and the route table a route to `address` alone (a /32) on the link, through no
    // gateway, on that adapter (0: any): the kind Varnok makes.
    virtual Seen HostRoute(const IPv4Address& address, unsigned long interfaceIndex) = 0;
    // A permanent neighbour entry for `address` on any adapter.
    virtual StaticEntry StaticEntryAt(const IPv4Address& address) = 0;
};
