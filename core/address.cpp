// IPv4 address helpers.
#include "core/address.h"

std::wstring IPv4Address::ToText() const {
    std::wstring text;
    for (std::size_t i = 0; i < octet.size(); ++i) {
        if (i > 0) {
            text += L'.';
        }
        text += std::to_wstring(static_cast<unsigned>(octet[i]));
    }
    return text;
}

std::uint32_t ValueOf(const IPv4Address& address) {
    return static_cast<std::uint32_t>(address.octet[0]) << 24 |
           static_cast<std::uint32_t>(address.octet[1]) << 16 |
           static_cast<std::uint32_t>(address.octet[2]) << 8 | address.octet[3];
}

IPv4Address FromValue(std::uint32_t value) {
    IPv4Address address;
    for (std::size_t i = 0; i < address.octet.size(); ++i) {
        address.octet[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
    return address;
}

bool SameNetwork(const IPv4Address& a, const IPv4Address& b, const IPv4Address& netmask) {
    IPv4Address netA;
    IPv4Address netB;
    for (std::size_t i = 0; i < netmask.octet.size(); ++i) {
        netA.octet[i] = a.octet[i] & netmask.octet[i];
        netB.octet[i] = b.octet[i] & netmask.octet[i];
    }
    return netA == netB;
}

std::optional<IPv4Address> ParseIPv4(const std::wstring& text) {
    IPv4Address address;
    std::size_t i = 0;
    for (std::size_t part = 0; part < address.octet.size(); ++part) {
        if (part > 0) {
            if (i == text.size() || text[i] != L'.') {
                return std::nullopt;
            }
            ++i;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        for (; digits < 3 && i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++digits) {
            value = value * 10 + static_cast<unsigned>(text[i++] - L'0');
        }
        if (digits == 0 || value > 255) {
            return std::nullopt;
        }
        address.octet[part] = static_cast<std::uint8_t>(value);
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    return address;
}
