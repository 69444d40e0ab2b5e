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
