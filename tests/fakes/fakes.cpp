// The recording stand-ins.
#include "tests/fakes/fakes.h"

#include <memory>
#include <mutex>

#include "core/start_failure.h"

namespace fakes {

namespace {

std::mutex traceMutex;

// The real launcher turns a failed start into a shell code; 2 is "file not found".
ProgramRun Start(const Launch& launch) {
    {
        const std::lock_guard<std::mutex> lock(traceMutex);
        world().launches.push_back(launch);
    }
    return ReportStartResult(world().launchSucceeds(launch) ? 33 : 2);
}

class RecordingChannel : public EchoChannel {
public:
    ~RecordingChannel() override {
        Record(L"icmp close");
        Record(L"icmp free");
    }
    EchoReply Send(const IPv4Address& destination, const EchoPayload& payload,
                   unsigned timeoutMs) override {
        Record(L"echo " + destination.ToText() +
               (timeoutMs == 5000 ? L"" : L" wait " + std::to_wstring(timeoutMs)));
        if (timeoutMs != 5000) {
            const std::lock_guard<std::mutex> lock(traceMutex); // asked from several threads
            world().milliseconds += timeoutMs;
            return EchoReply{}; // a question to the segment, not one of the scripted echoes
        }
        if (world().onEcho) {
            world().onEcho();
        }
        const std::lock_guard<std::mutex> lock(traceMutex);
        world().echoPayloads.push_back(payload);
        if (world().echoReplies.empty()) {
            world().milliseconds += timeoutMs;
            return EchoReply{};
        }
        const EchoReply reply = world().echoReplies.front();
        world().echoReplies.pop_front();
        return reply;
    }
};

class RecordingClient : public RunningClient {
public:
    std::optional<ClientEnd> Await(unsigned) override {
        if (!world().clientExitCode) {
            return std::nullopt;
        }
        return ClientEnd{*world().clientExitCode, world().clientLastLine, world().clientOutput};
    }
    void End() override { Record(L"client ended"); }
};

} // namespace

World& world() {
    static World w;
    return w;
}

void Reset() {
    world() = World{};
}

void Record(const std::wstring& line) {
    const std::lock_guard<std::mutex> lock(traceMutex);
    world().trace.push_back(line);
}

std::vector<std::wstring> Trace() {
    const std::lock_guard<std::mutex> lock(traceMutex);
    return world().trace;
}

ProgramRun RecordingSystem::RunSystemProgram(const std::wstring& file,
                                             const std::wstring& parameters) {
    Record(L"sys " + file + L"|" + parameters);
    return Start({L"open", file, parameters, false});
}

ProgramRun RecordingSystem::ShellOpen(const std::wstring& file, const std::wstring& parameters) {
    Record(L"run open|" + file + L"|" + parameters + L"|show");
    return Start({L"open", file, parameters, true});
}

ProgramRun RecordingSystem::StartProgram(const std::wstring& program,
                                         const std::wstring& arguments) {
    Record(L"program " + program + L"|" + arguments);
    return Start({L"", program, arguments, true});
}

EchoOpening RecordingSystem::OpenEcho(const std::optional<IPv4Address>& source) {
    Record(L"icmp load" + (source ? L" from " + source->ToText() : L""));
    if (!world().icmpLoads) {
        return {EchoOpenFailure::LibraryMissing, nullptr};
    }
    if (!world().icmpMissingExports.empty()) {
        Record(L"icmp free");
        return {EchoOpenFailure::LibraryMissing, nullptr};
    }
    Record(L"icmp create");
    if (!world().icmpHandleCreates) {
        Record(L"icmp free");
        return {EchoOpenFailure::HandleFailed, nullptr};
    }
    return {EchoOpenFailure::None, std::make_unique<RecordingChannel>()};
}

void RecordingSystem::Pause(unsigned milliseconds) {
    Record(L"pause " + std::to_wstring(milliseconds));
    world().milliseconds += milliseconds;
}

std::vector<Adapter> RecordingSystem::Adapters() {
    return world().adapters;
}

std::optional<std::wstring> RecordingSystem::NeighbourMac(const IPv4Address& address,
                                                          unsigned long interfaceIndex) {
    Record(L"neighbour " + address.ToText() + L" on " + std::to_wstring(interfaceIndex));
    const auto found = world().neighbours.find(address.ToText());
    if (found == world().neighbours.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::vector<IPv4Address> RecordingSystem::OwnAddresses() {
    return world().ownAddresses;
}

ClientStart RecordingSystem::StartClient(const std::wstring& parameters) {
    Record(L"start C:\\work\\tftp.exe|" + parameters);
    const ProgramRun run = Start({L"open", L"C:\\work\\tftp.exe", parameters, false});
    if (!run.started) {
        return {nullptr, run.failure};
    }
    return {std::make_unique<RecordingClient>(), L""};
}

std::wstring RecordingSystem::ClientPath() {
    return L"C:\\work\\tftp.exe";
}

std::optional<FirewallRule> RecordingSystem::FindFirewallRule(const std::wstring& name) {
    Record(L"firewall find " + name);
    return world().firewallRule;
}

bool RecordingSystem::PutFirewallRule(const std::wstring& name, const FirewallRule& rule) {
    Record(L"firewall put " + name + L"|" + rule.program);
    if (world().firewallAccepts) {
        world().firewallRule = rule;
    }
    return world().firewallAccepts;
}

void RecordingSystem::RecordPendingChange(const PendingChange& change) {
    Record(L"record " + change.address.ToText() + (change.hostRoute ? L" route" : L""));
    world().pending = change;
}

std::optional<PendingChange> RecordingSystem::PendingChangeOnRecord() {
    return world().pending;
}

void RecordingSystem::ClearPendingChange() {
    Record(L"record clear");
    world().pending.reset();
}

namespace {

class RecordingLock : public TablesLock {
public:
    RecordingLock() {
        world().tablesLocked = true;
        ++world().tablesLockCount;
    }
    ~RecordingLock() override { world().tablesLocked = false; }
};

} // namespace

std::unique_ptr<TablesLock> RecordingSystem::LockTables(bool wait) {
    if (!wait && world().tablesLockedElsewhere) {
        return nullptr;
    }
    return std::make_unique<RecordingLock>();
}

LocalTime RecordingSystem::Now() {
    return world().now;
}

std::uint64_t RecordingSystem::Milliseconds() {
    const std::lock_guard<std::mutex> lock(traceMutex);
    return world().milliseconds;
}

std::optional<std::string> RecordingSystem::ReadDataFile(const std::wstring& name) {
    const std::lock_guard<std::mutex> lock(traceMutex);
    const auto found = world().dataFiles.find(name);
    if (found == world().dataFiles.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool RecordingSystem::ReplaceDataFile(const std::wstring& name, const std::string& bytes) {
    const std::lock_guard<std::mutex> lock(traceMutex);
    if (world().dataWritable) {
        world().dataFiles[name] = bytes;
    }
    return world().dataWritable;
}

bool RecordingSystem::AppendDataFile(const std::wstring& name, const std::string& header,
                                     const std::string& bytes, std::wstring& failure) {
    const std::lock_guard<std::mutex> lock(traceMutex);
    if (!world().dataWritable) {
        failure = L"Access is denied";
        return false;
    }
    std::string& file = world().dataFiles[name];
    file += (file.empty() ? header : "") + bytes;
    return true;
}

std::wstring RecordingSystem::DataFilePath(const std::wstring& name) {
    return world().dataFolder + L"\\" + name;
}

void RecordingNotices::ShowBox(const std::wstring& text) {
    if (world().onBox) {
        world().onBox(text);
    }
    Record(L"box " + text);
}

void RecordingNotices::MessageId(unsigned id, const std::wstring& secondLine) {
    Record(L"msg " + std::to_wstring(id) + (secondLine.empty() ? L"" : L"|" + secondLine));
}

void RecordingNotices::Warn(const std::wstring& text) {
    Record(L"appbox " + text);
}

void RecordingNotices::Beep() {
    Record(L"beep");
}

} // namespace fakes
