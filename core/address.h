// IPv4 addresses as the program holds them: four octets, leftmost first, so that read
// as one 32-bit value in memory they are in network byte order.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

struct IPv4Address {
    std::array<std::uint8_t, 4> octet{}; // octet[0] is the leftmost number: 192 of 192.168.1.50

    // Dotted decimal text, no leading zeros: "10.0.0.1".
    std::wstring ToText() const;
    bool operator==(const IPv4Address&) const = default;
};

// The address as one number, the leftmost octet highest (10.0.0.1 is 0x0A000001), and
// back.
std::uint32_t ValueOf(const IPv4Address& address);
IPv4Address FromValue(std::uint32_t value);

// The network parts of `a` and `b` under `netmask` (octet-wise AND) are equal.
bool SameNetwork(const IPv4Address& a, const IPv4Address& b, const IPv4Address& netmask);

// Strict dotted decimal: four numbers from 0 to 255 of one to three digits each ("010" is
// 10), separated by single dots, with nothing else before, between or after them. The
// caller trims blanks.
std::optional<IPv4Address> ParseIPv4(const std::wstring& text);
