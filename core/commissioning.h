// What the address page, the list of units and the command line share around one
// assignment or upload: the outcome in words, how long it took, and its line in the
// commissioning record (record.csv in the user's application-data folder), which is only
// ever appended to.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "core/adapter.h"
#include "core/address.h"
#include "core/data_store.h"
#include "core/log.h"
#include "core/outcome.h"
#include "core/record.h"
#include "core/setup.h"
#include "core/upload.h"

constexpr wchar_t kRecordFile[] = L"record.csv";
// Beside it: the lines that could not be appended yet (a spreadsheet holding the record
// open), appended in order before the next line as soon as the record can be written.
constexpr wchar_t kPendingRecordFile[] = L"record.pending.csv";

// Why an assignment or upload failed, in one line; empty when it succeeded.
std::wstring OutcomeReason(const Outcome& outcome);

// One unit to address.
struct Assignment {
    std::uint32_t serial = 0;
    std::wstring mac; // colon form
    IPv4Address address;
    IPv4Address netmask;
    IPv4Address gateway;
    UnitPath path;
};

struct Done {
    Outcome outcome;
    std::uint64_t durationMs = 0;
    // Set the first time in this run of the program that the record could not be
    // written: the caller tells the technician once; the work itself goes on regardless.
    std::optional<std::wstring> recordFailure;
};

// The netmask and gateway a unit at `address` last took, by the record (record.csv's
// bytes): the upload's check echo carries them, and must not give a unit other ones.
std::optional<UnitSettings> LastSettingsOf(std::string_view record, const IPv4Address& address);

// The commissioning record of this run of the program: lines are only ever appended, in
// the order they were made, and none is lost while the disk can hold it. While the record
// cannot be written (a spreadsheet holding it open), lines wait in the pending file beside
// it; a new line joins them, never passes them, and a line leaves the pending file only
// once it is in the record. The pending file is held by one Varnok at a time. While even
// it cannot be written, lines are kept in memory and said, with the line itself.
class CommissioningRecord {
public:
    CommissioningRecord(OwnFiles& files, Log& log) : files_(files), log_(log) {}

    // Appends a line after every one that waits. What the technician must be told, the
    // first time in this run of the program that the record could not be written, and the
    // first time that a line could be kept nowhere (logged every time).
    std::optional<std::wstring> Append(const RecordEntry& entry);
    // The lines that wait appended, if they can be now; what is still kept nowhere, said.
    std::optional<std::wstring> Flush();
    // Every line, those that wait included, in order, under the record's header: what an
    // export holds. Nothing when nothing has been recorded; `error` when the record
    // cannot be read.
    std::optional<std::string> Whole(FileError& error);
    // What the record says a unit at `address` last took.
    std::optional<UnitSettings> LastSettingsOf(const IPv4Address& address);
    // Its full path, for the technician.
    std::wstring Path();

private:
    // The lines kept in memory appended after those that wait, or added to them.
    std::optional<std::wstring> Keep();
    std::optional<std::wstring> Waiting(const FileError& recordError);
    std::optional<std::wstring> KeptNowhere(const std::wstring& why);

    OwnFiles& files_;
    Log& log_;
    std::mutex mutex_;   // one line at a time, so that lines keep their order
    std::string unkept_; // lines this run could not place yet, oldest first
    bool waitingTold_ = false;
    bool unkeptTold_ = false;
};

// Runs the assignment sequence for `unit` and appends its record line.
Done AssignAndRecord(const AssignmentRoles& roles, CommissioningRecord& record,
                     const Assignment& unit, std::stop_token stop = {});

// An image sent, or not: the outcome of the ping and the transfer, and the record line it
// will have, but for the outcome.
struct SentImage {
    Outcome outcome;
    RecordEntry entry;
};

// An image opened to be sent, held (others may only read it) until destroyed, its size and
// SHA-256 read from that handle; or why it cannot be read.
struct OpenedImage {
    std::wstring path;
    std::unique_ptr<HeldImage> held; // null: `unreadable` says why
    FileFacts facts;
    Outcome unreadable;
};
OpenedImage OpenImageToSend(UserFiles& files, const std::wstring& path);

// Runs the upload of the image opened (`request.path` is its path), its record line
// filled in. `unitAnswered` as for RunUpload; the fixed wait, which the caller shows, is not
// part of the duration.
SentImage SendOpenedImage(const UploadRoles& roles, const OpenedImage& image,
                          const UploadRequest& request, const std::function<void()>& unitAnswered,
                          std::stop_token stop = {});
// The record line of an upload of `image` begun at `when`, but for its outcome and duration.
RecordEntry UploadEntry(const LocalTime& when, const OpenedImage& image,
                        const UploadRequest& request);
// Opens the image and sends it; the image is let go once the client has ended.
SentImage SendImage(const UploadRoles& roles, UserFiles& files, const UploadRequest& request,
                    const std::function<void()>& unitAnswered, std::stop_token stop = {});
// The upload's outcome once it is final, its record line appended: a sent image whose
// fixed wait was cut short (`waited` false) was not yet written by the unit.
Done RecordUpload(CommissioningRecord& record, const SentImage& sent, bool waited);

// The record line of an assignment begun at `when`.
RecordEntry AssignmentEntry(const LocalTime& when, const Assignment& unit, const Done& done);
