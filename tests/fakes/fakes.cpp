// The recording stand-ins.
#include "tests/fakes/fakes.h"

#include "core/text.h"
#include "core/upload.h"

namespace fakes {

namespace {

// A failed start reads as the shell's "file not found", as the real launcher says it.
ProgramRun Started(bool starts, Log& log) {
    return ReportStartResult(starts ? 33 : 2, log);
}

std::wstring Key(const wchar_t* section, const wchar_t* name) {
    return std::wstring(section) + L"\\" + name;
}

class RecordingChannel : public EchoChannel {
public:
    RecordingChannel(Trace& trace, FakeEchoes& echoes) : trace_(trace), echoes_(echoes) {}
    ~RecordingChannel() override {
        trace_.Record(L"icmp close");
        trace_.Record(L"icmp free");
    }
    EchoReply Send(const IPv4Address& destination, const EchoPayload& payload, unsigned timeoutMs,
                   std::stop_token stop) override {
        return echoes_.Answer(destination, payload, timeoutMs, stop);
    }

private:
    Trace& trace_;
    FakeEchoes& echoes_;
};

class RecordingClient : public RunningClient {
public:
    RecordingClient(Trace& trace, FakeClient& client, std::wstring parameters)
        : trace_(trace), client_(client), parameters_(std::move(parameters)) {}
    std::optional<ClientEnd> Await(unsigned) override {
        for (const auto& [key, end] : client_.endsWhere) {
            if (parameters_.find(key) != std::wstring::npos) {
                return ClientEnd{end.first, end.second, client_.output};
            }
        }
        if (!client_.exitCode) {
            return std::nullopt;
        }
        return ClientEnd{*client_.exitCode, client_.lastLine, client_.output};
    }
    void End() override { trace_.Record(L"client ended"); }

private:
    Trace& trace_;
    FakeClient& client_;
    std::wstring parameters_;
};

class RecordingLock : public TablesLock::Held {
public:
    explicit RecordingLock(FakeLock& lock) : lock_(lock) {
        lock_.locked = true;
        ++lock_.count;
    }
    ~RecordingLock() override { lock_.locked = false; }

private:
    FakeLock& lock_;
};

} // namespace

void Trace::Record(const std::wstring& line) {
    const std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
}

std::vector<std::wstring> Trace::Lines() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
}

std::wstring Trace::Last() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return lines_.empty() ? L"" : lines_.back();
}

void Trace::Clear() {
    const std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
}

std::uint64_t FakeClock::Milliseconds() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return milliseconds_;
}

void FakeClock::Pause(unsigned milliseconds) {
    trace_.Record(L"pause " + std::to_wstring(milliseconds));
    Advance(milliseconds);
}

bool FakeClock::PauseUnlessStopped(unsigned milliseconds, std::stop_token stop) {
    if (stop.stop_requested()) {
        trace_.Record(L"pause stopped");
        return false;
    }
    Pause(milliseconds);
    return true;
}

void FakeClock::Advance(std::uint64_t milliseconds) {
    const std::lock_guard<std::mutex> lock(mutex_);
    milliseconds_ += milliseconds;
}

ProgramRun FakeTables::RunSystemProgram(const std::wstring& file, const std::wstring& parameters) {
    trace_.Record(L"sys " + file + L"|" + parameters);
    if (onRun) {
        onRun();
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    ProgramRun run = Started(starts(parameters), log_);
    if (run.started && ignores(parameters)) {
        run.output = ignoredOutput;
    } else if (run.started) {
        Apply(file, parameters);
    }
    if (run.started && runsTooLong(parameters)) {
        run.ended = true;
        run.output = L"it did not finish within 10 s and was ended";
    }
    return run;
}

void FakeTables::Apply(const std::wstring& file, const std::wstring& parameters) {
    std::vector<std::wstring> words;
    for (std::size_t at = 0; at < parameters.size();) {
        const std::size_t end = std::min(parameters.find(L' ', at), parameters.size());
        words.push_back(parameters.substr(at, end - at));
        at = end + 1;
    }
    if (words.size() < 2) {
        return;
    }
    if (file == L"arp.exe" && words[0] == L"-s" && words.size() >= 3) {
        staticEntries[words[1]] = words[2];
    } else if (file == L"arp.exe" && words[0] == L"-d") {
        staticEntries.erase(words[1]);
    } else if (file == L"route.exe" && words[0] == L"ADD") {
        hostRoutes.insert(words[1]);
    } else if (file == L"route.exe" && words[0] == L"DELETE") {
        hostRoutes.erase(words[1]);
    }
}

bool FakeTables::HasStaticEntry(const IPv4Address& address, const std::wstring& mac,
                                unsigned long interfaceIndex) {
    trace_.Record(L"has entry " + address.ToText() + L" " + mac + L" on " +
                  std::to_wstring(interfaceIndex));
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = staticEntries.find(address.ToText());
    return found != staticEntries.end() && found->second == mac;
}

Seen FakeTables::HostRoute(const IPv4Address& address, unsigned long interfaceIndex) {
    trace_.Record(L"has route " + address.ToText() + L" on " + std::to_wstring(interfaceIndex));
    const std::lock_guard<std::mutex> lock(mutex_);
    if (unreadable) {
        return Seen::Unreadable;
    }
    return hostRoutes.count(address.ToText()) != 0 ? Seen::There : Seen::NotThere;
}

StaticEntry FakeTables::StaticEntryAt(const IPv4Address& address) {
    trace_.Record(L"static entry " + address.ToText());
    const std::lock_guard<std::mutex> lock(mutex_);
    if (unreadable) {
        return {Seen::Unreadable, L""};
    }
    const auto found = staticEntries.find(address.ToText());
    if (found == staticEntries.end()) {
        return {};
    }
    return {Seen::There, found->second};
}

std::optional<std::wstring> FakeTables::NeighbourMac(const IPv4Address& address,
                                                     unsigned long interfaceIndex) {
    trace_.Record(L"neighbour " + address.ToText() + L" on " + std::to_wstring(interfaceIndex));
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = neighbours.find(address.ToText());
    if (found == neighbours.end()) {
        return std::nullopt;
    }
    return found->second;
}

EchoOpening FakeEchoes::Open(const std::optional<IPv4Address>& source) {
    trace_.Record(L"icmp load" + (source ? L" from " + source->ToText() : L""));
    if (!loads) {
        return {EchoOpenFailure::LibraryMissing, nullptr};
    }
    if (!missingExports.empty()) {
        trace_.Record(L"icmp free");
        return {EchoOpenFailure::LibraryMissing, nullptr};
    }
    trace_.Record(L"icmp create");
    if (!handleCreates) {
        trace_.Record(L"icmp free");
        return {EchoOpenFailure::HandleFailed, nullptr};
    }
    return {EchoOpenFailure::None, std::make_unique<RecordingChannel>(trace_, *this)};
}

EchoReply FakeEchoes::Answer(const IPv4Address& destination, const EchoPayload& payload,
                             unsigned timeoutMs, std::stop_token stop) {
    trace_.Record(L"echo " + destination.ToText() +
                  (timeoutMs == 5000 ? L"" : L" wait " + std::to_wstring(timeoutMs)));
    if (timeoutMs != 5000) {
        clock_.Advance(timeoutMs);
        return EchoReply{}; // a question to the segment, not one of the scripted echoes
    }
    if (onEcho) {
        onEcho();
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    payloads.push_back(payload);
    if (stop.stop_requested()) {
        trace_.Record(L"echo given up");
        return EchoReply{};
    }
    const auto own = repliesTo.find(destination.ToText());
    std::deque<EchoReply>& script = own != repliesTo.end() ? own->second : replies;
    if (script.empty()) {
        clock_.Advance(timeoutMs);
        return EchoReply{};
    }
    const EchoReply reply = script.front();
    script.pop_front();
    return reply;
}

ClientStart FakeClient::Start(const std::wstring& parameters) {
    trace_.Record(L"start " + Path() + L"|" + parameters);
    const ProgramRun run = Started(starts, log_);
    if (!run.started) {
        return {nullptr, run.failure};
    }
    return {std::make_unique<RecordingClient>(trace_, *this, parameters), L""};
}

std::optional<FirewallRule> FakeFirewall::FindRule(const std::wstring& name) {
    trace_.Record(L"firewall find " + name);
    return rule;
}

bool FakeFirewall::PutRule(const std::wstring& name, const FirewallRule& wanted) {
    trace_.Record(L"firewall put " + name + L"|" + wanted.program);
    if (accepts) {
        rule = wanted;
    }
    return accepts;
}

FileError FakeStore::WhyNotWritable(const std::wstring& name) const {
    if (!writable) {
        return {FileError::System, 5};
    }
    if (heldOpen.count(name) || held_.count(name)) {
        return {FileError::System, 32};
    }
    return {};
}

std::optional<std::string> FakeStore::Read(const std::wstring& name, FileError& error) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (unreadable.count(name)) {
        error = {FileError::System, 5};
        return std::nullopt;
    }
    const auto found = files.find(name);
    if (found == files.end()) {
        return std::nullopt;
    }
    return found->second;
}

FileError FakeStore::Replace(const std::wstring& name, const std::string& bytes) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const FileError why = WhyNotWritable(name);
    if (!why) {
        files[name] = bytes;
        Written(name);
    }
    return why;
}

FileError FakeStore::Append(const std::wstring& name, const std::string& header,
                            const std::string& bytes) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const FileError why = WhyNotWritable(name);
    if (!why) {
        std::string& file = files[name];
        file += (file.empty() ? header : "") + bytes;
        Written(name);
    }
    return why;
}

FileError FakeStore::Remove(const std::wstring& name) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (const FileError why = WhyNotWritable(name)) {
        return why;
    }
    files.erase(name);
    return {};
}

// One of the fake's files held by the test's process alone, until let go.
class FakeHeldFile : public HeldFile {
public:
    FakeHeldFile(FakeStore& store, std::wstring name) : store_(store), name_(std::move(name)) {}
    ~FakeHeldFile() override {
        const std::lock_guard<std::recursive_mutex> lock(store_.mutex_);
        store_.held_.erase(name_);
        if (emptied_) {
            store_.files.erase(name_);
        }
    }
    std::optional<std::string> ReadAll(FileError& error) override {
        const std::lock_guard<std::recursive_mutex> lock(store_.mutex_);
        if (store_.unreadable.count(name_)) {
            error = {FileError::System, 23};
            return std::nullopt;
        }
        return store_.files[name_];
    }
    FileError Add(const std::string& bytes) override {
        const std::lock_guard<std::recursive_mutex> lock(store_.mutex_);
        if (!store_.writable) {
            return {FileError::System, 112}; // the disk is full
        }
        store_.files[name_] += bytes;
        store_.Written(name_);
        emptied_ = false;
        return {};
    }
    FileError Empty() override {
        const std::lock_guard<std::recursive_mutex> lock(store_.mutex_);
        store_.files[name_].clear();
        emptied_ = true;
        return {};
    }

private:
    FakeStore& store_;
    std::wstring name_;
    bool emptied_ = false;
};

std::unique_ptr<HeldFile> FakeStore::Hold(const std::wstring& name, FileError& error) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (heldOpen.count(name) || held_.count(name)) {
        error = {FileError::System, 32};
        return nullptr;
    }
    held_.insert(name);
    files[name]; // made when missing
    return std::make_unique<FakeHeldFile>(*this, name);
}

std::optional<std::uint64_t> FakeStore::WrittenAt(const std::wstring& name) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto found = writtenAt_.find(name);
    if (!files.count(name) || found == writtenAt_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::wstring FakeStore::Words(const FileError& error) {
    if (error.kind == FileError::NotPlain) {
        return L"a link leads from there elsewhere, so Varnok does not use it";
    }
    switch (error.code) {
    case 2:
        return L"The system cannot find the file specified";
    case 5:
        return L"Access is denied";
    case 32:
        return L"The process cannot access the file because it is being used by another process";
    case 112:
        return L"There is not enough space on the disk";
    }
    return L"error " + std::to_wstring(error.code);
}

FileError FakeStore::SaveFile(const std::wstring& path, const std::string& bytes) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!writable) {
        return {FileError::System, 5};
    }
    userFiles[path] = bytes;
    return {};
}

std::optional<std::wstring> FakeStore::ExistingFile(const std::wstring& typed) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const std::wstring path = CleanPath(typed);
    return userFiles.count(path) ? std::optional<std::wstring>(path) : std::nullopt;
}

std::optional<std::string> FakeStore::ReadFile(const std::wstring& path, FileError& error) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    const auto found = userFiles.find(path);
    if (found == userFiles.end()) {
        error = {FileError::System, 2};
        return std::nullopt;
    }
    return found->second;
}

ImageOpening FakeStore::OpenImage(const std::wstring& path) {
    FileError error;
    const std::optional<std::string> bytes = ReadFile(path, error);
    if (!bytes) {
        return {nullptr, {}, error};
    }
    return {std::make_unique<HeldImage>(), FileFacts{bytes->size(), std::string(64, '0')}, {}};
}

void FakeStore::Append(const std::string& bytes) {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    log_ += bytes;
}

std::string FakeStore::File(const std::wstring& name) {
    FileError error;
    return Read(name, error).value_or("");
}

std::string FakeStore::LogBytes() {
    const std::lock_guard<std::recursive_mutex> lock(mutex_);
    return log_;
}

std::uint32_t FakeSettings::Int(const wchar_t* section, const wchar_t* name,
                                std::uint32_t fallback) {
    const auto found = ints.find(Key(section, name));
    return found == ints.end() ? fallback : found->second;
}

std::wstring FakeSettings::Text(const wchar_t* section, const wchar_t* name,
                                const std::wstring& fallback) {
    const auto found = texts.find(Key(section, name));
    return found == texts.end() ? fallback : found->second;
}

std::vector<std::uint8_t> FakeSettings::Bytes(const wchar_t* section, const wchar_t* name) {
    const auto found = bytes.find(Key(section, name));
    return found == bytes.end() ? std::vector<std::uint8_t>{} : found->second;
}

bool FakeSettings::PutInt(const wchar_t* section, const wchar_t* name, std::uint32_t value) {
    ints[Key(section, name)] = value;
    return true;
}

bool FakeSettings::PutText(const wchar_t* section, const wchar_t* name, const std::wstring& text) {
    texts[Key(section, name)] = text;
    return true;
}

bool FakeSettings::PutBytes(const wchar_t* section, const wchar_t* name,
                            const std::vector<std::uint8_t>& value) {
    bytes[Key(section, name)] = value;
    return true;
}

bool FakeSettings::Remove(const wchar_t* section, const wchar_t* name) {
    ints.erase(Key(section, name));
    texts.erase(Key(section, name));
    bytes.erase(Key(section, name));
    return true;
}

void FakeChanges::Add(const PendingChange& change) {
    trace_.Record(L"record " + change.address.ToText() + (change.hostRoute ? L" route" : L""));
    const std::lock_guard<std::mutex> lock(mutex_);
    pending.push_back(change);
}

void FakeChanges::Remove(const IPv4Address& address) {
    trace_.Record(L"record clear");
    const std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(pending, [&](const PendingChange& change) { return change.address == address; });
}

std::vector<PendingChange> FakeChanges::All() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return pending;
}

TablesLock::Acquisition FakeLock::Take() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return {std::make_unique<RecordingLock>(*this), Acquisition::Refusal::None, L""};
}

TablesLock::Acquisition FakeLock::Acquire(std::stop_token stop,
                                          const std::function<void()>& waiting) {
    if (!lockedElsewhere) {
        return Take();
    }
    trace_.Record(L"lock waits");
    if (waiting) {
        waiting();
    }
    if (stop.stop_requested()) {
        return {nullptr, Acquisition::Refusal::Stopped, L""};
    }
    switch (elsewhere) {
    case Acquisition::Refusal::None:
        return Take();
    case Acquisition::Refusal::Foreign:
        return {nullptr, elsewhere, L"The lock belongs to another program."};
    case Acquisition::Refusal::Unavailable:
        return {nullptr, elsewhere, L"The lock could not be had."};
    default:
        return {nullptr, elsewhere, L"Another Varnok has been changing the PC's tables."};
    }
}

TablesLock::Acquisition FakeLock::TryAcquire() {
    if (lockedElsewhere) {
        return {nullptr, Acquisition::Refusal::Busy, L""};
    }
    return Take();
}

ProgramRun FakeDesktop::ShellOpen(const std::wstring& file, const std::wstring& parameters) {
    trace_.Record(L"run open|" + file + L"|" + parameters + L"|show");
    return Started(opens, log_);
}

void RecordingNotices::ShowBox(const std::wstring& text) {
    if (onBox) {
        onBox(text);
    }
    trace_.Record(L"box " + text);
}

void RecordingNotices::ShowAddressBox(const std::wstring& text, const std::wstring& address) {
    if (onBox) {
        onBox(text + L" " + address);
    }
    trace_.Record(L"addressbox " + text + L"|" + address);
}

void RecordingNotices::MessageId(unsigned id, const std::wstring& secondLine) {
    trace_.Record(L"msg " + std::to_wstring(id) + (secondLine.empty() ? L"" : L"|" + secondLine));
}

void RecordingNotices::Warn(const std::wstring& text) {
    trace_.Record(L"appbox " + text);
}

void RecordingNotices::Beep() {
    trace_.Record(L"beep");
}

Pc::Pc(LogSwitch logSwitch, std::unique_ptr<FakeStore> ownStore)
    : storeOwner(std::move(ownStore)), store(*storeOwner),
      logOwner(logSwitch == LogSwitch::On ? std::make_unique<Log>(store) : std::make_unique<Log>()),
      log(*logOwner) {}

Services Pc::ServicesWith(Settings& chosen) {
    return {tables, echoes,  clock, client,  firewall, store,  store,
            chosen, changes, lock,  desktop, log,      record, neighbourhood};
}

void FakeNeighbourhood::Probe(const std::vector<IPv4Address>& addresses,
                              const IPv4Address& source) {
    trace_.Record(L"probe " + std::to_wstring(addresses.size()) + L" from " + source.ToText());
    for (auto each = later.begin(); each != later.end();) {
        if (std::find(addresses.begin(), addresses.end(), each->neighbour.address) !=
            addresses.end()) {
            asked_.push_back(*each);
            each = later.erase(each);
        } else {
            ++each;
        }
    }
    if (onProbe) {
        onProbe();
    }
}

std::vector<Neighbour> FakeNeighbourhood::Answered(unsigned long interfaceIndex) {
    trace_.Record(L"look on " + std::to_wstring(interfaceIndex));
    for (auto each = asked_.begin(); each != asked_.end();) {
        if (each->looks-- <= 0) {
            table[each->interfaceIndex].push_back(each->neighbour);
            each = asked_.erase(each);
        } else {
            ++each;
        }
    }
    return table[interfaceIndex];
}

} // namespace fakes
