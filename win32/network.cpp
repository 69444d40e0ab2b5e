// The PC's adapters and its neighbour table, from the IP Helper library.
#include "win32/network.h"

// Winsock first, then the IP Helper headers, in this order.
#include <winsock2.h>

#include <ws2ipdef.h>

#include <iphlpapi.h>

#include <netioapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/address_holder.h"
#include "win32/system_library.h"

namespace {

// IP Helper's functions, loaded for each use (see system_library.h).
class IpHelper {
public:
    IpHelper()
        : getAdapters(library_.Find<decltype(&::GetAdaptersAddresses)>("GetAdaptersAddresses")),
          getNeighbours(library_.Find<decltype(&::GetIpNetTable2)>("GetIpNetTable2")),
          getRoutes(library_.Find<decltype(&::GetIpForwardTable2)>("GetIpForwardTable2")),
          freeTable(library_.Find<decltype(&::FreeMibTable)>("FreeMibTable")) {}

private:
    SystemLibrary library_{L"iphlpapi.dll"}; // first: the pointers below come from it

public:
    decltype(&::GetAdaptersAddresses) getAdapters;
    decltype(&::GetIpNetTable2) getNeighbours;
    decltype(&::GetIpForwardTable2) getRoutes;
    decltype(&::FreeMibTable) freeTable;
};

// A table IP Helper handed out, freed by it.
template <typename Table> class MibTable {
public:
    MibTable(const IpHelper& helper, Table* table) : helper_(helper), table_(table) {}
    ~MibTable() {
        if (table_) {
            helper_.freeTable(table_);
        }
    }
    MibTable(const MibTable&) = delete;
    MibTable& operator=(const MibTable&) = delete;

private:
    const IpHelper& helper_;
    Table* table_;
};

IPv4Address FromSocketAddress(const sockaddr* address) {
    IPv4Address result;
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    std::memcpy(result.octet.data(), &in->sin_addr, 4);
    return result;
}

IPv4Address NetmaskOf(unsigned prefixLength) {
    IPv4Address mask;
    for (unsigned bit = 0; bit < prefixLength && bit < 32; ++bit) {
        mask.octet[bit / 8] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
    }
    return mask;
}

std::wstring Widened(const char* text) {
    std::wstring out;
    for (; text && *text; ++text) {
        out += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    }
    return out;
}

} // namespace

std::vector<Adapter> UpAdapters() {
    constexpr ULONG kFlags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    // The list may grow between the size query and the read: asked again then.
    const IpHelper helper;
    std::vector<unsigned char> buffer(16 * 1024);
    ULONG size = static_cast<ULONG>(buffer.size());
    ULONG status = helper.getAdapters ? ERROR_BUFFER_OVERFLOW : ERROR_PROC_NOT_FOUND;
    for (int attempt = 0; attempt < 3 && status == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        status = helper.getAdapters(AF_INET, kFlags, nullptr,
                                    reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    std::vector<Adapter> adapters;
    if (status != NO_ERROR) {
        return adapters;
    }
    for (auto* each = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); each;
         each = each->Next) {
        if (each->OperStatus != IfOperStatusUp || each->IfType == IF_TYPE_SOFTWARE_LOOPBACK) {
            continue;
        }
        Adapter adapter;
        adapter.id = Widened(each->AdapterName);
        adapter.name = each->FriendlyName ? each->FriendlyName : adapter.id;
        adapter.index = each->IfIndex;
        for (auto* unicast = each->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            // A tentative, duplicate or deprecated address must not speak for the PC.
            if (unicast->Address.lpSockaddr && unicast->Address.lpSockaddr->sa_family == AF_INET &&
                unicast->DadState == IpDadStatePreferred) {
                adapter.addresses.push_back({FromSocketAddress(unicast->Address.lpSockaddr),
                                             NetmaskOf(unicast->OnLinkPrefixLength)});
            }
        }
        if (!adapter.addresses.empty()) {
            adapters.push_back(std::move(adapter));
        }
    }
    return adapters;
}

namespace {

// Calls `visit` with each IPv4 row of the neighbour table on `interfaceIndex` (0: any)
// until it answers true; true when one did.
// Whether `visit` says yes to a row of the neighbour table on that adapter (0: any); or
// that the table could not be read.
template <typename Visit> Seen AnyNeighbourRowSeen(unsigned long interfaceIndex, Visit visit) {
    const IpHelper helper;
    MIB_IPNET_TABLE2* table = nullptr;
    if (!helper.getNeighbours || !helper.freeTable ||
        helper.getNeighbours(AF_INET, &table) != NO_ERROR || !table) {
        return Seen::Unreadable;
    }
    const MibTable<MIB_IPNET_TABLE2> owner(helper, table);
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPNET_ROW2& row = table->Table[i];
        if (row.Address.si_family == AF_INET &&
            (interfaceIndex == 0 || row.InterfaceIndex == interfaceIndex) && visit(row)) {
            return Seen::There;
        }
    }
    return Seen::NotThere;
}

template <typename Visit> bool AnyNeighbourRow(unsigned long interfaceIndex, Visit visit) {
    return AnyNeighbourRowSeen(interfaceIndex, visit) == Seen::There;
}

// The same for the rows of `address`.
template <typename Visit>
Seen AnyNeighbourRowSeen(const IPv4Address& address, unsigned long interfaceIndex, Visit visit) {
    return AnyNeighbourRowSeen(interfaceIndex, [&address, &visit](const MIB_IPNET_ROW2& row) {
        return std::memcmp(&row.Address.Ipv4.sin_addr, address.octet.data(), 4) == 0 && visit(row);
    });
}
template <typename Visit>
bool AnyNeighbourRow(const IPv4Address& address, unsigned long interfaceIndex, Visit visit) {
    return AnyNeighbourRowSeen(address, interfaceIndex, visit) == Seen::There;
}

// "00-50-c2-11-8b-b8"; nothing for an address that is not six bytes or all zero (an entry
// still being resolved, or given up).
std::optional<std::wstring> MacOf(const MIB_IPNET_ROW2& row) {
    const unsigned char* mac = row.PhysicalAddress;
    if (row.PhysicalAddressLength != 6 ||
        std::all_of(mac, mac + 6, [](unsigned char b) { return b == 0; })) {
        return std::nullopt;
    }
    wchar_t text[18];
    std::swprintf(text, 18, L"%02x-%02x-%02x-%02x-%02x-%02x", mac[0], mac[1], mac[2], mac[3],
                  mac[4], mac[5]);
    return std::wstring(text);
}

} // namespace

namespace {

// An entry some device answered for: not one still being resolved, or given up.
bool Answered(const MIB_IPNET_ROW2& row) {
    return row.State == NlnsReachable || row.State == NlnsStale || row.State == NlnsDelay ||
           row.State == NlnsProbe || row.State == NlnsPermanent;
}

} // namespace

std::optional<std::wstring> ResolvedNeighbour(const IPv4Address& address,
                                              unsigned long interfaceIndex) {
    std::optional<std::wstring> found;
    AnyNeighbourRow(address, interfaceIndex, [&found](const MIB_IPNET_ROW2& row) {
        found = Answered(row) ? MacOf(row) : std::nullopt;
        return found.has_value();
    });
    return found;
}

std::vector<Neighbour> AnsweredNeighbours(unsigned long interfaceIndex) {
    std::vector<Neighbour> neighbours;
    AnyNeighbourRow(interfaceIndex, [&neighbours](const MIB_IPNET_ROW2& row) {
        if (const std::optional<std::wstring> mac = Answered(row) ? MacOf(row) : std::nullopt) {
            neighbours.push_back(
                {FromSocketAddress(reinterpret_cast<const sockaddr*>(&row.Address.Ipv4)), *mac});
        }
        return false; // every row
    });
    return neighbours;
}

namespace {

// A socket, closed by its owner.
class Socket {
public:
    Socket() : socket_(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) {}
    ~Socket() {
        if (socket_ != INVALID_SOCKET) {
            ::closesocket(socket_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET get() const { return socket_; }

private:
    SOCKET socket_;
};

sockaddr_in SocketAddress(const IPv4Address& address, unsigned short port) {
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = ::htons(port);
    std::memcpy(&in.sin_addr, address.octet.data(), 4);
    return in;
}

} // namespace

void SendProbes(const std::vector<IPv4Address>& addresses, const IPv4Address& source) {
    // The discard service's port: nothing a device runs is asked to act on it.
    constexpr unsigned short kDiscardPort = 9;
    const Socket socket;
    u_long nonBlocking = 1;
    const sockaddr_in from = SocketAddress(source, 0);
    if (socket.get() == INVALID_SOCKET || ::ioctlsocket(socket.get(), FIONBIO, &nonBlocking) != 0 ||
        ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0) {
        return;
    }
    const char byte = 0;
    for (const IPv4Address& address : addresses) {
        // The PC asks who holds the address and sends once it knows; a datagram it
        // cannot queue is dropped, which only a neighbour that never answers would miss.
        const sockaddr_in to = SocketAddress(address, kDiscardPort);
        ::sendto(socket.get(), &byte, 1, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
}

bool HasPermanentNeighbour(const IPv4Address& address, const std::wstring& mac,
                           unsigned long interfaceIndex) {
    return AnyNeighbourRow(address, interfaceIndex, [&mac](const MIB_IPNET_ROW2& row) {
        const std::optional<std::wstring> rowMac = MacOf(row);
        return row.State == NlnsPermanent && rowMac && SameMac(*rowMac, mac);
    });
}

StaticEntry PermanentNeighbour(const IPv4Address& address) {
    std::optional<std::wstring> found;
    const Seen seen = AnyNeighbourRowSeen(address, 0, [&found](const MIB_IPNET_ROW2& row) {
        found = row.State == NlnsPermanent ? MacOf(row) : std::nullopt;
        return found.has_value();
    });
    return {seen, found.value_or(L"")};
}

Seen OnLinkHostRoute(const IPv4Address& address, unsigned long interfaceIndex) {
    const IpHelper helper;
    MIB_IPFORWARD_TABLE2* table = nullptr;
    if (!helper.getRoutes || !helper.freeTable || helper.getRoutes(AF_INET, &table) != NO_ERROR ||
        !table) {
        return Seen::Unreadable;
    }
    const MibTable<MIB_IPFORWARD_TABLE2> owner(helper, table);
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPFORWARD_ROW2& row = table->Table[i];
        const IP_ADDRESS_PREFIX& prefix = row.DestinationPrefix;
        const bool onLink =
            row.NextHop.si_family == AF_INET && row.NextHop.Ipv4.sin_addr.s_addr == 0;
        if (prefix.Prefix.si_family == AF_INET && prefix.PrefixLength == 32 && onLink &&
            std::memcmp(&prefix.Prefix.Ipv4.sin_addr, address.octet.data(), 4) == 0 &&
            (interfaceIndex == 0 || row.InterfaceIndex == interfaceIndex)) {
            return Seen::There;
        }
    }
    return Seen::NotThere;
}
