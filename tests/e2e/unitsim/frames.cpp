#include "tests/e2e/unitsim/frames.h"

#include <algorithm>
#include <cstdio>

namespace unitsim {

namespace {

constexpr std::size_t kEthernetHeader = 14;
constexpr std::size_t kIcmpHeader = 8;
constexpr std::uint16_t kEtherTypeIPv4 = 0x0800;
constexpr std::uint8_t kProtocolIcmp = 1;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kUnreachable = 3;
constexpr std::uint8_t kHostUnreachable = 1;

std::uint16_t Read16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

void Put16(Bytes& out, std::size_t at, std::uint16_t value) {
    out[at] = static_cast<std::uint8_t>(value >> 8);
    out[at + 1] = static_cast<std::uint8_t>(value & 0xff);
}

// Ethernet header and a plain 20-byte IPv4 header for an ICMP message of `icmpSize`
// bytes; the caller fills the ICMP part from offset 34 and its checksum.
Bytes Frame(const Mac& to, const Mac& from, const Ip4& source, const Ip4& destination,
            std::size_t icmpSize) {
    Bytes out(kEthernetHeader + 20 + icmpSize, 0);
    std::copy(to.begin(), to.end(), out.begin());
    std::copy(from.begin(), from.end(), out.begin() + 6);
    Put16(out, 12, kEtherTypeIPv4);
    std::uint8_t* ip = out.data() + kEthernetHeader;
    ip[0] = 0x45;
    Put16(out, kEthernetHeader + 2, static_cast<std::uint16_t>(20 + icmpSize));
    ip[8] = 64; // time to live
    ip[9] = kProtocolIcmp;
    std::copy(source.begin(), source.end(), ip + 12);
    std::copy(destination.begin(), destination.end(), ip + 16);
    Put16(out, kEthernetHeader + 10, InternetChecksum(ip, 20));
    return out;
}

void SealIcmp(Bytes& frame) {
    const std::size_t at = kEthernetHeader + 20;
    Put16(frame, at + 2, InternetChecksum(frame.data() + at, frame.size() - at));
}

} // namespace

std::uint16_t InternetChecksum(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        sum += Read16(data + i);
    }
    if (size % 2) {
        sum += static_cast<std::uint32_t>(data[size - 1]) << 8;
    }
    while (sum >> 16) {
        sum = (sum & 0xffff) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum & 0xffff);
}

std::optional<EchoRequest> ParseEchoRequest(const std::uint8_t* frame, std::size_t size) {
    if (!frame || size < kEthernetHeader + 20 || Read16(frame + 12) != kEtherTypeIPv4) {
        return std::nullopt;
    }
    const std::uint8_t* ip = frame + kEthernetHeader;
    const std::size_t available = size - kEthernetHeader;
    const std::size_t headerSize = static_cast<std::size_t>(ip[0] & 0x0f) * 4;
    const std::size_t totalSize = Read16(ip + 2);
    if ((ip[0] >> 4) != 4 || headerSize < 20 || totalSize < headerSize + kIcmpHeader ||
        totalSize > available) {
        return std::nullopt;
    }
    // A fragment (more fragments set, or an offset) is not a whole echo.
    if ((Read16(ip + 6) & 0x3fff) != 0 || ip[9] != kProtocolIcmp ||
        InternetChecksum(ip, headerSize) != 0) {
        return std::nullopt;
    }
    const std::uint8_t* icmp = ip + headerSize;
    const std::size_t icmpSize = totalSize - headerSize;
    if (icmp[0] != kEchoRequest || icmp[1] != 0 || InternetChecksum(icmp, icmpSize) != 0) {
        return std::nullopt;
    }
    EchoRequest request;
    std::copy(frame, frame + 6, request.destinationMac.begin());
    std::copy(frame + 6, frame + 12, request.sourceMac.begin());
    std::copy(ip + 12, ip + 16, request.sourceIp.begin());
    std::copy(ip + 16, ip + 20, request.destinationIp.begin());
    request.identifier = Read16(icmp + 4);
    request.sequence = Read16(icmp + 6);
    request.ipHeader.assign(ip, ip + headerSize);
    request.data.assign(icmp + kIcmpHeader, icmp + icmpSize);
    return request;
}

std::optional<Configuration> ConfigurationOf(const EchoRequest& request) {
    const Bytes& d = request.data;
    if (d.size() < 20 || d[10] != 0x98 || d[11] != 0x76) {
        return std::nullopt;
    }
    Configuration c;
    c.address = request.destinationIp;
    std::copy(d.begin() + 12, d.begin() + 16, c.netmask.begin());
    std::copy(d.begin() + 16, d.begin() + 20, c.gateway.begin());
    return c;
}

Bytes BuildEchoReply(const EchoRequest& request, const Mac& ownMac) {
    Bytes out = Frame(request.sourceMac, ownMac, request.destinationIp, request.sourceIp,
                      kIcmpHeader + request.data.size());
    const std::size_t at = kEthernetHeader + 20;
    out[at] = kEchoReply;
    Put16(out, at + 4, request.identifier);
    Put16(out, at + 6, request.sequence);
    std::copy(request.data.begin(), request.data.end(), out.begin() + at + kIcmpHeader);
    SealIcmp(out);
    return out;
}

Bytes BuildHostUnreachable(const EchoRequest& request, const Mac& ownMac) {
    // The quoted datagram: the request's IP header and its ICMP message, rebuilt.
    Bytes icmp(kIcmpHeader + request.data.size(), 0);
    icmp[0] = kEchoRequest;
    Put16(icmp, 4, request.identifier);
    Put16(icmp, 6, request.sequence);
    std::copy(request.data.begin(), request.data.end(), icmp.begin() + kIcmpHeader);
    Put16(icmp, 2, InternetChecksum(icmp.data(), icmp.size()));

    const std::size_t quoted = request.ipHeader.size() + icmp.size();
    Bytes out = Frame(request.sourceMac, ownMac, request.destinationIp, request.sourceIp,
                      kIcmpHeader + quoted);
    const std::size_t at = kEthernetHeader + 20;
    out[at] = kUnreachable;
    out[at + 1] = kHostUnreachable;
    std::copy(request.ipHeader.begin(), request.ipHeader.end(), out.begin() + at + kIcmpHeader);
    std::copy(icmp.begin(), icmp.end(), out.begin() + at + kIcmpHeader + request.ipHeader.size());
    SealIcmp(out);
    return out;
}

std::string MacText(const Mac& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

std::string IpText(const Ip4& address) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", address[0], address[1], address[2], address[3]);
    return text;
}

int PrefixLength(const Ip4& netmask) {
    int bits = 0;
    for (const std::uint8_t octet : netmask) {
        for (int bit = 7; bit >= 0; --bit) {
            if (!(octet >> bit & 1)) {
                return bits;
            }
            ++bits;
        }
    }
    return bits;
}

} // namespace unitsim
