// Ethernet frames as the simulated unit sees and sends them: an ICMP echo request read
// from the wire, and the echo reply or "host unreachable" error it answers with. Pure
// byte work, no socket and no system header, so that it runs in tests and under a fuzzer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace unitsim {

using Bytes = std::vector<std::uint8_t>;
using Mac = std::array<std::uint8_t, 6>;
using Ip4 = std::array<std::uint8_t, 4>;

// The ones'-complement sum of IPv4 and ICMP headers, ready to store big-endian.
std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size);

// An ICMP echo request carried in an Ethernet II frame, checked down to both checksums.
struct EchoRequest {
    Mac destinationMac{};
    Mac sourceMac{};
    Ip4 sourceIp{};
    Ip4 destinationIp{};
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
    Bytes ipHeader; // as received, options included: an error message quotes it
    Bytes data;     // the echo's data after the 8-byte ICMP header
};

// Nothing for anything but a well-formed, unfragmented IPv4 ICMP echo request; Ethernet
// padding after the IP datagram is allowed.
std::optional<EchoRequest> ParseEchoRequest(const std::uint8_t* frame, std::size_t size);

// What the configuration echo tells a unit: its new address is the echo's destination,
// netmask and gateway follow the marker 0x98 0x76 at data offset 10.
struct Configuration {
    Ip4 address{};
    Ip4 netmask{};
    Ip4 gateway{};
};
std::optional<Configuration> ConfigurationOf(const EchoRequest& request);

// The echo reply from `ownMac` and the request's destination address, same identifier,
// sequence and data.
Bytes BuildEchoReply(const EchoRequest& request, const Mac& ownMac);

// ICMP "destination unreachable, host unreachable" quoting the request's IP header and
// ICMP message, as a router on the way would send it.
Bytes BuildHostUnreachable(const EchoRequest& request, const Mac& ownMac);

std::string MacText(const Mac& mac);    // "00:50:c2:11:8b:b8"
std::string IpText(const Ip4& address); // "10.77.0.50"
// Leading one bits of a netmask: 24 for 255.255.255.0.
int PrefixLength(const Ip4& netmask);

} // namespace unitsim
