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
    case Failure::RouteNotMade:
    case Failure::ArpEntryNotMade:
    case Failure::AddressInUse:
    case Failure::ImageUnreadable:
    case Failure::Interrupted:
    case Failure::InternalError:
    case Failure::TablesUnavailable:
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
    const std::lock_guard<std::mutex> lock(mutex_);
    const std::string line = RecordLine(entry);
    std::wstring failure;
    if (AppendAfterWaiting(line, failure)) {
        return std::nullopt;
    }
    return KeepWaiting(line, failure);
}

void CommissioningRecord::Flush() {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::wstring failure;
    AppendAfterWaiting("", failure);
}

bool CommissioningRecord::AppendAfterWaiting(const std::string& lines, std::wstring& failure) {
    const std::string waiting = store_.Take(kPendingRecordFile).value_or("");
    if (waiting.empty() && lines.empty()) {
        return true;
    }
    if (store_.Append(kRecordFile, RecordHeader(), waiting + lines, failure)) {
        return true;
    }
    // Back where they waited, still before the line that follows.
    std::wstring ignored;
    if (!waiting.empty()) {
        store_.Append(kPendingRecordFile, "", waiting, ignored);
    }
    return false;
}

std::optional<std::wstring> CommissioningRecord::KeepWaiting(const std::string& line,
                                                             const std::wstring& failure) {
    std::wstring keptFailure;
    const bool kept = store_.Append(kPendingRecordFile, "", line, keptFailure);
    const std::wstring text =
        L"The commissioning record " + Path() + L" cannot be written (" + failure + L")" +
        (kept ? L". Its lines wait in " + store_.PathOf(kPendingRecordFile) +
                    L" and are added to it as soon as it can be written."
              : L", nor its line kept in " + store_.PathOf(kPendingRecordFile) + L" (" +
                    keptFailure + L"). Commissioning goes on without it.");
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
                     const Assignment& unit, std::stop_token stop) {
    const LocalTime when = roles.clock.Now();
    const std::uint64_t start = roles.clock.Milliseconds();
    Done done;
    done.outcome =
        Setup(roles, unit.mac, unit.address, unit.netmask, unit.gateway, unit.path).Run(stop);
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

SentImage SendImage(const UploadRoles& roles, DataStore& store, const UploadRequest& request,
                    const std::function<void()>& unitAnswered, std::stop_token stop) {
    SentImage sent;
    RecordEntry& entry = sent.entry;
    entry.when = roles.clock.Now();
    const std::uint64_t start = roles.clock.Milliseconds();
    entry.address = request.address.ToText();
    entry.netmask = request.netmask.ToText();
    entry.gateway = request.gateway.ToText();
    entry.adapter = AdapterText(request.unitPath);
    entry.file = request.path.substr(request.path.find_last_of(L"\\/") + 1);
    const ImageOpening image = store.OpenImage(request.path);
    if (!image.held) {
        sent.outcome = {Failure::ImageUnreadable,
                        L"The image " + request.path + L" cannot be read: " + image.failure};
    } else {
        entry.size = image.facts.size;
        entry.sha256 = image.facts.sha256;
        sent.outcome = RunUpload(roles, request, unitAnswered, stop);
    }
    entry.durationMs = roles.clock.Milliseconds() - start;
    return sent;
}

Done RecordUpload(CommissioningRecord& record, const SentImage& sent, bool waited) {
    Done done;
    done.outcome = sent.outcome;
    if (done.outcome.Succeeded() && !waited) {
        done.outcome = {Failure::Interrupted,
                        L"Interrupted before the unit had written the image."};
    }
    RecordEntry entry = sent.entry;
    entry.succeeded = done.outcome.Succeeded();
    entry.reason = OutcomeReason(done.outcome);
    done.durationMs = entry.durationMs;
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
