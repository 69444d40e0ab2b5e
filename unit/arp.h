// The static ARP entry that binds the unit's new address to its MAC while the
// configuration echo is sent, made and removed with the system's arp.exe.
#pragma once

#include <string>

#include "common/address.h"

class Arp {
public:
    // `mac` is passed to arp.exe as given; the assignment sequence gives the dash form.
    Arp(const IPv4Address& address, const std::wstring& mac);
    virtual ~Arp() = default;

    // arp.exe -s <address> <mac>. True when arp.exe was started.
    bool Add();
    // arp.exe -d <address>. True when arp.exe was started.
    bool Delete();

private:
    std::wstring address_;
    std::wstring mac_;
};
