// The few ways Winsock and BSD sockets differ, so that the socket code itself (socket.cpp)
// is written once: the socket's type and lengths, closing it, resolving a name, the form of
// a receive timeout, and how a failure is told.
#pragma once

#include <cstddef>
#include <string>

#include "tftp/protocol.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace tftp::sys {

#ifdef _WIN32

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

// UTF-8 to UTF-16, for the system's wide-character calls (platform_win32.cpp).
std::wstring Wide(const std::string& utf8);

namespace net {

using Socket = SOCKET;
using BufferLength = int;
using AddressLength = int;
using AddressInfo = ADDRINFOW;
const Socket kInvalidSocket = INVALID_SOCKET;

inline int Resolve(const std::string& host, const AddressInfo& hints, AddressInfo*& list) {
    return GetAddrInfoW(Wide(host).c_str(), nullptr, &hints, &list);
}
inline void FreeResolved(AddressInfo* list) {
    FreeAddrInfoW(list);
}
inline void Close(Socket s) {
    closesocket(s);
}
// Why the last call failed, as the end of a sentence.
inline std::string LastFailure() {
    return " (error " + std::to_string(WSAGetLastError()) + ")";
}
// Windows reports an ICMP port unreachable as a failed receive on the next call;
// the client wants to keep listening for the real answer instead.
inline void KeepListeningAfterIcmpErrors(Socket s) {
    BOOL report = FALSE;
    DWORD returned = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
}
inline void SetReceiveTimeout(Socket s, Millis wait) {
    const DWORD ms = static_cast<DWORD>(wait);
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}

} // namespace net

#else

namespace net {

using Socket = int;
using BufferLength = std::size_t;
using AddressLength = socklen_t;
using AddressInfo = addrinfo;
const Socket kInvalidSocket = -1;

inline int Resolve(const std::string& host, const AddressInfo& hints, AddressInfo*& list) {
    return getaddrinfo(host.c_str(), nullptr, &hints, &list);
}
inline void FreeResolved(AddressInfo* list) {
    freeaddrinfo(list);
}
inline void Close(Socket s) {
    close(s);
}
// Why the last call failed, as the end of a sentence.
inline std::string LastFailure() {
    return std::string(": ") + std::strerror(errno);
}
// Here an ICMP error fails one receive only, which the client takes for nothing yet.
inline void KeepListeningAfterIcmpErrors(Socket) {}
inline void SetReceiveTimeout(Socket s, Millis wait) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(wait / 1000);
    tv.tv_usec = static_cast<suseconds_t>((wait % 1000) * 1000);
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

} // namespace net

#endif

} // namespace tftp::sys
