// The configuration ping: up to three ICMP echoes to the unit's new address whose data
// carries the netmask and gateway. A reply with success status means the unit took them.
#pragma once

#include <string>

#include "common/address.h"
#include "unit/icmp.h"

class Ping {
public:
    // Loads ICMP.DLL and opens an ICMP handle; tells the user (messages 111 or 109) when
    // that fails, and the object then never sends.
    Ping();
    virtual ~Ping();
    Ping(const Ping&) = delete;
    Ping& operator=(const Ping&) = delete;

    // True when an echo reply with success status came within three attempts.
    bool Send(const IPv4Address& address, const IPv4Address& netmask, const IPv4Address& gateway);

    // The text of an IP status code for the log; empty for codes without one.
    static std::wstring StatusText(unsigned long status);

    // Ten zero bytes, 0x98 0x76, the netmask's four octets, the gateway's four octets.
    static icmp::Payload ConfigurationPayload(const IPv4Address& netmask,
                                              const IPv4Address& gateway);

private:
    bool Ready() const;

    icmp::EntryPoint createFile_ = nullptr;
    icmp::EntryPoint closeHandle_ = nullptr;
    icmp::EntryPoint sendEcho_ = nullptr;
    icmp::Library library_ = nullptr;
    icmp::Handle handle_ = nullptr;
};
