// The commissioning record: one CSV line for each unit addressed or image sent, so that
// the technician can show which unit got which address, when, and whether it took it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/clock.h"

// "2026-12-09T14:03:22+01:00"; an offset west of UTC as "-03:30", UTC itself as "+00:00".
std::wstring Iso8601(const LocalTime& t);
// Its date, "2026-12-09", and its time of day, "14:03:22".
std::wstring DateText(const LocalTime& t);
std::wstring ClockText(const LocalTime& t);

struct RecordEntry {
    LocalTime when;
    std::wstring serial, mac, address, netmask, gateway, adapter;
    bool succeeded = false;
    std::wstring reason;
    std::uint64_t durationMs = 0;
    std::wstring file;                 // uploads: the image's file name (no folder)
    std::optional<std::uint64_t> size; // uploads
    std::string sha256;                // uploads: 64 lowercase hex digits
};

// The record's first line:
// "time,serial,mac,address,netmask,gateway,adapter,outcome,reason,seconds,file,size,sha256"
// and CR LF.
std::string RecordHeader();
// One entry as UTF-8, ending CR LF, each field through CsvField: the outcome "SUCCESS" or
// "FAILED", the duration in seconds with three decimals ("0.352"), the size empty for an
// address.
std::string RecordLine(const RecordEntry& entry);
