// Finding the units already on the network.
#include "core/sweep.h"

#include <algorithm>
#include <map>
#include <set>

#include "core/csv.h"
#include "core/mac_rule.h"
#include "core/record.h"
#include "core/text.h"

namespace {

// Datagrams go out in groups of this many, so that the PC's table of addresses still
// being asked for stays small; a /24 is one group.
constexpr std::size_t kProbeGroup = 256;
constexpr unsigned kGroupPauseMs = 50;
// A unit on the segment answers the first ARP request within milliseconds: the first
// look finds it. The PC asks again after about a second, which a unit busy at the first
// one answers: the last look finds that one too.
constexpr unsigned kFirstLookMs = 150;
constexpr unsigned kLastLookMs = 1100;

int PrefixLength(const IPv4Address& netmask) {
    int length = 0;
    for (std::uint32_t v = ValueOf(netmask); v & 0x80000000u; v <<= 1) {
        ++length;
    }
    return length;
}

// The subnet's network and broadcast addresses, as numbers.
std::pair<std::uint32_t, std::uint32_t> SubnetBounds(const AdapterAddress& address) {
    const std::uint32_t mask = ValueOf(address.netmask);
    const std::uint32_t network = ValueOf(address.address) & mask;
    return {network, network | ~mask};
}

const AdapterAddress* AddressHolding(const Adapter& adapter, const AddressRange& range) {
    for (const AdapterAddress& each : adapter.addresses) {
        if (SameNetwork(each.address, range.first, each.netmask) &&
            SameNetwork(each.address, range.last, each.netmask)) {
            return &each;
        }
    }
    return nullptr;
}

std::wstring ColonMac(std::wstring mac) {
    std::replace(mac.begin(), mac.end(), L'-', L':');
    std::transform(mac.begin(), mac.end(), mac.begin(), [](wchar_t c) {
        return c >= L'A' && c <= L'F' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
    });
    return mac;
}

} // namespace

AddressRange SubnetRange(const AdapterAddress& address) {
    const auto [network, broadcast] = SubnetBounds(address);
    if (broadcast - network < kMostSubnetSweep) {
        return {FromValue(network), FromValue(broadcast)};
    }
    // 1024 around the adapter's address, moved inward at the subnet's edges.
    const std::uint32_t half = kMostSubnetSweep / 2;
    const std::uint32_t own = ValueOf(address.address);
    const std::uint32_t first =
        std::clamp(own - std::min(own, half), network,
                   broadcast - static_cast<std::uint32_t>(kMostSubnetSweep - 1));
    return {FromValue(first), FromValue(first + static_cast<std::uint32_t>(kMostSubnetSweep - 1))};
}

SweepPlanning PlanSweep(const Adapter& adapter, const std::optional<AddressRange>& typed,
                        const std::vector<IPv4Address>& ownAddresses) {
    if (adapter.addresses.empty()) {
        return {std::nullopt, SweepFault::NotInSubnet, RangeEnd::First};
    }
    const AddressRange range = typed.value_or(SubnetRange(adapter.addresses.front()));
    const AdapterAddress* from = AddressHolding(adapter, range);
    if (!from) {
        const bool firstInside = AddressHolding(adapter, {range.first, range.first}) != nullptr;
        return {std::nullopt, SweepFault::NotInSubnet,
                firstInside ? RangeEnd::Last : RangeEnd::First};
    }
    const std::uint32_t first = ValueOf(range.first);
    const std::uint32_t last = ValueOf(range.last);
    if (first > last) {
        return {std::nullopt, SweepFault::Reversed, RangeEnd::First};
    }
    if (last - first >= kMostTypedSweep) {
        return {std::nullopt, SweepFault::TooMany, RangeEnd::Last};
    }
    SweepPlan plan{adapter, *from, range, {}};
    const auto [network, broadcast] = SubnetBounds(*from);
    const bool hasNetworkAddress = PrefixLength(from->netmask) <= 30; // /31 and /32: none
    for (std::uint32_t v = first;; ++v) {
        const IPv4Address address = FromValue(v);
        const bool own =
            std::find(ownAddresses.begin(), ownAddresses.end(), address) != ownAddresses.end();
        if (!own && !(hasNetworkAddress && (v == network || v == broadcast))) {
            plan.addresses.push_back(address);
        }
        if (v == last) {
            break;
        }
    }
    return {std::move(plan), SweepFault::None, RangeEnd::First};
}

std::wstring SweepFaultText(SweepFault fault) {
    switch (fault) {
    case SweepFault::None:
        break;
    case SweepFault::NotInSubnet:
        return L"The range must lie in the adapter's subnet.";
    case SweepFault::Reversed:
        return L"The range's first address must not be higher than its last.";
    case SweepFault::TooMany:
        return L"A range holds at most " + std::to_wstring(kMostTypedSweep) + L" addresses.";
    }
    return L"";
}

namespace {

std::wstring AdaptersUp(const std::vector<Adapter>& adapters) {
    if (adapters.empty()) {
        return L"No adapter is up.";
    }
    std::wstring text = L"Adapters up:";
    for (const Adapter& adapter : adapters) {
        text += L" " + AdapterLabel(adapter);
    }
    return text;
}

// The adapter that has `own` as one of its addresses, or whose subnet holds `range`.
std::optional<Adapter> AdapterWith(const std::vector<Adapter>& adapters,
                                   const std::function<bool(const AdapterAddress&)>& fits) {
    for (const Adapter& adapter : adapters) {
        if (std::any_of(adapter.addresses.begin(), adapter.addresses.end(), fits)) {
            return adapter;
        }
    }
    return std::nullopt;
}

} // namespace

SearchRequest PlanSearchCommand(const std::vector<std::wstring>& values,
                                const std::vector<Adapter>& adapters,
                                const std::optional<Adapter>& unnamed,
                                const std::vector<IPv4Address>& ownAddresses) {
    std::vector<IPv4Address> addresses;
    for (const std::wstring& value : values) {
        const std::optional<IPv4Address> address = ParseIPv4(TrimBlanks(value));
        if (!address) {
            return {std::nullopt, L"Not an IPv4 address: " + value};
        }
        addresses.push_back(*address);
    }
    std::optional<Adapter> adapter = unnamed;
    std::optional<AddressRange> range;
    std::wstring missing = L"Which adapter to search through is not clear: name its address.";
    if (addresses.size() == 1) {
        adapter = AdapterWith(adapters,
                              [&](const AdapterAddress& a) { return a.address == addresses[0]; });
        range = adapter ? std::optional(
                              SubnetRange(*AddressHolding(*adapter, {addresses[0], addresses[0]})))
                        : std::nullopt;
        missing = L"No adapter up has the address " + addresses[0].ToText() + L".";
    } else if (addresses.size() == 2) {
        range = AddressRange{addresses[0], addresses[1]};
        adapter = AdapterWith(adapters, [&](const AdapterAddress& a) {
            return SameNetwork(a.address, range->first, a.netmask) &&
                   SameNetwork(a.address, range->last, a.netmask);
        });
        missing = L"No adapter up has " + range->first.ToText() + L" to " + range->last.ToText() +
                  L" in its subnet.";
    }
    if (!adapter) {
        return {std::nullopt, missing + L"\n" + AdaptersUp(adapters)};
    }
    SweepPlanning planning = PlanSweep(*adapter, range, ownAddresses);
    if (!planning.plan) {
        return {std::nullopt, SweepFaultText(planning.fault)};
    }
    return {std::move(planning.plan), L""};
}

std::string FoundUnitsCsv(const std::vector<FoundUnit>& units, const std::wstring& adapterLabel) {
    std::wstring text = L"serials,mac,address,adapter,seen\r\n";
    for (const FoundUnit& unit : units) {
        text += CsvField(unit.serials) + L"," + CsvField(unit.mac) + L"," +
                CsvField(unit.address.ToText()) + L"," + CsvField(adapterLabel) + L"," +
                CsvField(Iso8601(unit.seen)) + L"\r\n";
    }
    return ToUtf8(text);
}

namespace {

// The units a search has found, each told once.
class Finds {
public:
    Finds(const SweepPlan& plan, const SweepRoles& roles, const SweepEvents& events)
        : roles_(roles), events_(events) {
        for (const IPv4Address& address : plan.addresses) {
            swept_.insert(ValueOf(address));
        }
        index_ = plan.adapter.index;
    }

    // Reads the table; the units of the range not yet seen are told.
    void Look() {
        for (const Neighbour& neighbour : roles_.neighbourhood.Answered(index_)) {
            const std::uint32_t v = ValueOf(neighbour.address);
            if (!swept_.contains(v) || found_.contains(v) || !IsUnitMac(neighbour.mac)) {
                continue;
            }
            const std::wstring serials = SerialsText(SerialsOfMac(neighbour.mac));
            const FoundUnit unit{neighbour.address, ColonMac(neighbour.mac),
                                 serials.empty() ? L"unknown" : serials, roles_.clock.Now()};
            found_.emplace(v, unit);
            if (events_.found) {
                events_.found(unit);
            }
        }
    }

    std::vector<FoundUnit> Sorted() const {
        std::vector<FoundUnit> units;
        for (const auto& [value, unit] : found_) {
            units.push_back(unit); // the map keeps them by address
        }
        return units;
    }

private:
    const SweepRoles& roles_;
    const SweepEvents& events_;
    unsigned long index_ = 0;
    std::set<std::uint32_t> swept_;
    std::map<std::uint32_t, FoundUnit> found_;
};

// Pauses until the clock reaches `at`, in short steps so that a stop is taken at once;
// false when stopped.
bool PauseUntil(Clock& clock, std::uint64_t at, std::stop_token stop) {
    for (std::uint64_t now = clock.Milliseconds(); now < at && !stop.stop_requested();
         now = clock.Milliseconds()) {
        clock.Pause(static_cast<unsigned>(std::min<std::uint64_t>(at - now, 100)));
    }
    return !stop.stop_requested();
}

} // namespace

std::vector<FoundUnit> FindUnits(const SweepRoles& roles, const SweepPlan& plan,
                                 const SweepEvents& events, std::stop_token stop) {
    const std::size_t groups = (plan.addresses.size() + kProbeGroup - 1) / kProbeGroup;
    const std::size_t steps = 1 + groups + 2; // first look, groups, two looks after
    std::size_t done = 0;
    const auto stepDone = [&] {
        if (events.progress) {
            events.progress(++done, steps);
        }
    };
    Finds finds(plan, roles, events);
    finds.Look();
    stepDone();
    for (std::size_t g = 0; g < groups && !stop.stop_requested(); ++g) {
        if (g > 0) {
            roles.clock.Pause(kGroupPauseMs);
        }
        const auto begin = plan.addresses.begin() + static_cast<std::ptrdiff_t>(g * kProbeGroup);
        const auto end = g + 1 == groups ? plan.addresses.end() : begin + kProbeGroup;
        roles.neighbourhood.Probe({begin, end}, plan.from.address);
        stepDone();
    }
    const std::uint64_t sentAt = roles.clock.Milliseconds();
    for (const unsigned after : {kFirstLookMs, kLastLookMs}) {
        if (!PauseUntil(roles.clock, sentAt + after, stop)) {
            break;
        }
        finds.Look();
        stepDone();
    }
    return finds.Sorted();
}
