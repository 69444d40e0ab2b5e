// Recording stand-ins for the operating system and for the boxes, so the logic above
// them runs natively (and the pages under Wine) without touching the PC. Every call is
// appended to one trace, in order, as a short text:
//   sys arp.exe|-d 10.0.0.7                  (System::RunSystemProgram)
//   run open|http://10.0.0.7||show           (System::ShellOpen)
//   program C:\B\b.exe|-url http://10.0.0.7  (System::StartProgram)
//   icmp load [from 10.0.0.1] / icmp create / icmp close / icmp free
//   echo 10.0.0.7 [wait 1000] / pause 1000  (the wait when not the usual 5000 ms)
//   neighbour 10.0.0.7 on 7                  (System::NeighbourMac)
//   firewall find NAME / firewall put NAME|PROGRAM
//   start C:\work\tftp.exe|-i ... / client ended
//   record 10.0.0.7 route / record clear
//   (the data files and the lock are not traced: World holds them)
//   box SUCCESS! / msg 110 / msg 110|reason  (the program's own boxes)
//   appbox Enter a positive integer. / beep  (the input checks)
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/notices.h"
#include "core/address.h"
#include "core/system.h"

namespace fakes {

struct Launch {
    std::wstring operation, file, parameters; // no operation: started by its path
    bool show = false;
};

struct World {
    std::vector<std::wstring> trace;
    std::vector<Launch> launches;
    // Decides each start's answer; all starts succeed by default.
    std::function<bool(const Launch&)> launchSucceeds = [](const Launch&) { return true; };
    // Runs inside a box before it records, to look at the world at that moment.
    std::function<void(const std::wstring&)> onBox;
    std::vector<Adapter> adapters;
    std::vector<IPv4Address> ownAddresses;
    // The neighbour table: address text -> MAC, as resolved by an echo.
    std::map<std::wstring, std::wstring> neighbours;

    // The ICMP library: what preparing it gives, and one scripted reply per echo
    // (no reply at all once the script is used up). Echoes with another wait than 5000 ms
    // ask who holds an address: never answered, left out of the script and the payloads.
    bool icmpLoads = true;
    std::set<std::string> icmpMissingExports;
    bool icmpHandleCreates = true;
    std::deque<EchoReply> echoReplies;
    std::vector<EchoPayload> echoPayloads;
    // Runs before each echo is answered (a test may stop the work there).
    std::function<void()> onEcho;

    // How a started client ends; nothing means it never does.
    std::optional<unsigned long> clientExitCode = 0ul;
    std::wstring clientLastLine;
    std::wstring clientOutput;

    // The firewall's rule for the client, and whether it takes a new one.
    std::optional<FirewallRule> firewallRule;
    bool firewallAccepts = true;

    // The record of a change under way.
    std::optional<PendingChange> pending;

    // The lock on the PC's tables: held now, held by another Varnok (LockTables without
    // waiting then gives nothing), and how often it was taken.
    bool tablesLocked = false;
    bool tablesLockedElsewhere = false;
    int tablesLockCount = 0;
    // The clock: a fixed local time; the milliseconds advance with every pause and with
    // every echo that waited in vain.
    LocalTime now{2026, 12, 9, 14, 3, 22, 60};
    std::uint64_t milliseconds = 0;
    // The application-data files by name, and whether they can be written.
    std::map<std::wstring, std::string> dataFiles;
    bool dataWritable = true;
    std::wstring dataFolder = L"C:\\Users\\tech\\AppData\\Roaming\\Varnok"; // for DataFilePath
};

// The one world the fakes act on; Reset() before each test.
World& world();
void Reset();
// Appends to the trace; safe from the work's thread.
void Record(const std::wstring& line);
// A copy of the trace, taken safely.
std::vector<std::wstring> Trace();

class RecordingSystem : public System {
public:
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
};

class RecordingNotices : public Notices {
public:
    void MessageId(unsigned id, const std::wstring& secondLine = {}) override;
    void Warn(const std::wstring& text) override;
    void Beep() override;

protected:
    void ShowBox(const std::wstring& text) override;
};

} // namespace fakes
