// The static ARP entry that binds the unit's new address to its MAC while the
// configuration echo is sent, made and removed with the system's arp.exe.
#pragma once

#include <string>

#include "core/address.h"
#include "core/system.h"

class Arp {
public:
    // `mac` is passed to arp.exe as given; the assignment sequence gives the dash form.
    Arp(System& system, const IPv4Address& address, const std::wstring& mac);

    // arp.exe -s <address> <mac>.
    ProgramRun Add();
    // arp.exe -d <address>.
    ProgramRun Delete();

private:
    System& system_;
    std::wstring address_;
    std::wstring mac_;
};
