// ICMP echoes: the configuration ping's and the question who holds an address. Windows
// sends them with ICMP.DLL (win32/roles.h); tests script the replies.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>

#include "core/address.h"

// The 20 data bytes of a configuration echo.
using EchoPayload = std::array<std::uint8_t, 20>;

struct EchoReply {
    bool received = false;    // at least one reply record came back
    unsigned long status = 0; // the first record's IP status; 0 is success
};

// An open ICMP handle; closed, and its library released, when destroyed.
class EchoChannel {
public:
    virtual ~EchoChannel() = default;
    // One echo request with the payload; waits for a reply up to `timeoutMs`, or until
    // `stop` is requested: then it gives up at once, with no reply.
    virtual EchoReply Send(const IPv4Address& destination, const EchoPayload& payload,
                           unsigned timeoutMs, std::stop_token stop) = 0;
};

enum class EchoOpenFailure { None, LibraryMissing, HandleFailed };

struct EchoOpening {
    EchoOpenFailure failure = EchoOpenFailure::None;
    std::unique_ptr<EchoChannel> channel; // set when failure is None
};

class Echoes {
public:
    virtual ~Echoes() = default;
    // Echoes sent from `source` (one of the PC's addresses) leave through its adapter;
    // without it the system picks the adapter.
    virtual EchoOpening Open(const std::optional<IPv4Address>& source = std::nullopt) = 0;
};
