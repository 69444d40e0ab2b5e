// The PC's network adapters and the way from the PC to a unit: which adapter, which of
// its addresses the PC speaks from, and whether a host route is needed. A laptop has
// Wi-Fi, a wired port, often a VPN: the unit is reached through the one on its segment.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/address.h"

struct AdapterAddress {
    IPv4Address address;
    IPv4Address netmask; // from the adapter's prefix length
};

struct Adapter {
    std::wstring id;         // the adapter's own name (a GUID on Windows); choices remember it
    std::wstring name;       // the name the technician knows: "Ethernet", "Wi-Fi"
    unsigned long index = 0; // its IPv4 interface index, as route.exe's IF takes it
    std::vector<AdapterAddress> addresses; // at least one in a list from System::Adapters
};

struct UnitPath {
    std::optional<Adapter> adapter; // none when no adapter is up: the system then picks
    IPv4Address source;             // the adapter's address the PC speaks from
    bool hostRoute = true;          // the unit's address is on none of the adapter's subnets
};

// The path through `adapter`: from its address whose subnet holds `address`, else from
// its first address with a host route.
UnitPath PathThrough(const Adapter& adapter, const IPv4Address& address);

// The path that needs no question: the one adapter whose subnet holds `address`; when
// none holds it, the only adapter up; when none is up, no adapter at all. Nothing when
// the technician must choose: several adapters are up and not exactly one holds it.
std::optional<UnitPath> PathWithoutAsking(const std::vector<Adapter>& adapters,
                                          const IPv4Address& address);

// Where the choice starts: the adapter remembered by `rememberedId` when it is still up,
// else the first.
std::size_t PreselectedAdapter(const std::vector<Adapter>& adapters,
                               const std::wstring& rememberedId);

// "Ethernet (10.77.0.1)": how a list or a line names the adapter.
std::wstring AdapterLabel(const Adapter& adapter);

// The way to each of `addresses`: PathWithoutAsking's where it decides, else through the
// adapter `choose` gives, asked at most once for all of them; nothing when it gives none.
std::optional<std::vector<UnitPath>> PathsTo(const std::vector<Adapter>& adapters,
                                             const std::vector<IPv4Address>& addresses,
                                             const std::function<std::optional<Adapter>()>& choose);
