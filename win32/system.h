// The System interface on Windows: arp.exe and route.exe from the system directory,
// ICMP.DLL, IP Helper's adapters and neighbour table, the client kept from the program's
// resources in a folder of its own, Windows Firewall, the registry, a named mutex, the
// clock and the user's application-data folder.
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
    EchoOpening OpenEcho(const std::optional<IPv4Address>& source) override;
    void Pause(unsigned milliseconds) override;
    std::vector<Adapter> Adapters() override;
    std::vector<IPv4Address> OwnAddresses() override;
    std::optional<std::wstring> NeighbourMac(const IPv4Address& address,
                                             unsigned long interfaceIndex) override;
    ClientStart StartClient(const std::wstring& parameters) override;
    std::wstring ClientPath() override;
    std::optional<FirewallRule> FindFirewallRule(const std::wstring& name) override;
    bool PutFirewallRule(const std::wstring& name, const FirewallRule& rule) override;
    void RecordPendingChange(const PendingChange& change) override;
    std::optional<PendingChange> PendingChangeOnRecord() override;
    void ClearPendingChange() override;
    std::unique_ptr<TablesLock> LockTables(bool wait) override;
    LocalTime Now() override;
    std::uint64_t Milliseconds() override;
    std::optional<std::string> ReadDataFile(const std::wstring& name) override;
    bool ReplaceDataFile(const std::wstring& name, const std::string& bytes) override;
    bool AppendDataFile(const std::wstring& name, const std::string& header,
                        const std::string& bytes, std::wstring& failure) override;
    std::wstring DataFilePath(const std::wstring& name) override;

private:
    std::wstring clientFolder_;
};
