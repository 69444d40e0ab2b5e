// Peers to socket addresses and back, shared by both socket edges of the client (BSD
// sockets and Winsock lay out sockaddr_in and sockaddr_in6 alike). Include after the
// platform's socket headers.
#pragma once

#include <cstring>

#include "tftp/platform.h"

namespace tftp::sys::detail {

inline Peer ToPeer(const sockaddr_storage& ss) {
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

inline int FromPeer(const Peer& p, sockaddr_storage& ss) {
    std::memset(&ss, 0, sizeof ss);
    if (p.family == 6) {
        auto& a = reinterpret_cast<sockaddr_in6&>(ss);
        a.sin6_family = AF_INET6;
        std::memcpy(&a.sin6_addr, p.address.data(), 16);
        a.sin6_scope_id = p.scope;
        a.sin6_port = htons(p.port);
        return sizeof a;
    }
    auto& a = reinterpret_cast<sockaddr_in&>(ss);
    a.sin_family = AF_INET;
    std::memcpy(&a.sin_addr, p.address.data(), 4);
    a.sin_port = htons(p.port);
    return sizeof a;
}

} // namespace tftp::sys::detail
