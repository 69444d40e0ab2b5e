// The segment as the search for units sees it: a small datagram to each address of a
// range, so that the PC asks who holds it, and the PC's neighbour table that keeps the
// answers. Windows implements it with Winsock and IP Helper (win32/roles.h); tests with a
// scripted table. Nothing here changes a table: no entry is made, nothing is left.
#pragma once

#include <string>
#include <vector>

#include "core/address.h"

struct Neighbour {
    IPv4Address address;
    std::wstring mac; // "00-50-c2-11-8b-b8"
};

class Neighbourhood {
public:
    virtual ~Neighbourhood() = default;
    // One datagram to each of `addresses`, sent from `source` (an address of the adapter)
    // without waiting for anything; they may be dropped, and nothing is expected back.
    virtual void Probe(const std::vector<IPv4Address>& addresses, const IPv4Address& source) = 0;
    // The neighbour table's entries on the adapter with `interfaceIndex` that some device
    // answered for (reachable, stale, delay, probe or permanent), with their MACs.
    virtual std::vector<Neighbour> Answered(unsigned long interfaceIndex) = 0;
};
