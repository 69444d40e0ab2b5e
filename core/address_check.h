// The checks of a unit's new address, netmask and gateway before anything is stored or
// run. Some addresses must never be used: 0.0.0.0 would make the host route's removal
// take the PC's default routes with it, and a unit at the PC's own address, a broadcast
// or a multicast address can never answer as itself.
#pragma once

#include <vector>

#include "core/address.h"

enum class AddressFault {
    None,
    IpMissing,            // 0.0.0.0
    IpLoopback,           // 127.x.x.x
    IpNotUnicast,         // 224.0.0.0 and above: multicast and reserved
    IpOwn,                // one of the PC's own addresses
    NetmaskMissing,       // 0.0.0.0
    NetmaskNotContiguous, // ones must lead, zeros follow
    IpIsNetworkAddress,   // all host bits zero (two or more host bits)
    IpIsBroadcastAddress, // all host bits one (two or more host bits)
    GatewayOutsideSubnet, // neither 0.0.0.0 (no gateway) nor in the new subnet
    GatewayIsIp,
};

enum class AddressField { Ip, Netmask, Gateway };

// The field a fault is about, so that the page can put the focus there.
AddressField FieldOf(AddressFault fault);

// The first fault, in the order of the fields; None when all three may be used.
AddressFault CheckAddresses(const IPv4Address& ip, const IPv4Address& netmask,
                            const IPv4Address& gateway,
                            const std::vector<IPv4Address>& ownAddresses);

// The checks of an address a unit already holds (an upload's): the address's own, and,
// when `netmask` is known (contiguous, not 0.0.0.0), no network or broadcast address.
AddressFault CheckUnitAddress(const IPv4Address& ip, const IPv4Address& netmask,
                              const std::vector<IPv4Address>& ownAddresses);

// A netmask of contiguous leading ones (0.0.0.0 and 255.255.255.255 included).
bool IsContiguousNetmask(const IPv4Address& netmask);
