// The PC's network adapters and neighbour table (IP Helper), for the PC tables' role.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/adapter.h"
#include "core/address.h"
#include "core/neighbourhood.h"
#include "core/pc_tables.h"

// The IPv4 adapters that are up, loopback left out, in the system's order, with their
// preferred addresses only.
std::vector<Adapter> UpAdapters();

// The MAC the neighbour table holds for `address` on interface `interfaceIndex` (0: any),
// when a device answered for it.
std::optional<std::wstring> ResolvedNeighbour(const IPv4Address& address,
                                              unsigned long interfaceIndex);

// Read-backs after arp.exe and route.exe: a permanent neighbour entry for `address` with
// `mac` (either form) on `interfaceIndex` (0: any), and an on-link route to `address`/32
// there (no gateway), or that the route table could not be read.
bool HasPermanentNeighbour(const IPv4Address& address, const std::wstring& mac,
                           unsigned long interfaceIndex);
Seen OnLinkHostRoute(const IPv4Address& address, unsigned long interfaceIndex);
// A permanent neighbour entry for `address` on any interface, and its MAC; or that the
// neighbour table could not be read.
StaticEntry PermanentNeighbour(const IPv4Address& address);

// The neighbour entries on `interfaceIndex` that a device answered for.
std::vector<Neighbour> AnsweredNeighbours(unsigned long interfaceIndex);
// One UDP datagram to each address's discard port, from `source`, without waiting.
void SendProbes(const std::vector<IPv4Address>& addresses, const IPv4Address& source);
