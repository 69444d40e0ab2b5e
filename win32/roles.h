// The roles the system plays for Varnok, on Windows: each a thin class over the Win32 code
// of its concern (launcher, network, icmp, client_file and process, firewall, data_files,
// settings, tables_lock, web_page). The application object owns one of each.
#pragma once

#include <mutex>
#include <string>

#include "core/change_record.h"
#include "core/client_program.h"
#include "core/clock.h"
#include "core/desktop.h"
#include "core/echoes.h"
#include "core/firewall.h"
#include "core/log.h"
#include "core/neighbourhood.h"
#include "core/pc_tables.h"
#include "core/settings.h"
#include "core/tables_lock.h"
#include "win32/client_file.h"
#include "win32/object_names.h"

// arp.exe and route.exe from the system directory; IP Helper's adapters and neighbours.
class Win32Tables : public PcTables {
public:
    explicit Win32Tables(Log& log) : log_(log) {}
    ProgramRun RunSystemProgram(const std::wstring& file, const std::wstring& parameters) override;
    std::vector<Adapter> Adapters() override;
    std::vector<IPv4Address> OwnAddresses() override;
    std::optional<std::wstring> NeighbourMac(const IPv4Address& address,
                                             unsigned long interfaceIndex) override;
    bool HasStaticEntry(const IPv4Address& address, const std::wstring& mac,
                        unsigned long interfaceIndex) override;
    Seen HostRoute(const IPv4Address& address, unsigned long interfaceIndex) override;
    StaticEntry StaticEntryAt(const IPv4Address& address) override;

private:
    Log& log_;
};

// ICMP.DLL, and iphlpapi.dll for echoes from a chosen address.
class Win32Echoes : public Echoes {
public:
    EchoOpening Open(const std::optional<IPv4Address>& source) override;
};

// The system clock; pauses are alertable sleeps.
class Win32Clock : public Clock {
public:
    LocalTime Now() override;
    std::uint64_t Milliseconds() override;
    void Pause(unsigned milliseconds) override;
    bool PauseUnlessStopped(unsigned milliseconds, std::stop_token stop) override;
};

// The client kept from the program's resources in a folder of its own, and started from
// there with its output captured.
class Win32Client : public ClientProgram {
public:
    // The client is kept in, and started from, `folder`.
    explicit Win32Client(Log& log, std::wstring folder = DefaultClientFolder())
        : log_(log), folder_(std::move(folder)) {}
    ClientStart Start(const std::wstring& parameters) override;
    std::wstring Path() override;

private:
    Log& log_;
    std::wstring folder_;
    // A list's units start their clients from several threads: one at a time finds (or
    // makes) the folder and writes the client, or two would write the same file at once.
    std::mutex mutex_;
};

// Windows Firewall's rules through INetFwPolicy2, from any thread.
class WindowsFirewall : public Firewall {
public:
    std::optional<FirewallRule> FindRule(const std::wstring& name) override;
    bool PutRule(const std::wstring& name, const FirewallRule& rule) override;
    RulesHeeded LocalRulesHeeded() override;
};

// The record of the changes under way, where only administrators can write:
// HKEY_LOCAL_MACHINE\Software\<company>\Varnok\Pending, one value per address (1 when a
// host route goes with the entry). A record an earlier version kept in the user's settings
// ("Pending": IP, HostRoute) is removed unread: anybody's programs can write there.
class MachineChangeRecord : public ChangeRecord {
public:
    MachineChangeRecord(std::wstring company, Settings& userSettings)
        : key_(L"Software\\" + company + L"\\Varnok\\Pending"), userSettings_(userSettings) {}
    void Add(const PendingChange& change) override;
    void Remove(const IPv4Address& address) override;
    std::vector<PendingChange> All() override;

private:
    std::wstring key_;
    Settings& userSettings_;
};

// A named mutex every Varnok on the PC shares, in Varnok's namespace (`names` outlives the
// lock and every hold of it); a wait for it lasts two minutes at most (tests shorten it).
class NamedTablesLock : public TablesLock {
public:
    explicit NamedTablesLock(const VarnokNamespace& names, unsigned patienceMs = 120'000)
        : names_(names), patienceMs_(patienceMs) {}
    Acquisition Acquire(std::stop_token stop, const std::function<void()>& waiting) override;
    Acquisition TryAcquire() override;

private:
    const VarnokNamespace& names_;
    unsigned patienceMs_;
};

// The desktop's shell.
class Win32Desktop : public Desktop {
public:
    explicit Win32Desktop(Log& log) : log_(log) {}
    ProgramRun ShellOpen(const std::wstring& file, const std::wstring& parameters) override;

private:
    Log& log_;
};

// Datagrams through Winsock and IP Helper's neighbour table.
class Win32Neighbourhood : public Neighbourhood {
public:
    void Probe(const std::vector<IPv4Address>& addresses, const IPv4Address& source) override;
    std::vector<Neighbour> Answered(unsigned long interfaceIndex) override;
};
