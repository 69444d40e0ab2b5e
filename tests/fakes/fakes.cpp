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
    EchoReply Send(const IPv4Address& destination, const EchoPayload& payload) override {
        Record(L"echo " + destination.ToText());
        if (world().onEcho) {
            world().onEcho();
        }
        const std::lock_guard<std::mutex> lock(traceMutex);
        world().echoPayloads.push_back(payload);
        if (world().echoReplies.empty()) {
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

EchoOpening RecordingSystem::OpenEcho() {
    Record(L"icmp load");
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
}

std::optional<IPv4Address> RecordingSystem::LocalAddress() {
    return world().localAddress;
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
