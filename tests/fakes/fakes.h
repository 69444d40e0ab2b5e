// Recording stand-ins for each role the system plays, and for the boxes, so the logic
// above them runs natively (and the pages under Wine) without touching the PC. Each
// stand-in keeps its own state; the calls of all of them go to one trace, in order, as
// short texts:
//   sys arp.exe|-d 10.0.0.7                  (PcTables::RunSystemProgram)
//   neighbour 10.0.0.7 on 7                  (PcTables::NeighbourMac)
//   icmp load [from 10.0.0.1] / icmp create / icmp close / icmp free
//   echo 10.0.0.7 [wait 1000] / pause 1000  (the wait when not the usual 5000 ms)
//   run open|http://10.0.0.7||show           (Desktop::ShellOpen)
//   firewall find NAME / firewall put NAME|PROGRAM
//   start C:\work\tftp.exe|-i ... / client ended
//   record 10.0.0.7 route / record clear     (ChangeRecord)
//   box SUCCESS! / msg 110 / msg 110|reason  (the program's own boxes)
//   addressbox Open it:|http://10.0.0.7      (the box with an address to copy)
//   appbox Enter a positive integer. / beep  (the input checks)
// The files, the settings and the lock are not traced: their stand-ins hold them.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/notices.h"
#include "core/services.h"

namespace fakes {

// The calls, in order; safe from the work's thread.
class Trace {
public:
    void Record(const std::wstring& line);
    std::vector<std::wstring> Lines() const;
    std::wstring Last() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::wstring> lines_;
};

// The clock: a fixed local time; the milliseconds advance with every pause and with every
// echo that waited in vain.
class FakeClock : public Clock {
public:
    explicit FakeClock(Trace& trace) : trace_(trace) {}
    LocalTime Now() override { return now; }
    std::uint64_t Milliseconds() override;
    void Pause(unsigned milliseconds) override;
    bool PauseUnlessStopped(unsigned milliseconds, std::stop_token stop) override;
    void Advance(std::uint64_t milliseconds);

    LocalTime now{2026, 12, 9, 14, 3, 22, 60};

private:
    Trace& trace_;
    std::mutex mutex_;
    std::uint64_t milliseconds_ = 0;
};

class FakeTables : public PcTables {
public:
    FakeTables(Trace& trace, Log& log) : trace_(trace), log_(log) {}
    ProgramRun RunSystemProgram(const std::wstring& file, const std::wstring& parameters) override;
    std::vector<Adapter> Adapters() override { return adapters; }
    std::vector<IPv4Address> OwnAddresses() override { return ownAddresses; }
    std::optional<std::wstring> NeighbourMac(const IPv4Address& address,
                                             unsigned long interfaceIndex) override;
    bool HasStaticEntry(const IPv4Address& address, const std::wstring& mac,
                        unsigned long interfaceIndex) override;
    Seen HostRoute(const IPv4Address& address, unsigned long interfaceIndex) override;
    StaticEntry StaticEntryAt(const IPv4Address& address) override;

    // Decides each start's answer by its parameters; all starts succeed by default.
    std::function<bool(const std::wstring& parameters)> starts = [](const std::wstring&) {
        return true;
    };
    // A program that started but changes nothing (access denied, say): by its parameters.
    std::function<bool(const std::wstring& parameters)> ignores = [](const std::wstring&) {
        return false;
    };
    // What a program that ignores its command prints.
    std::wstring ignoredOutput;
    // A program that runs past its time and is ended (after doing what it was asked), by
    // its parameters.
    std::function<bool(const std::wstring& parameters)> runsTooLong = [](const std::wstring&) {
        return false;
    };
    // Runs as each program starts, before any other (a test may hold it there).
    std::function<void()> onRun;
    // The static entries (address text -> MAC as given) and host routes (address text)
    // that arp.exe and route.exe made and have not removed.
    std::map<std::wstring, std::wstring> staticEntries;
    std::set<std::wstring> hostRoutes;
    // The neighbour and route tables cannot be read (IP Helper failing).
    bool unreadable = false;
    std::vector<Adapter> adapters;
    std::vector<IPv4Address> ownAddresses;
    // The neighbour table: address text -> MAC, as resolved by an echo.
    std::map<std::wstring, std::wstring> neighbours;

private:
    // What arp.exe or route.exe would do to the tables with `parameters`.
    void Apply(const std::wstring& file, const std::wstring& parameters);

    Trace& trace_;
    Log& log_;
    std::mutex mutex_; // units of a list run side by side
};

// The ICMP library: what preparing it gives, and one scripted reply per echo (no reply
// at all once the script is used up). Echoes with another wait than 5000 ms ask who
// holds an address: never answered, left out of the script and the payloads.
class FakeEchoes : public Echoes {
public:
    FakeEchoes(Trace& trace, FakeClock& clock) : trace_(trace), clock_(clock) {}
    EchoOpening Open(const std::optional<IPv4Address>& source) override;
    // One echo on an open channel.
    // A stop requested by then (onEcho may request one) gives the echo up without a reply.
    EchoReply Answer(const IPv4Address& destination, const EchoPayload& payload, unsigned timeoutMs,
                     std::stop_token stop = {});

    bool loads = true;
    std::set<std::string> missingExports;
    bool handleCreates = true;
    std::deque<EchoReply> replies;
    // The script for one address (text), taken before the shared one.
    std::map<std::wstring, std::deque<EchoReply>> repliesTo;
    std::vector<EchoPayload> payloads;
    // Runs before each echo is answered (a test may stop the work there).
    std::function<void()> onEcho;

private:
    Trace& trace_;
    FakeClock& clock_;
    std::mutex mutex_;
};

// The segment's answers: the table as it stands, and what each group of datagrams adds
// to it (the next look finds them).
class FakeNeighbourhood : public Neighbourhood {
public:
    explicit FakeNeighbourhood(Trace& trace) : trace_(trace) {}
    void Probe(const std::vector<IPv4Address>& addresses, const IPv4Address& source) override;
    std::vector<Neighbour> Answered(unsigned long interfaceIndex) override;

    std::map<unsigned long, std::vector<Neighbour>> table; // by interface
    // Answers that come once a probe has asked for their address, after `looks` more
    // looks at the table (0: the next look finds them).
    struct Later {
        unsigned long interfaceIndex;
        Neighbour neighbour;
        int looks = 0;
    };
    std::vector<Later> later;
    std::function<void()> onProbe;

private:
    Trace& trace_;
    std::vector<Later> asked_;
};

// How a started client ends; nothing means it never does.
class FakeClient : public ClientProgram {
public:
    FakeClient(Trace& trace, Log& log) : trace_(trace), log_(log) {}
    ClientStart Start(const std::wstring& parameters) override;
    std::wstring Path() override { return L"C:\\work\\tftp.exe"; }

    bool starts = true;
    std::optional<unsigned long> exitCode = 0ul;
    // A client whose parameters hold a key ends with its code and line instead (a unit
    // whose server refuses an image).
    std::map<std::wstring, std::pair<unsigned long, std::wstring>> endsWhere;
    std::wstring lastLine;
    std::wstring output;

private:
    Trace& trace_;
    Log& log_;
};

class FakeFirewall : public Firewall {
public:
    explicit FakeFirewall(Trace& trace) : trace_(trace) {}
    std::optional<FirewallRule> FindRule(const std::wstring& name) override;
    bool PutRule(const std::wstring& name, const FirewallRule& rule) override;
    RulesHeeded LocalRulesHeeded() override { return heedsLocalRules; }

    // The rule for the client, whether the firewall takes a new one, and whether it heeds
    // the PC's own rules.
    std::optional<FirewallRule> rule;
    bool accepts = true;
    RulesHeeded heedsLocalRules = RulesHeeded::Yes;

private:
    Trace& trace_;
};

// Varnok's own files by name, the technician's by path, and the log's bytes.
// Varnok's files, the technician's and the log, in memory. Error codes are the system's:
// 5 access denied, 32 held by another program, 2 not found.
class FakeStore : public OwnFiles, public UserFiles, public LogFile {
public:
    std::optional<std::string> Read(const std::wstring& name, FileError& error) override;
    FileError Replace(const std::wstring& name, const std::string& bytes) override;
    FileError Append(const std::wstring& name, const std::string& header,
                     const std::string& bytes) override;
    FileError Remove(const std::wstring& name) override;
    std::unique_ptr<HeldFile> Hold(const std::wstring& name, FileError& error) override;
    std::optional<std::uint64_t> WrittenAt(const std::wstring& name) override;
    std::wstring PathOf(const std::wstring& name) override { return folder + L"\\" + name; }
    std::wstring Words(const FileError& error) override;
    std::optional<std::wstring> ExistingFile(const std::wstring& typed) override;
    std::optional<std::string> ReadFile(const std::wstring& path, FileError& error) override;
    FileError SaveFile(const std::wstring& path, const std::string& bytes) override;
    ImageOpening OpenImage(const std::wstring& path) override;
    void Append(const std::string& bytes) override; // the log

    std::string File(const std::wstring& name);
    std::string LogBytes();

    std::map<std::wstring, std::string> files;     // Varnok's own, by name
    std::map<std::wstring, std::string> userFiles; // the technician's, by full path
    bool writable = true;
    // Files another program holds open without sharing writes: appends, replaces and
    // holding them fail.
    std::set<std::wstring> heldOpen;
    // Files that cannot be read (a disk error).
    std::set<std::wstring> unreadable;
    std::wstring folder = L"C:\\Users\\tech\\AppData\\Roaming\\Varnok";

private:
    friend class FakeHeldFile;
    FileError WhyNotWritable(const std::wstring& name) const;
    void Written(const std::wstring& name) { writtenAt_[name] = ++writes_; }

    std::recursive_mutex mutex_;
    std::string log_;
    std::set<std::wstring> held_; // by this process's HeldFiles
    std::map<std::wstring, std::uint64_t> writtenAt_;
    std::uint64_t writes_ = 0;
};

class FakeSettings : public Settings {
public:
    std::uint32_t Int(const wchar_t* section, const wchar_t* name, std::uint32_t fallback) override;
    std::wstring Text(const wchar_t* section, const wchar_t* name,
                      const std::wstring& fallback) override;
    std::vector<std::uint8_t> Bytes(const wchar_t* section, const wchar_t* name) override;
    bool PutInt(const wchar_t* section, const wchar_t* name, std::uint32_t value) override;
    bool PutText(const wchar_t* section, const wchar_t* name, const std::wstring& text) override;
    bool PutBytes(const wchar_t* section, const wchar_t* name,
                  const std::vector<std::uint8_t>& bytes) override;
    bool Remove(const wchar_t* section, const wchar_t* name) override;

    // "section\name" -> the value as it was put.
    std::map<std::wstring, std::uint32_t> ints;
    std::map<std::wstring, std::wstring> texts;
    std::map<std::wstring, std::vector<std::uint8_t>> bytes;
};

class FakeChanges : public ChangeRecord {
public:
    explicit FakeChanges(Trace& trace) : trace_(trace) {}
    void Add(const PendingChange& change) override;
    void Remove(const IPv4Address& address) override;
    std::vector<PendingChange> All() override;

    std::vector<PendingChange> pending;

private:
    Trace& trace_;
    std::mutex mutex_;
};

// The lock on the PC's tables: held now, held by another Varnok (a try then gives
// nothing; a wait is told and ends as `elsewhere` says), and how often it was taken.
class FakeLock : public TablesLock {
public:
    explicit FakeLock(Trace& trace) : trace_(trace) {}
    Acquisition Acquire(std::stop_token stop, const std::function<void()>& waiting) override;
    Acquisition TryAcquire() override;

    bool locked = false;
    bool lockedElsewhere = false;
    // What a wait for a lock held elsewhere comes to: taken after all (None), or refused.
    Acquisition::Refusal elsewhere = Acquisition::Refusal::None;
    int count = 0;

private:
    Acquisition Take();
    Trace& trace_;
    std::mutex mutex_;
};

class FakeDesktop : public Desktop {
public:
    FakeDesktop(Trace& trace, Log& log) : trace_(trace), log_(log) {}
    ProgramRun ShellOpen(const std::wstring& file, const std::wstring& parameters) override;

    bool opens = true; // the shell's answer

private:
    Trace& trace_;
    Log& log_;
};

class RecordingNotices : public Notices {
public:
    RecordingNotices(Trace& trace, Log& log) : Notices(log), trace_(trace) {}
    void MessageId(unsigned id, const std::wstring& secondLine = {}) override;
    void Warn(const std::wstring& text) override;
    void Beep() override;

    // Runs inside a box before it records, to look at the world at that moment.
    std::function<void(const std::wstring&)> onBox;

protected:
    void ShowBox(const std::wstring& text) override;
    void ShowAddressBox(const std::wstring& text, const std::wstring& address) override;

private:
    Trace& trace_;
};

enum class LogSwitch { Off, On };

// One stand-in for each role, on one trace, with the log on or off; Services() hands them
// down as the application does. The data store may be one of the tests' own.
class Pc {
public:
    explicit Pc(LogSwitch log = LogSwitch::Off,
                std::unique_ptr<FakeStore> ownStore = std::make_unique<FakeStore>());
    Pc(const Pc&) = delete;
    Pc& operator=(const Pc&) = delete;

    Services ServicesWith(Settings& settings);
    Services AllServices() { return ServicesWith(settings); }
    AssignmentRoles Assignment() { return AllServices().Assignment(); }
    UploadRoles Upload() { return AllServices().Upload(); }

    Trace trace;
    std::unique_ptr<FakeStore> storeOwner;
    FakeStore& store;
    std::unique_ptr<Log> logOwner; // declared before those that log
    Log& log;
    FakeClock clock{trace};
    FakeTables tables{trace, log};
    FakeEchoes echoes{trace, clock};
    FakeClient client{trace, log};
    FakeFirewall firewall{trace};
    FakeSettings settings;
    FakeChanges changes{trace};
    FakeLock lock{trace};
    FakeDesktop desktop{trace, log};
    FakeNeighbourhood neighbourhood{trace};
    CommissioningRecord record{store, log};
    RecordingNotices notices{trace, log};
};

} // namespace fakes
