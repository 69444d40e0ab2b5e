// Writing the commissioning record's lines.
#include "core/record.h"

#include <cwchar>

#include "core/csv.h"
#include "core/text.h"

namespace {

std::wstring Seconds(std::uint64_t milliseconds) {
    std::wstring fraction = std::to_wstring(milliseconds % 1000);
    fraction.insert(0, 3 - fraction.size(), L'0');
    return std::to_wstring(milliseconds / 1000) + L'.' + fraction;
}

} // namespace

std::wstring Iso8601(const LocalTime& t) {
    const int offset = t.offsetMinutes < 0 ? -t.offsetMinutes : t.offsetMinutes;
    wchar_t text[64];
    std::swprintf(text, std::size(text), L"%04d-%02d-%02dT%02d:%02d:%02d%lc%02d:%02d", t.year,
                  t.month, t.day, t.hour, t.minute, t.second,
                  static_cast<wint_t>(t.offsetMinutes < 0 ? L'-' : L'+'), offset / 60, offset % 60);
    return text;
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
