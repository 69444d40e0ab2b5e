// Writing the commissioning record's lines.
#include "core/record.h"

#include "core/csv.h"
#include "core/text.h"

namespace {

// `value` in decimal, with leading zeros to `width` digits.
std::wstring Digits(long long value, std::size_t width) {
    std::wstring text = std::to_wstring(value);
    if (text.size() < width) {
        text.insert(0, width - text.size(), L'0');
    }
    return text;
}

std::wstring Seconds(std::uint64_t milliseconds) {
    return std::to_wstring(milliseconds / 1000) + L'.' + Digits(milliseconds % 1000, 3);
}

} // namespace

std::wstring Iso8601(const LocalTime& t) {
    // Formatted by hand: a printf here would link MinGW's whole printf into Varnok.exe.
    const int offset = t.offsetMinutes < 0 ? -t.offsetMinutes : t.offsetMinutes;
    return DateText(t) + L'T' + ClockText(t) + (t.offsetMinutes < 0 ? L'-' : L'+') +
           Digits(offset / 60, 2) + L':' + Digits(offset % 60, 2);
}

std::wstring DateText(const LocalTime& t) {
    return Digits(t.year, 4) + L'-' + Digits(t.month, 2) + L'-' + Digits(t.day, 2);
}

std::wstring ClockText(const LocalTime& t) {
    return Digits(t.hour, 2) + L':' + Digits(t.minute, 2) + L':' + Digits(t.second, 2);
}

std::string RecordHeader() {
    return "time,serial,mac,address,netmask,gateway,adapter,outcome,reason,seconds,file,size,"
           "sha256\r\n";
}

std::string RecordLine(const RecordEntry& entry) {
    const std::wstring fields[] = {
        Iso8601(entry.when),
        entry.serial,
        entry.mac,
        entry.address,
        entry.netmask,
        entry.gateway,
        entry.adapter,
        entry.succeeded ? L"SUCCESS" : L"FAILED",
        entry.reason,
        Seconds(entry.durationMs),
        entry.file,
        entry.size ? std::to_wstring(*entry.size) : std::wstring(),
        FromUtf8(entry.sha256),
    };
    std::wstring line;
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        line += (i > 0 ? L"," : L"") + CsvField(fields[i]);
    }
    return ToUtf8(line + L"\r\n");
}
