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

bool IPv4Address::Equals(const IPv4Address& other) const {
    for (std::size_t i = 0; i < octet.size(); ++i) {
        if (octet[i] != other.octet[i]) {
            return false;
        }
    }
    return true;
}

bool SameNetwork(const IPv4Address& a, const IPv4Address& b, const IPv4Address& netmask) {
    IPv4Address netA;
    IPv4Address netB;
    for (std::size_t i = 0; i < netmask.octet.size(); ++i) {
        netA.octet[i] = a.octet[i] & netmask.octet[i];
        netB.octet[i] = b.octet[i] & netmask.octet[i];
    }
    return netA.Equals(netB);
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
