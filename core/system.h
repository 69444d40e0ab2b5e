// What the commissioning core asks of the operating system, and nothing more: starting
// the system's own programs, the ICMP echo, a pause, the PC's adapters and neighbours,
// the TFTP client and its firewall rule, the record of a change in progress, the clock, the lock
// on the PC's tables that every running Varnok shares, and the files kept in the user's
// application-data folder. Windows implements it (win32/system.h); tests implement it with a
// recording stand-in. Calls may come from a worker thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/adapter.h"
#include "core/address.h"
#include "core/record.h"

// The 20 data bytes of a configuration echo.
using EchoPayload = std::array<std::uint8_t, 20>;

struct EchoReply {
    bool received = false;    // at least one reply record came back
    unsigned long status = 0; // the first record's IP status; 0 is success
};

// An open ICMP handle; closed, and its library released, when destroyed.
class EchoChannel {
public:
    virtual ~EchoChannel() = default;
    // One echo request with the payload; waits for a reply up to `timeoutMs`.
    virtual EchoReply Send(const IPv4Address& destination, const EchoPayload& payload,
                           unsigned timeoutMs) = 0;
};

enum class EchoOpenFailure { None, LibraryMissing, HandleFailed };

struct EchoOpening {
    EchoOpenFailure failure = EchoOpenFailure::None;
    std::unique_ptr<EchoChannel> channel; // set when failure is None
};

// How a start of a program went: `failure` says why it did not start, in the words the
// log uses.
struct ProgramRun {
    bool started = false;
    std::wstring failure;
};

struct ClientEnd {
    unsigned long exitCode = 0;
    std::wstring lastLine; // the last non-empty line the client printed
    std::wstring output;   // all it printed (its last 64 KiB at most)
};

// A TFTP client process that runs on its own.
class RunningClient {
public:
    virtual ~RunningClient() = default;
    // Waits at most `milliseconds` for its end; nothing while it still runs.
    virtual std::optional<ClientEnd> Await(unsigned milliseconds) = 0;
    // Ends it at once.
    virtual void End() = 0;
};

struct ClientStart {
    std::unique_ptr<RunningClient> client; // null when it did not start
    std::wstring failure;
};

// An inbound firewall rule for one program.
struct FirewallRule {
    std::wstring program; // its full path
    bool enabled = false;
    bool allowsUdpIn = false; // inbound, UDP, allow
    bool allProfiles = false; // domain, private and public

    bool operator==(const FirewallRule&) const = default;
};

// A change to the PC's tables that is under way: the static ARP entry for `address`,
// and a host route to it when `hostRoute`.
struct PendingChange {
    IPv4Address address;
    bool hostRoute = false;
};

// Held while one sequence changes the PC's ARP table and routes; released when destroyed.
class TablesLock {
public:
    virtual ~TablesLock() = default;
};

class System {
public:
    virtual ~System() = default;

    // One of the system's own programs (arp.exe, route.exe), window hidden, awaited
    // until it ends (bounded).
    virtual ProgramRun RunSystemProgram(const std::wstring& file,
                                        const std::wstring& parameters) = 0;
    // Opens a document or web address with the shell, or starts a program: as the user of
    // the desktop where the desktop's shell can do it, else with Varnok's own rights.
    virtual ProgramRun ShellOpen(const std::wstring& file, const std::wstring& parameters) = 0;
    // Starts the program at the full path `program` with `arguments`, window shown, not
    // through the shell and not awaited.
    virtual ProgramRun StartProgram(const std::wstring& program, const std::wstring& arguments) = 0;

    // Echoes sent from `source` (one of the PC's addresses) leave through its adapter;
    // without it the system picks the adapter.
    virtual EchoOpening OpenEcho(const std::optional<IPv4Address>& source = std::nullopt) = 0;
    virtual void Pause(unsigned milliseconds) = 0;
    // The PC's IPv4 adapters that are up, loopback left out, in the system's order.
    virtual std::vector<Adapter> Adapters() = 0;
    // Every IPv4 address of the PC.
    virtual std::vector<IPv4Address> OwnAddresses() = 0;
    // The MAC ("00-50-c2-11-8b-b8") that the neighbour table holds for `address` on the
    // adapter with `interfaceIndex` (0: any), when the address was resolved; nothing when
    // nobody answered for it.
    virtual std::optional<std::wstring> NeighbourMac(const IPv4Address& address,
                                                     unsigned long interfaceIndex) = 0;

    // Starts the TFTP client with `parameters`, window hidden, its output captured.
    virtual ClientStart StartClient(const std::wstring& parameters) = 0;
    // Where the client is started from.
    virtual std::wstring ClientPath() = 0;
    // The firewall's rule called `name`; nothing when there is none or it cannot be read.
    virtual std::optional<FirewallRule> FindFirewallRule(const std::wstring& name) = 0;
    // Creates the rule called `name`, or makes it `rule`; false when the firewall refused.
    virtual bool PutFirewallRule(const std::wstring& name, const FirewallRule& rule) = 0;

    // Kept where a crash cannot lose it, so that the next start can undo the change.
    virtual void RecordPendingChange(const PendingChange& change) = 0;
    virtual std::optional<PendingChange> PendingChangeOnRecord() = 0;
    virtual void ClearPendingChange() = 0;

    // Waits until no other sequence, of this Varnok or another one (a window, a command
    // line), changes the PC's tables, and keeps them to this one while the lock lives.
    // Without `wait`, nothing when another sequence holds it now.
    virtual std::unique_ptr<TablesLock> LockTables(bool wait = true) = 0;

    // The local time with its offset from UTC, and a steady count of milliseconds for
    // how long something took.
    virtual LocalTime Now() = 0;
    virtual std::uint64_t Milliseconds() = 0;

    // Files of Varnok's own in the user's application-data folder, by name: read whole
    // (nothing when missing or unreadable), replaced whole (the old one stays whole until
    // the new one is complete), appended to (`header` first when the file is new or
    // empty; `failure` says why not). Their full path, for the technician.
    virtual std::optional<std::string> ReadDataFile(const std::wstring& name) = 0;
    virtual bool ReplaceDataFile(const std::wstring& name, const std::string& bytes) = 0;
    virtual bool AppendDataFile(const std::wstring& name, const std::string& header,
                                const std::string& bytes, std::wstring& failure) = 0;
    virtual std::wstring DataFilePath(const std::wstring& name) = 0;
};
