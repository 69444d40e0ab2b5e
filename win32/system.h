// The System interface on Windows: arp.exe and route.exe from the system directory,
// ICMP.DLL, the client written out from the program's resources, the registry.
#pragma once

#include "core/system.h"

class Win32System : public System {
public:
    ProgramRun RunSystemProgram(const std::wstring& file, const std::wstring& parameters) override;
    ProgramRun ShellOpen(const std::wstring& file, const std::wstring& parameters) override;
    EchoOpening OpenEcho() override;
    void Pause(unsigned milliseconds) override;
    std::optional<IPv4Address> LocalAddress() override;
    ClientStart StartClient(const std::wstring& parameters) override;
    void RecordPendingChange(const PendingChange& change) override;
    std::optional<PendingChange> PendingChangeOnRecord() override;
    void ClearPendingChange() override;
};

// The first address of the local host's entry (Windows Sockets must be started).
std::optional<IPv4Address> FirstLocalAddress();
