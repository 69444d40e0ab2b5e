// Choosing the adapter that reaches a unit.
#include "core/adapter.h"

namespace {

const AdapterAddress* AddressHolding(const Adapter& adapter, const IPv4Address& address) {
    for (const AdapterAddress& own : adapter.addresses) {
        if (SameNetwork(own.address, address, own.netmask)) {
            return &own;
        }
    }
    return nullptr;
}

} // namespace

UnitPath PathThrough(const Adapter& adapter, const IPv4Address& address) {
    UnitPath path;
    path.adapter = adapter;
    if (const AdapterAddress* own = AddressHolding(adapter, address)) {
        path.source = own->address;
        path.hostRoute = false;
    } else if (!adapter.addresses.empty()) {
        path.source = adapter.addresses.front().address;
    }
    return path;
}

std::optional<UnitPath> PathWithoutAsking(const std::vector<Adapter>& adapters,
                                          const IPv4Address& address) {
    if (adapters.empty()) {
        return UnitPath{};
    }
    const Adapter* holder = nullptr;
    std::size_t holders = 0;
    for (const Adapter& adapter : adapters) {
        if (AddressHolding(adapter, address)) {
            holder = &adapter;
            ++holders;
        }
    }
    if (holders == 1) {
        return PathThrough(*holder, address);
    }
    if (holders == 0 && adapters.size() == 1) {
        return PathThrough(adapters.front(), address);
    }
    // Several adapters on the unit's subnet, or several and none on it: only the
    // technician knows which cable leads to the unit.
    return std::nullopt;
}

std::size_t PreselectedAdapter(const std::vector<Adapter>& adapters,
                               const std::wstring& rememberedId) {
    for (std::size_t i = 0; i < adapters.size(); ++i) {
        if (!rememberedId.empty() && adapters[i].id == rememberedId) {
            return i;
        }
    }
    return 0;
}

std::wstring AdapterLabel(const Adapter& adapter) {
    std::wstring label = adapter.name;
    if (!adapter.addresses.empty()) {
        label += L" (" + adapter.addresses.front().address.ToText() + L")";
    }
    return label;
}

std::optional<std::vector<UnitPath>>
PathsTo(const std::vector<Adapter>& adapters, const std::vector<IPv4Address>& addresses,
        const std::function<std::optional<Adapter>()>& choose) {
    std::vector<UnitPath> paths;
    std::optional<Adapter> chosen;
    bool asked = false;
    for (const IPv4Address& address : addresses) {
        if (std::optional<UnitPath> path = PathWithoutAsking(adapters, address)) {
            paths.push_back(std::move(*path));
            continue;
        }
        if (!asked) {
            chosen = choose();
            asked = true;
        }
        if (!chosen) {
            return std::nullopt;
        }
        paths.push_back(PathThrough(*chosen, address));
    }
    return paths;
}
