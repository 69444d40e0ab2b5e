// The PC's own addresses, from Windows Sockets (started by the application).
#include "win32/system.h"

#include <winsock2.h>

#include <cstring>

std::vector<IPv4Address> LocalAddresses() {
    std::vector<IPv4Address> addresses;
    // An empty name asks for the local host's own entry.
    const hostent* host = ::gethostbyname("");
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list) {
        return addresses;
    }
    for (char** each = host->h_addr_list; *each; ++each) {
        IPv4Address address;
        std::memcpy(address.octet.data(), *each, 4);
        addresses.push_back(address);
    }
    return addresses;
}

std::optional<IPv4Address> FirstLocalAddress() {
    const std::vector<IPv4Address> addresses = LocalAddresses();
    if (addresses.empty()) {
        return std::nullopt;
    }
    return addresses.front();
}

std::vector<IPv4Address> Win32System::OwnAddresses() {
    std::vector<IPv4Address> addresses = LocalAddresses();
    IPv4Address loopback;
    loopback.octet = {127, 0, 0, 1};
    addresses.push_back(loopback);
    return addresses;
}
