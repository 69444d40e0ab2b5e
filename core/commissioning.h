// What the address page, the list of units and the command line share around one
// assignment or upload: the outcome in words, how long it took, and its line in the
// commissioning record (record.csv in the user's application-data folder), which is only
// ever appended to.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "core/adapter.h"
#include "core/address.h"
#include "core/outcome.h"
#include "core/setup.h"
#include "core/system.h"
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

// Runs the assignment sequence for `unit` and appends its record line.
Done AssignAndRecord(System& system, const Assignment& unit, std::stop_token stop = {},
                     HolderCheck check = HolderCheck::Ask);

// Runs the upload and appends its record line, with the image's name, size and SHA-256.
// `unitAnswered` as for RunUpload; the fixed wait, which the caller shows, is not part of
// the duration.
Done UploadAndRecord(System& system, const UploadRequest& request,
                     const std::function<void()>& unitAnswered, std::stop_token stop = {});

// Appends a record line; the failure as above.
std::optional<std::wstring> AppendToRecord(System& system, const RecordEntry& entry);
// The record line of an assignment begun at `when`.
RecordEntry AssignmentEntry(const LocalTime& when, const Assignment& unit, const Done& done);

// The netmask and gateway a unit at `address` last took, by the record (record.csv's
// bytes): the upload's check echo carries them, and must not give a unit other ones.
struct UnitSettings {
    IPv4Address netmask;
    IPv4Address gateway;
};
std::optional<UnitSettings> LastSettingsOf(std::string_view record, const IPv4Address& address);

// Tests only: the next failure is reported again.
void ForgetRecordFailureForTesting();
