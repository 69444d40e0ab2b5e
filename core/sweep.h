// Finding the units already on the network. Units have no discovery protocol of their
// own, but each one that holds an address answers ARP for it, with a MAC from the units'
// block: a datagram to every address of a range makes the PC ask, its neighbour table
// then holds the answers, and the MAC rule read backwards names the serials.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "core/adapter.h"
#include "core/address.h"
#include "core/clock.h"
#include "core/neighbourhood.h"

// The most addresses one search covers: an adapter's subnet, and a range typed.
constexpr std::size_t kMostSubnetSweep = 1024;
constexpr std::size_t kMostTypedSweep = 4096;

struct AddressRange {
    IPv4Address first;
    IPv4Address last;
};

struct SweepPlan {
    Adapter adapter;
    AdapterAddress from;                // the adapter's address on the swept subnet
    AddressRange range;                 // what the technician is shown
    std::vector<IPv4Address> addresses; // the range without its subnet's network and
                                        // broadcast addresses and the PC's own
};

enum class SweepFault { None, NotInSubnet, Reversed, TooMany };

// Which address of a typed range a fault is about, so that the technician is taken there.
enum class RangeEnd { First, Last };

struct SweepPlanning {
    std::optional<SweepPlan> plan;
    SweepFault fault = SweepFault::None;
    // The first address when it lies in none of the adapter's subnets or above the last;
    // else the last.
    RangeEnd atFault = RangeEnd::First;
};

// The range an adapter's address proposes: its subnet, or for a subnet of more than
// 1024 addresses the 1024 around it (inside the subnet).
AddressRange SubnetRange(const AdapterAddress& address);

// A search through `adapter` of `range` (its first address's subnet range when none is
// typed). A typed range lies in one of the adapter's subnets, first to last, at most
// 4096 addresses.
SweepPlanning PlanSweep(const Adapter& adapter, const std::optional<AddressRange>& range,
                        const std::vector<IPv4Address>& ownAddresses);

std::wstring SweepFaultText(SweepFault fault);

// The search a command line asks for: `values` empty (through `unnamed`, the adapter a
// search goes to when none is named), one adapter's address (its subnet), or a range's
// first and last address (through the adapter whose subnet holds it). Nothing and why
// when it cannot run.
struct SearchRequest {
    std::optional<SweepPlan> plan;
    std::wstring problem;
};
SearchRequest PlanSearchCommand(const std::vector<std::wstring>& values,
                                const std::vector<Adapter>& adapters,
                                const std::optional<Adapter>& unnamed,
                                const std::vector<IPv4Address>& ownAddresses);

struct FoundUnit {
    IPv4Address address;
    std::wstring mac;     // colon form, lowercase
    std::wstring serials; // SerialsText, or "unknown"
    LocalTime seen;
};

// The units found through the adapter `adapterLabel` names, as a CSV file by the record's
// rules: "serials,mac,address,adapter,seen", a line each, CR LF, UTF-8.
std::string FoundUnitsCsv(const std::vector<FoundUnit>& units, const std::wstring& adapterLabel);

struct SweepEvents {
    std::function<void(const FoundUnit&)> found;                    // each unit once, as it shows
    std::function<void(std::size_t done, std::size_t of)> progress; // the sweep's steps
};

struct SweepRoles {
    Neighbourhood& neighbourhood;
    Clock& clock;
};

// Reads the table (units known already show at once), sends to every planned address,
// and reads the table again as answers come in. Returns every unit found, sorted by
// address. `stop` ends it after the step under way.
std::vector<FoundUnit> FindUnits(const SweepRoles& roles, const SweepPlan& plan,
                                 const SweepEvents& events, std::stop_token stop = {});
