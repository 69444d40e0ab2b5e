// The PC's first local address, from Windows Sockets (started by the application).
#include "win32/system.h"

#include <winsock2.h>

#include <cstring>

std::optional<IPv4Address> FirstLocalAddress() {
    // An empty name asks for the local host's own entry.
    const hostent* host = ::gethostbyname("");
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list ||
        !host->h_addr_list[0]) {
        return std::nullopt;
    }
    IPv4Address local;
    std::memcpy(local.octet.data(), host->h_addr_list[0], 4);
    return local;
}
