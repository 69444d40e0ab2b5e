// Outcomes in words, and the commissioning record.
#include "core/commissioning.h"

#include "core/csv.h"

namespace {

std::wstring AdapterText(const UnitPath& path) {
    return path.adapter ? AdapterLabel(*path.adapter) : L"";
}

} // namespace

std::wstring OutcomeReason(const Outcome& outcome) {
    switch (outcome.failure) {
    case Failure::None:
        return L"";
    case Failure::RouteNotStarted:
        return L"route.exe did not start: " + outcome.detail;
    case Failure::ArpNotStarted:
        return L"arp.exe did not start: " + outcome.detail;
    case Failure::AddressInUse:
        return outcome.detail;
    case Failure::EchoLibraryMissing:
        return L"Failed to load ICMP.DLL";
    case Failure::EchoHandleFailed:
        return L"Failed to create Icmp handle when running 'ping'.";
    case Failure::NoAnswer:
        return outcome.detail.empty() ? L"The unit did not answer."
                                      : L"The unit did not answer (" + outcome.detail + L").";
    case Failure::ClientNotStarted:
    case Failure::ClientFailed:
    case Failure::ClientTimedOut:
        return UploadFailureReason(outcome);
    }
    return L"";
}

std::optional<std::wstring> CommissioningRecord::Append(const RecordEntry& entry) {
    std::wstring failure;
    if (store_.Append(kRecordFile, RecordHeader(), RecordLine(entry), failure)) {
        return std::nullopt;
    }
    const std::wstring text = L"The commissioning record " + Path() + L" cannot be written (" +
                              failure + L"). Commissioning goes on without it.";
    log_.Write(text);
    if (failureTold_.exchange(true)) {
        return std::nullopt;
    }
    return text;
}

std::optional<UnitSettings> CommissioningRecord::LastSettingsOf(const IPv4Address& address) {
    const std::optional<std::string> bytes = store_.Read(kRecordFile);
    return bytes ? ::LastSettingsOf(*bytes, address) : std::nullopt;
}

std::wstring CommissioningRecord::Path() {
    return store_.PathOf(kRecordFile);
}

Done AssignAndRecord(const AssignmentRoles& roles, CommissioningRecord& record,
                     const Assignment& unit, std::stop_token stop, HolderCheck check) {
    const LocalTime when = roles.clock.Now();
    const std::uint64_t start = roles.clock.Milliseconds();
    Done done;
    done.outcome = Setup(roles, unit.mac, unit.address, unit.netmask, unit.gateway, unit.path)
                       .Run(stop, check);
    done.durationMs = roles.clock.Milliseconds() - start;
    done.recordFailure = record.Append(AssignmentEntry(when, unit, done));
    return done;
}

RecordEntry AssignmentEntry(const LocalTime& when, const Assignment& unit, const Done& done) {
    RecordEntry entry;
    entry.when = when;
    entry.serial = std::to_wstring(unit.serial);
    entry.mac = unit.mac;
    entry.address = unit.address.ToText();
    entry.netmask = unit.netmask.ToText();
    entry.gateway = unit.gateway.ToText();
    entry.adapter = AdapterText(unit.path);
    entry.succeeded = done.outcome.Succeeded();
    entry.reason = OutcomeReason(done.outcome);
    entry.durationMs = done.durationMs;
    return entry;
}

Done UploadAndRecord(const UploadRoles& roles, DataStore& store, CommissioningRecord& record,
                     const UploadRequest& request, const std::function<void()>& unitAnswered,
                     std::stop_token stop) {
    const LocalTime when = roles.clock.Now();
    const std::uint64_t start = roles.clock.Milliseconds();
    Done done;
    done.outcome = RunUpload(roles, request, unitAnswered, stop);
    done.durationMs = roles.clock.Milliseconds() - start;
    RecordEntry entry;
    entry.when = when;
    entry.address = request.address.ToText();
    entry.netmask = request.netmask.ToText();
    entry.gateway = request.gateway.ToText();
    entry.succeeded = done.outcome.Succeeded();
    entry.reason = OutcomeReason(done.outcome);
    entry.durationMs = done.durationMs;
    entry.file = request.path.substr(request.path.find_last_of(L"\\/") + 1);
    if (const std::optional<FileFacts> facts = store.DescribeFile(request.path)) {
        entry.size = facts->size;
        entry.sha256 = facts->sha256;
    }
    done.recordFailure = record.Append(entry);
    return done;
}

std::optional<UnitSettings> LastSettingsOf(std::string_view record, const IPv4Address& address) {
    enum { kAddress = 3, kNetmask = 4, kGateway = 5, kOutcome = 7 }; // RecordHeader's columns
    std::optional<UnitSettings> found;
    for (const std::wstring& line : SplitLines(record)) {
        const std::vector<std::wstring> fields = SplitCsvLine(line, L',');
        if (fields.size() <= kOutcome || fields[kOutcome] != L"SUCCESS") {
            continue;
        }
        const std::optional<IPv4Address> at = ParseIPv4(fields[kAddress]);
        const std::optional<IPv4Address> netmask = ParseIPv4(fields[kNetmask]);
        const std::optional<IPv4Address> gateway = ParseIPv4(fields[kGateway]);
        if (at && *at == address && netmask && gateway) {
            found = UnitSettings{*netmask, *gateway}; // the last one counts
        }
    }
    return found;
}
