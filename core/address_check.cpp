// The checks of the new addresses.
#include "core/address_check.h"

#include <algorithm>
#include <cstdint>

bool IsContiguousNetmask(const IPv4Address& netmask) {
    const std::uint32_t hostBits = ~ValueOf(netmask);
    return (hostBits & (hostBits + 1)) == 0; // the zeros form one block at the end
}

AddressField FieldOf(AddressFault fault) {
    switch (fault) {
    case AddressFault::NetmaskMissing:
    case AddressFault::NetmaskNotContiguous:
        return AddressField::Netmask;
    case AddressFault::GatewayOutsideSubnet:
    case AddressFault::GatewayIsIp:
        return AddressField::Gateway;
    default:
        return AddressField::Ip;
    }
}

namespace {

// The faults of the address alone.
AddressFault CheckAddressAlone(const IPv4Address& ip,
                               const std::vector<IPv4Address>& ownAddresses) {
    if (ValueOf(ip) == 0) {
        return AddressFault::IpMissing;
    }
    if (ip.octet[0] == 127) {
        return AddressFault::IpLoopback;
    }
    if (ip.octet[0] >= 224) {
        return AddressFault::IpNotUnicast;
    }
    if (std::any_of(ownAddresses.begin(), ownAddresses.end(),
                    [&](const IPv4Address& own) { return own == ip; })) {
        return AddressFault::IpOwn;
    }
    return AddressFault::None;
}

// The address's place in its subnet, under a contiguous netmask.
AddressFault CheckHostPart(const IPv4Address& ip, const IPv4Address& netmask) {
    const std::uint32_t address = ValueOf(ip);
    const std::uint32_t hostBits = ~ValueOf(netmask);
    if (hostBits >= 3) { // a /31 or /32 has no network or broadcast address of its own
        if ((address & hostBits) == 0) {
            return AddressFault::IpIsNetworkAddress;
        }
        if ((address & hostBits) == hostBits) {
            return AddressFault::IpIsBroadcastAddress;
        }
    }
    return AddressFault::None;
}

} // namespace

AddressFault CheckAddresses(const IPv4Address& ip, const IPv4Address& netmask,
                            const IPv4Address& gateway,
                            const std::vector<IPv4Address>& ownAddresses) {
    if (const AddressFault fault = CheckAddressAlone(ip, ownAddresses);
        fault != AddressFault::None) {
        return fault;
    }
    if (ValueOf(netmask) == 0) {
        return AddressFault::NetmaskMissing;
    }
    if (!IsContiguousNetmask(netmask)) {
        return AddressFault::NetmaskNotContiguous;
    }
    if (const AddressFault fault = CheckHostPart(ip, netmask); fault != AddressFault::None) {
        return fault;
    }
    if (ValueOf(gateway) != 0) {
        if (gateway == ip) {
            return AddressFault::GatewayIsIp;
        }
        if (!SameNetwork(gateway, ip, netmask)) {
            return AddressFault::GatewayOutsideSubnet;
        }
    }
    return AddressFault::None;
}

AddressFault CheckUnitAddress(const IPv4Address& ip, const IPv4Address& netmask,
                              const std::vector<IPv4Address>& ownAddresses) {
    if (const AddressFault fault = CheckAddressAlone(ip, ownAddresses);
        fault != AddressFault::None) {
        return fault;
    }
    const bool netmaskKnown = ValueOf(netmask) != 0 && IsContiguousNetmask(netmask);
    return netmaskKnown ? CheckHostPart(ip, netmask) : AddressFault::None;
}
