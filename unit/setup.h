// Giving a unit its new address, netmask and gateway: what "Apply" does.
#pragma once

#include <string>

#include "common/address.h"

class Setup {
public:
    // `mac` in colon form, as the address page shows it.
    Setup(const std::wstring& mac, const IPv4Address& address, const IPv4Address& netmask,
          const IPv4Address& gateway);
    virtual ~Setup() = default;

    // Host route when needed, static ARP entry, configuration ping, clean-up; ends with
    // "SUCCESS!" or "FAILED!!!" shown to the user.
    void Run();

    // The MAC as arp.exe takes it: every ':' turned into '-'.
    static std::wstring DashForm(const std::wstring& mac);

private:
    std::wstring mac_; // dash form
    IPv4Address address_;
    IPv4Address netmask_;
    IPv4Address gateway_;
};
