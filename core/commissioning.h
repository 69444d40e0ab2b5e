// What the address page, the list of units and the command line share around one
// assignment or upload: the outcome in words, how long it took, and its line in the
// commissioning record (record.csv in the user's application-data folder), which is only
// ever appended to.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
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

// The commissioning record of this run of the program: lines are only ever appended. A
// record that cannot be written is told once per run, whoever meets it first.
class CommissioningRecord {
public:
    CommissioningRecord(DataStore& store, Log& log) : store_(store), log_(log) {}

    // Appends a line; the failure, the first time in this run of the program that the
    // record could not be written (and logged every time).
    std::optional<std::wstring> Append(const RecordEntry& entry);
    // What the record says a unit at `address` last took.
    std::optional<UnitSettings> LastSettingsOf(const IPv4Address& address);
    // Its full path, for the technician.
    std::wstring Path();

private:
    DataStore& store_;
    Log& log_;
    std::atomic<bool> failureTold_{false};
};

// Runs the assignment sequence for `unit` and appends its record line.
Done AssignAndRecord(const AssignmentRoles& roles, CommissioningRecord& record,
                     const Assignment& unit, std::stop_token stop = {},
                     HolderCheck check = HolderCheck::Ask);

// Runs the upload and appends its record line, with the image's name, size and SHA-256
// (read from `store`). `unitAnswered` as for RunUpload; the fixed wait, which the caller
// shows, is not part of the duration.
Done UploadAndRecord(const UploadRoles& roles, DataStore& store, CommissioningRecord& record,
                     const UploadRequest& request, const std::function<void()>& unitAnswered,
                     std::stop_token stop = {});

// The record line of an assignment begun at `when`.
RecordEntry AssignmentEntry(const LocalTime& when, const Assignment& unit, const Done& done);
