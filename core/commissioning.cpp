// Outcomes in words, and the commissioning record.
#include "core/commissioning.h"

#include <utility>

#include "core/csv.h"
#include "core/text.h"

namespace {

std::wstring AdapterText(const UnitPath& path) {
    return path.adapter ? AdapterLabel(*path.adapter) : L"";
}

// The last of `lines` (each ending CR LF), without its line end.
std::wstring LastLine(const std::string& lines) {
    std::string last = lines;
    while (!last.empty() && (last.back() == '\n' || last.back() == '\r')) {
        last.pop_back();
    }
    const std::size_t end = last.rfind('\n');
    return FromUtf8(end == std::string::npos ? last : last.substr(end + 1));
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
    case Failure::NotSent:
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
    unkept_ += RecordLine(entry);
    return Keep();
}

std::optional<std::wstring> CommissioningRecord::Flush() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return Keep();
}

std::optional<std::wstring> CommissioningRecord::Keep() {
    // Held for this whole step, so that no other Varnok's line passes these.
    FileError error;
    const std::unique_ptr<HeldFile> pending = files_.Hold(kPendingRecordFile, error);
    const std::optional<std::string> waiting =
        pending ? pending->ReadAll(error) : std::optional<std::string>();
    if (!waiting) {
        // The lines that wait cannot be had: none may pass them.
        return unkept_.empty()
                   ? std::nullopt
                   : KeptNowhere(L"the lines before it wait in " +
                                 files_.PathOf(kPendingRecordFile) +
                                 L", which cannot be opened now (" + files_.Words(error) + L")");
    }
    if (waiting->empty() && unkept_.empty()) {
        pending->Empty();
        return std::nullopt;
    }
    const FileError recordError = files_.Append(kRecordFile, RecordHeader(), *waiting + unkept_);
    if (!recordError) {
        unkept_.clear();
        pending->Empty(); // only now: in the record, the lines no longer wait
        return std::nullopt;
    }
    if (const FileError added = unkept_.empty() ? FileError{} : pending->Add(unkept_); added) {
        return KeptNowhere(L"it can be written neither to " + Path() + L" (" +
                           files_.Words(recordError) + L") nor to " +
                           files_.PathOf(kPendingRecordFile) + L" (" + files_.Words(added) + L")");
    }
    unkept_.clear();
    return Waiting(recordError);
}

std::optional<std::wstring> CommissioningRecord::Waiting(const FileError& recordError) {
    const std::wstring text = L"The commissioning record " + Path() + L" cannot be written (" +
                              files_.Words(recordError) + L"). Its lines wait in " +
                              files_.PathOf(kPendingRecordFile) +
                              L" and are added to it as soon as it can be written.";
    log_.Write(text);
    return std::exchange(waitingTold_, true) ? std::nullopt : std::optional<std::wstring>(text);
}

std::optional<std::wstring> CommissioningRecord::KeptNowhere(const std::wstring& why) {
    const std::wstring text =
        L"A line of the commissioning record cannot be kept yet: " + why +
        L". Varnok keeps it while it runs and adds it, in order, as soon as it can; should "
        L"Varnok end first, it is lost. It reads:\n" +
        LastLine(unkept_);
    log_.Write(text);
    return std::exchange(unkeptTold_, true) ? std::nullopt : std::optional<std::wstring>(text);
}

std::optional<std::string> CommissioningRecord::Whole(FileError& error) {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::optional<std::string> record = files_.Read(kRecordFile, error);
    if (error) {
        return std::nullopt;
    }
    FileError waitingError;
    const std::string waiting = files_.Read(kPendingRecordFile, waitingError).value_or("");
    std::string lines = record.value_or("");
    if (lines.empty() && (!waiting.empty() || !unkept_.empty())) {
        lines = RecordHeader();
    }
    lines += waiting + unkept_;
    return lines.empty() ? std::nullopt : std::optional<std::string>(lines);
}

std::optional<UnitSettings> CommissioningRecord::LastSettingsOf(const IPv4Address& address) {
    FileError error;
    const std::optional<std::string> bytes = files_.Read(kRecordFile, error);
    return bytes ? ::LastSettingsOf(*bytes, address) : std::nullopt;
}

std::wstring CommissioningRecord::Path() {
    return files_.PathOf(kRecordFile);
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

OpenedImage OpenImageToSend(UserFiles& files, const std::wstring& path) {
    ImageOpening opening = files.OpenImage(path);
    OpenedImage image{path, std::move(opening.held), opening.facts, {}};
    if (!image.held) {
        image.unreadable = {Failure::ImageUnreadable, L"The image " + path + L" cannot be read: " +
                                                          files.Words(opening.error)};
    }
    return image;
}

SentImage SendOpenedImage(const UploadRoles& roles, const OpenedImage& image,
                          const UploadRequest& request, const std::function<void()>& unitAnswered,
                          std::stop_token stop) {
    SentImage sent{{}, UploadEntry(roles.clock.Now(), image, request)};
    const std::uint64_t start = roles.clock.Milliseconds();
    sent.outcome = image.held ? RunUpload(roles, request, unitAnswered, stop) : image.unreadable;
    sent.entry.durationMs = roles.clock.Milliseconds() - start;
    return sent;
}

RecordEntry UploadEntry(const LocalTime& when, const OpenedImage& image,
                        const UploadRequest& request) {
    RecordEntry entry;
    entry.when = when;
    entry.address = request.address.ToText();
    entry.netmask = request.netmask.ToText();
    entry.gateway = request.gateway.ToText();
    entry.adapter = AdapterText(request.unitPath);
    entry.file = image.path.substr(image.path.find_last_of(L"\\/") + 1);
    if (image.held) {
        entry.size = image.facts.size;
        entry.sha256 = image.facts.sha256;
    }
    return entry;
}

SentImage SendImage(const UploadRoles& roles, UserFiles& files, const UploadRequest& request,
                    const std::function<void()>& unitAnswered, std::stop_token stop) {
    const OpenedImage image = OpenImageToSend(files, request.path);
    return SendOpenedImage(roles, image, request, unitAnswered, stop);
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
