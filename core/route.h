// A host route to the unit's new address, for an address off the PC's own subnet, made
// and removed with the system's route.exe.
#pragma once

#include <optional>

#include "core/address.h"
#include "core/pc_tables.h"

class Route {
public:
    explicit Route(PcTables& tables) : tables_(tables) {}

    // route.exe ADD <address> MASK 255.255.255.255 0.0.0.0 [IF <interface index>]: bound
    // to the unit's adapter when its index is given.
    ProgramRun Add(const IPv4Address& address,
                   const std::optional<unsigned long>& interfaceIndex = std::nullopt);
    // route.exe DELETE <address> MASK 255.255.255.255: the host route added, nothing else.
    ProgramRun Delete(const IPv4Address& address);

private:
    PcTables& tables_;
};
