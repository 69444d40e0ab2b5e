// The configuration ping.
#include "core/ping.h"

#include <utility>

#include "core/log.h"

namespace {
constexpr int kAttempts = 3;
constexpr unsigned kPauseMs = 1000;
constexpr unsigned kTimeoutMs = 5000;
} // namespace

Ping::Ping(Echoes& echoes, Clock& clock, Log& log, const std::optional<IPv4Address>& source)
    : clock_(clock), log_(log) {
    EchoOpening opening = echoes.Open(source);
    failure_ = opening.failure;
    channel_ = std::move(opening.channel);
    if (!channel_ && failure_ == EchoOpenFailure::None) {
        failure_ = EchoOpenFailure::HandleFailed;
    }
}

EchoPayload Ping::ConfigurationPayload(const IPv4Address& netmask, const IPv4Address& gateway) {
    EchoPayload payload{};
    payload[10] = 0x98;
    payload[11] = 0x76;
    for (std::size_t i = 0; i < 4; ++i) {
        payload[12 + i] = netmask.octet[i];
        payload[16 + i] = gateway.octet[i];
    }
    return payload;
}

bool Ping::Send(const IPv4Address& address, const IPv4Address& netmask, const IPv4Address& gateway,
                std::stop_token stop) {
    if (!channel_) {
        return false;
    }
    const EchoPayload payload = ConfigurationPayload(netmask, gateway);
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        // A stop (the program closing, the console closed, "Stop") ends the pause and the
        // echo under way at once: on to the clean-up.
        if (stop.stop_requested() || (attempt > 1 && !clock_.PauseUnlessStopped(kPauseMs, stop))) {
            break;
        }
        const EchoReply reply = channel_->Send(address, payload, kTimeoutMs, stop);
        if (!reply.received) {
            continue;
        }
        if (reply.status == 0) {
            return true;
        }
        lastErrorStatus_ = reply.status;
        if (log_.On()) {
            log_.Write(L"ping ip=" + address.ToText() + L" netmask=" + netmask.ToText() +
                       L" gateway=" + gateway.ToText() + L" returned " + StatusText(reply.status));
        }
    }
    return false;
}

std::wstring Ping::StatusText(unsigned long status) {
    static const wchar_t* const texts[] = {
        L"Ping: Buffer to small",                  // 11001
        L"Ping: Destination net unreachable",      // 11002
        L"Ping: Destination host unreachable",     // 11003
        L"Ping: Destination protocol unreachable", // 11004
        L"Ping: Destination port unreachable",     // 11005
        L"Ping: No resources",                     // 11006
        L"Ping: Bad option",                       // 11007
        L"Ping: Hardware error",                   // 11008
        L"Ping: Packet too big",                   // 11009
        L"Ping: Request timed out",                // 11010
        L"Ping: Bad request",                      // 11011
        L"Ping: Bad route",                        // 11012
        L"Ping: TTL expired transit",              // 11013
        L"Ping: TTL expired reassem",              // 11014
        L"Ping: Parameter problem",                // 11015
        L"Ping: Source quench",                    // 11016
        L"Ping: Option too big",                   // 11017
        L"Ping: Bad destination",                  // 11018
    };
    constexpr unsigned long first = 11001;
    if (status < first || status >= first + std::size(texts)) {
        return L"";
    }
    return texts[status - first];
}

Outcome ConfigurationOutcome(Ping& ping, const IPv4Address& address, const IPv4Address& netmask,
                             const IPv4Address& gateway, std::stop_token stop) {
    switch (ping.OpenFailure()) {
    case EchoOpenFailure::LibraryMissing:
        return {Failure::EchoLibraryMissing};
    case EchoOpenFailure::HandleFailed:
        return {Failure::EchoHandleFailed};
    case EchoOpenFailure::None:
        break;
    }
    if (!ping.Send(address, netmask, gateway, stop)) {
        return {Failure::NoAnswer, Ping::StatusText(ping.LastErrorStatus()),
                ping.LastErrorStatus()};
    }
    return {};
}
