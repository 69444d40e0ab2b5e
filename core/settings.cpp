// The settings' typed helpers.
#include "core/settings.h"

IPv4Address Settings::Address(const wchar_t* section, const wchar_t* name, IPv4Address address) {
    const std::vector<std::uint8_t> bytes = Bytes(section, name);
    for (std::size_t i = 0; i < bytes.size() && i < address.octet.size(); ++i) {
        address.octet[i] = bytes[i];
    }
    return address;
}

bool Settings::PutAddress(const wchar_t* section, const wchar_t* name, const IPv4Address& address) {
    return PutBytes(section, name, {address.octet.begin(), address.octet.end()});
}
