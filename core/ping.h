// The configuration ping: up to three ICMP echoes to the unit's new address whose data
// carries the netmask and gateway. A reply with success status means the unit took them.
#pragma once

#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "core/address.h"
#include "core/clock.h"
#include "core/echoes.h"
#include "core/outcome.h"

class Log;

class Ping {
public:
    // Opens an echo channel, from `source` when given; OpenFailure() tells when that
    // failed, and the object then never sends. The pauses between attempts are the
    // clock's; an error status goes to the log.
    Ping(Echoes& echoes, Clock& clock, Log& log,
         const std::optional<IPv4Address>& source = std::nullopt);
    Ping(const Ping&) = delete;
    Ping& operator=(const Ping&) = delete;

    EchoOpenFailure OpenFailure() const { return failure_; }

    // True when an echo reply with success status came within three attempts. A stop
    // request skips the attempts not yet made.
    bool Send(const IPv4Address& address, const IPv4Address& netmask, const IPv4Address& gateway,
              std::stop_token stop = {});
    // The status of the last reply that was not a success; 0 when there was none.
    unsigned long LastErrorStatus() const { return lastErrorStatus_; }

    // The text of an IP status code for the log; empty for codes without one.
    static std::wstring StatusText(unsigned long status);

    // Ten zero bytes, 0x98 0x76, the netmask's four octets, the gateway's four octets.
    static EchoPayload ConfigurationPayload(const IPv4Address& netmask, const IPv4Address& gateway);

private:
    Clock& clock_;
    Log& log_;
    EchoOpenFailure failure_ = EchoOpenFailure::None;
    std::unique_ptr<EchoChannel> channel_;
    unsigned long lastErrorStatus_ = 0;
};

// The configuration ping through `ping` as an outcome: the echo channel's failure, no
// answer (with the last error status), or success.
Outcome ConfigurationOutcome(Ping& ping, const IPv4Address& address, const IPv4Address& netmask,
                             const IPv4Address& gateway, std::stop_token stop = {});
