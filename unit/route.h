// A host route to the unit's new address, for an address off the PC's own subnet, made
// and removed with the system's route.exe.
#pragma once

#include "common/address.h"

class Route {
public:
    virtual ~Route() = default;

    // route.exe ADD <address> MASK 255.255.255.255 0.0.0.0. True when it was started.
    bool Add(const IPv4Address& address);
    // route.exe DELETE <address>. True when it was started.
    bool Delete(const IPv4Address& address);
};
