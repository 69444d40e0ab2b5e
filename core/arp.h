// The static ARP entry that binds the unit's new address to its MAC while the
// configuration echo is sent, made and removed with the system's arp.exe.
#pragma once

#include <optional>
#include <string>

#include "core/address.h"
#include "core/pc_tables.h"

class Arp {
public:
    // `mac` is passed to arp.exe as given; the assignment sequence gives the dash form.
    // With `interfaceAddress` each run names the adapter that holds that address, so the
    // entry lands on the unit's adapter, not on "the first applicable interface".
    Arp(PcTables& tables, const IPv4Address& address, const std::wstring& mac,
        const std::optional<IPv4Address>& interfaceAddress = std::nullopt);

    // arp.exe -s <address> <mac> [<interface address>].
    ProgramRun Add();
    // arp.exe -d <address> [<interface address>].
    ProgramRun Delete();

private:
    PcTables& tables_;
    std::wstring address_;
    std::wstring mac_;
    std::wstring interface_; // " <interface address>", or empty
};
