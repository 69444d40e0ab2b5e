// The System interface on Windows: arp.exe and route.exe from the system directory,
// ICMP.DLL, the client kept from the program's resources in a folder of its own, the
// registry.
#pragma once

#include <string>
#include <utility>

#include "core/system.h"
#include "win32/client_file.h"

class Win32System : public System {
public:
    // The TFTP client is kept in, and started from, `clientFolder`.
    explicit Win32System(std::wstring clientFolder = DefaultClientFolder())
        : clientFolder_(std::move(clientFolder)) {}

    ProgramRun RunSystemProgram(const std::wstring& file, const std::wstring& parameters) override;
    ProgramRun ShellOpen(const std::wstring& file, const std::wstring& parameters) override;
    ProgramRun StartProgram(const std::wstring& program, const std::wstring& arguments) override;
    EchoOpening OpenEcho() override;
    void Pause(unsigned milliseconds) override;
    std::optional<IPv4Address> LocalAddress() override;
    std::vector<IPv4Address> OwnAddresses() override;
    ClientStart StartClient(const std::wstring& parameters) override;
    void RecordPendingChange(const PendingChange& change) override;
    std::optional<PendingChange> PendingChangeOnRecord() override;
    void ClearPendingChange() override;

private:
    std::wstring clientFolder_;
};

// The first address of the local host's entry (Windows Sockets must be started).
std::optional<IPv4Address> FirstLocalAddress();
// Every address of the local host's entry.
std::vector<IPv4Address> LocalAddresses();
