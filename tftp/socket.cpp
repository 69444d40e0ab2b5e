// The client's UDP socket, one source for BSD sockets and Winsock alike: socket_api.h
// holds what differs between them. Both lay out sockaddr_in and sockaddr_in6 alike.
#include "tftp/platform.h"

#include <cstring>

#include "tftp/socket_api.h"

namespace tftp::sys {

namespace {

constexpr std::uintptr_t kNoSocket = ~std::uintptr_t{0};

net::Socket Handle(std::uintptr_t s) {
    return static_cast<net::Socket>(s);
}

Peer ToPeer(const sockaddr_storage& ss) {
    Peer p;
    if (ss.ss_family == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(ss);
        p.family = 6;
        std::memcpy(p.address.data(), &a.sin6_addr, 16);
        p.scope = a.sin6_scope_id;
        p.port = ntohs(a.sin6_port);
    } else {
        const auto& a = reinterpret_cast<const sockaddr_in&>(ss);
        p.family = 4;
        std::memcpy(p.address.data(), &a.sin_addr, 4);
        p.port = ntohs(a.sin_port);
    }
    return p;
}

net::AddressLength FromPeer(const Peer& p, sockaddr_storage& ss) {
    std::memset(&ss, 0, sizeof ss);
    if (p.family == 6) {
        auto& a = reinterpret_cast<sockaddr_in6&>(ss);
        a.sin6_family = AF_INET6;
        std::memcpy(&a.sin6_addr, p.address.data(), 16);
        a.sin6_scope_id = p.scope;
        a.sin6_port = htons(p.port);
        return static_cast<net::AddressLength>(sizeof a);
    }
    auto& a = reinterpret_cast<sockaddr_in&>(ss);
    a.sin_family = AF_INET;
    std::memcpy(&a.sin_addr, p.address.data(), 4);
    a.sin_port = htons(p.port);
    return static_cast<net::AddressLength>(sizeof a);
}

// The host's address; of a name with both, the IPv4 one.
bool ResolveHost(const std::string& host, sockaddr_storage& ss) {
    net::AddressInfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    net::AddressInfo* list = nullptr;
    if (net::Resolve(host, hints, list) != 0 || list == nullptr) {
        return false;
    }
    const net::AddressInfo* chosen = list;
    for (const net::AddressInfo* ai = list; ai != nullptr; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET) {
            chosen = ai;
            break;
        }
    }
    std::memcpy(&ss, chosen->ai_addr, chosen->ai_addrlen);
    const int family = chosen->ai_family;
    net::FreeResolved(list);
    return family == AF_INET || family == AF_INET6;
}

} // namespace

UdpSocket::~UdpSocket() {
    if (socket_ != kNoSocket) {
        net::Close(Handle(socket_));
    }
}

bool UdpSocket::Open(const std::string& host, std::uint16_t port, Peer& server,
                     std::string& error) {
    sockaddr_storage ss{};
    if (!ResolveHost(host, ss)) {
        error = "Unknown host " + host;
        return false;
    }
    server = ToPeer(ss);
    server.port = port;
    const net::Socket s = socket(ss.ss_family, SOCK_DGRAM, IPPROTO_UDP);
    if (s == net::kInvalidSocket) {
        error = "Cannot create a socket" + net::LastFailure();
        return false;
    }
    socket_ = static_cast<std::uintptr_t>(s);
    net::KeepListeningAfterIcmpErrors(s);
    // Room for a whole window of large blocks arriving at once.
    const int bytes = 1 << 20;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
    return true;
}

bool UdpSocket::Send(const Datagram& d) {
    sockaddr_storage ss;
    const net::AddressLength length = FromPeer(d.to, ss);
    const auto sent = sendto(Handle(socket_), reinterpret_cast<const char*>(d.bytes.data()),
                             static_cast<net::BufferLength>(d.bytes.size()), 0,
                             reinterpret_cast<const sockaddr*>(&ss), length);
    return sent >= 0 && static_cast<std::size_t>(sent) == d.bytes.size();
}

int UdpSocket::Receive(Millis timeout, Peer& from, std::vector<std::uint8_t>& buffer) {
    // A blocking receive with a receive timeout costs one system call per datagram where
    // waiting and receiving would cost two. The timeout is set only when it changes,
    // rounded down to 5 ms: waking a little early just means one more turn of the loop.
    // Never 0, which would mean no timeout at all.
    Millis wait = timeout > 5 ? timeout - timeout % 5 : 1;
    if (wait > 60000) {
        wait = 60000;
    }
    if (wait != receiveTimeout_) {
        net::SetReceiveTimeout(Handle(socket_), wait);
        receiveTimeout_ = wait;
    }
    buffer.resize(65536 + 4);
    sockaddr_storage ss{};
    net::AddressLength length = sizeof ss;
    const auto n = recvfrom(Handle(socket_), reinterpret_cast<char*>(buffer.data()),
                            static_cast<net::BufferLength>(buffer.size()), 0,
                            reinterpret_cast<sockaddr*>(&ss), &length);
    if (n < 0) {
        // Nothing yet, or an ICMP error for an earlier datagram: the timer decides.
        return 0;
    }
    buffer.resize(static_cast<std::size_t>(n));
    from = ToPeer(ss);
    return 1;
}

} // namespace tftp::sys
