// Reading a technician's list of units, filling one in by counting, and the list kept
// between runs.
#include "core/unit_list.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

#include "core/csv.h"
#include "core/mac_rule.h"
#include "core/serial.h"
#include "core/text.h"

namespace {

constexpr const wchar_t* kColumnNames[] = {L"address", L"netmask", L"gateway"};
constexpr const wchar_t* kStateWords[] = {L"waiting", L"running", L"succeeded", L"failed"};

ListReading Refused(std::size_t line, std::wstring text) {
    return {{}, ListProblem{line, AddressFault::None, std::move(text)}};
}

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// The serial column as the address page takes it, but strictly: 4 or 5 characters, all of
// them digits, from kLowestSerial on. Empty when it can be taken, else why not.
std::wstring ReadSerialColumn(const std::wstring& text, std::uint32_t& serial) {
    if (CheckSerialLength(text) != SerialLength::Fine ||
        !std::all_of(text.begin(), text.end(), IsDigit)) {
        return L"serial \"" + text + L"\" is not 4 or 5 digits";
    }
    serial = ReadSerialNumber(text).value_or(0);
    if (serial < kLowestSerial) {
        return L"serial " + text + L" is below " + std::to_wstring(kLowestSerial);
    }
    return {};
}

// The address columns of `fields` (from the second on) into `row`. Empty when they can be
// taken, else why not.
std::wstring ReadAddressColumns(const std::vector<std::wstring>& fields, UnitRow& row) {
    IPv4Address* const targets[] = {&row.address, &row.netmask, &row.gateway};
    for (std::size_t i = 0; i < std::size(targets); ++i) {
        const std::optional<IPv4Address> address = ParseIPv4(fields[i + 1]);
        if (!address) {
            return std::wstring(kColumnNames[i]) + L" \"" + fields[i + 1] +
                   L"\" is not a dotted IPv4 address";
        }
        *targets[i] = *address;
    }
    return {};
}

// The units taken so far, and the checks a further one must pass: its addresses as the
// address page checks them, and no serial or address that an earlier one has.
class UnitCollector {
public:
    explicit UnitCollector(const std::vector<IPv4Address>& ownAddresses)
        : ownAddresses_(ownAddresses) {}

    std::optional<ListProblem> Add(const UnitRow& row, std::size_t line);
    std::vector<UnitRow> Take() { return std::move(rows_); }

private:
    const std::vector<IPv4Address>& ownAddresses_;
    std::vector<UnitRow> rows_;
    std::map<std::uint32_t, std::size_t> serialLines_;
    std::map<std::array<std::uint8_t, 4>, std::size_t> addressLines_;
};

std::optional<ListProblem> UnitCollector::Add(const UnitRow& row, std::size_t line) {
    const AddressFault fault = CheckAddresses(row.address, row.netmask, row.gateway, ownAddresses_);
    if (fault != AddressFault::None) {
        return ListProblem{line, fault, {}};
    }
    const std::wstring serial = std::to_wstring(row.serial);
    if (const auto earlier = serialLines_.find(row.serial); earlier != serialLines_.end()) {
        return ListProblem{line, AddressFault::None,
                           L"serial " + serial + L" is already on line " +
                               std::to_wstring(earlier->second)};
    }
    if (const auto earlier = addressLines_.find(row.address.octet);
        earlier != addressLines_.end()) {
        return ListProblem{line, AddressFault::None,
                           L"address " + row.address.ToText() + L" is already on line " +
                               std::to_wstring(earlier->second)};
    }
    serialLines_.emplace(row.serial, line);
    addressLines_.emplace(row.address.octet, line);
    rows_.push_back(row);
    return std::nullopt;
}

wchar_t SeparatorOf(const std::wstring& line) {
    bool quoted = false;
    for (wchar_t c : line) {
        if (c == L'"') {
            quoted = !quoted; // "" inside quotes toggles twice
        } else if (c == L';' && !quoted) {
            return L';';
        }
    }
    return L',';
}

// A line's fields, without blanks at either end even inside quotes.
std::vector<std::wstring> TrimmedFields(const std::wstring& line, wchar_t separator) {
    std::vector<std::wstring> fields = SplitCsvLine(line, separator);
    for (std::wstring& field : fields) {
        field = TrimBlanks(field);
    }
    return fields;
}

// Blank, or only separators: spreadsheets write empty rows as ",,,".
bool IsEmptyRow(const std::vector<std::wstring>& fields) {
    return std::all_of(fields.begin(), fields.end(),
                       [](const std::wstring& field) { return field.empty(); });
}

// A header names its first column; any other first line is a unit, checked as such.
bool IsHeader(const std::vector<std::wstring>& fields) {
    static constexpr const wchar_t* kSerialColumns[] = {
        L"serial",   L"serial number", L"serialnumber", L"serial no", L"serial no.",
        L"serialno", L"serial_no",     L"s/n",          L"sn"};
    return std::any_of(std::begin(kSerialColumns), std::end(kSerialColumns),
                       [&](const wchar_t* name) { return SameAsciiWord(fields[0], name); });
}

// One line's unit; its line number and why not when it cannot be taken.
std::optional<ListProblem> ReadUnitLine(std::vector<std::wstring> fields, std::size_t line,
                                        UnitRow& row) {
    if (fields.size() > kMostCsvFields) {
        return ListProblem{line, AddressFault::None, L"far more fields than a unit has"};
    }
    while (fields.size() > 4 && fields.back().empty()) {
        fields.pop_back();
    }
    if (fields.size() != 4) {
        return ListProblem{line, AddressFault::None,
                           fields.size() < 4
                               ? L"expected serial, address, netmask and gateway"
                               : L"expected only serial, address, netmask and gateway"};
    }
    std::wstring refusal = ReadSerialColumn(fields[0], row.serial);
    if (refusal.empty()) {
        refusal = ReadAddressColumns(fields, row);
    }
    if (!refusal.empty()) {
        return ListProblem{line, AddressFault::None, refusal};
    }
    return std::nullopt;
}

// A file too large, or with a line too long, to be a list of units.
std::optional<ListProblem> OutOfBounds(std::string_view bytes,
                                       const std::vector<std::wstring>& lines) {
    if (bytes.size() > kMostListBytes) {
        return ListProblem{0, AddressFault::None, L"the file is too large for a list of units"};
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].size() > kMostCsvLineChars) {
            return ListProblem{i + 1, AddressFault::None, L"the line is too long for a unit"};
        }
    }
    return std::nullopt;
}

} // namespace

ListReading ReadUnitList(std::string_view bytes, const std::vector<IPv4Address>& ownAddresses) {
    const std::vector<std::wstring> lines =
        SplitLines(bytes.substr(0, std::min(bytes.size(), kMostListBytes + 1)));
    if (std::optional<ListProblem> problem = OutOfBounds(bytes, lines)) {
        return {{}, std::move(problem)};
    }
    const auto first = std::find_if(lines.begin(), lines.end(), [](const std::wstring& line) {
        return !IsEmptyRow(TrimmedFields(line, SeparatorOf(line)));
    });
    const wchar_t separator = first == lines.end() ? L',' : SeparatorOf(*first);
    UnitCollector units(ownAddresses);
    for (auto it = first; it != lines.end(); ++it) {
        const std::size_t line = static_cast<std::size_t>(it - lines.begin()) + 1;
        const std::vector<std::wstring> fields = TrimmedFields(*it, separator);
        if ((it == first && IsHeader(fields)) || IsEmptyRow(fields)) {
            continue;
        }
        UnitRow row;
        std::optional<ListProblem> problem = ReadUnitLine(fields, line, row);
        if (!problem) {
            problem = units.Add(row, line);
        }
        if (problem) {
            return {{}, std::move(problem)};
        }
    }
    std::vector<UnitRow> rows = units.Take();
    if (rows.empty()) {
        return Refused(0, L"no units in the file");
    }
    return {std::move(rows), std::nullopt};
}

std::optional<ListProblem> CheckUnitRows(const std::vector<UnitRow>& rows,
                                         const std::vector<IPv4Address>& ownAddresses) {
    UnitCollector units(ownAddresses);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (std::optional<ListProblem> problem = units.Add(rows[i], i + 1)) {
            return problem;
        }
    }
    return std::nullopt;
}

ListReading FillUnits(std::uint32_t firstSerial, const IPv4Address& firstAddress, std::size_t count,
                      const IPv4Address& netmask, const IPv4Address& gateway,
                      const std::vector<IPv4Address>& ownAddresses) {
    if (count == 0 || count > kMostFilledUnits) {
        return Refused(0, L"from 1 to " + std::to_wstring(kMostFilledUnits) +
                              L" units can be filled in");
    }
    UnitCollector units(ownAddresses);
    for (std::size_t n = 0; n < count; ++n) {
        const std::uint64_t serial = std::uint64_t{firstSerial} + n;
        if (serial < kLowestSerial || serial > kHighestSerial) {
            return Refused(n + 1, L"serial " + std::to_wstring(serial) + L" is not from " +
                                      std::to_wstring(kLowestSerial) + L" to " +
                                      std::to_wstring(kHighestSerial));
        }
        // The count cannot carry past 255.255.255.255: a first address that near the top
        // is multicast or reserved, which the first unit's check refuses.
        const UnitRow row{static_cast<std::uint32_t>(serial),
                          FromValue(ValueOf(firstAddress) + static_cast<std::uint32_t>(n)), netmask,
                          gateway};
        if (std::optional<ListProblem> problem = units.Add(row, n + 1)) {
            return {{}, std::move(problem)};
        }
    }
    return {units.Take(), std::nullopt};
}

ListReading FillUnits(const FillRequest& request, const std::vector<IPv4Address>& ownAddresses) {
    return FillUnits(request.firstSerial, request.firstAddress, request.count, request.netmask,
                     request.gateway, ownAddresses);
}

FillField FillFieldOf(const ListProblem& problem) {
    if (problem.fault != AddressFault::None) {
        switch (FieldOf(problem.fault)) {
        case AddressField::Ip:
            return FillField::FirstAddress;
        case AddressField::Netmask:
            return FillField::Netmask;
        case AddressField::Gateway:
            return FillField::Gateway;
        }
    }
    // Line 0 is the count itself; a later unit's serial is one the count reached.
    return problem.line == 1 ? FillField::FirstSerial : FillField::Count;
}

std::string ListFileText(const std::vector<ListedUnit>& units) {
    std::wstring text = L"serial,address,netmask,gateway,state,time,reason\r\n";
    for (const ListedUnit& unit : units) {
        text += std::to_wstring(unit.row.serial) + L',' + unit.row.address.ToText() + L',' +
                unit.row.netmask.ToText() + L',' + unit.row.gateway.ToText() + L',' +
                kStateWords[static_cast<std::size_t>(unit.state)] + L',' + CsvField(unit.time) +
                L',' + CsvField(unit.reason) + L"\r\n";
    }
    return ToUtf8(text);
}

std::vector<ListedUnit> ReadListFile(std::string_view bytes) {
    std::vector<ListedUnit> units;
    for (const std::wstring& line :
         SplitLines(bytes.substr(0, std::min(bytes.size(), kMostListBytes)))) {
        std::vector<std::wstring> fields = line.size() > kMostCsvLineChars
                                               ? std::vector<std::wstring>{}
                                               : SplitCsvLine(line, L',');
        if (fields.size() < 5 || fields.size() > kMostCsvFields) {
            continue;
        }
        fields.resize(std::max<std::size_t>(fields.size(), 7)); // time and reason may be cut off
        ListedUnit unit;
        const auto state = std::find(std::begin(kStateWords), std::end(kStateWords), fields[4]);
        if (!ReadSerialColumn(fields[0], unit.row.serial).empty() ||
            !ReadAddressColumns(fields, unit.row).empty() || state == std::end(kStateWords)) {
            continue; // the header too
        }
        unit.state = static_cast<UnitState>(state - std::begin(kStateWords));
        unit.time = fields[5];
        unit.reason = CsvText(fields[6]);
        if (unit.state == UnitState::Running) {
            unit.state = UnitState::Failed;
            unit.reason = L"interrupted";
        }
        units.push_back(std::move(unit));
    }
    return units;
}

std::vector<SharedMac> SharedMacs(const std::vector<UnitRow>& rows) {
    std::vector<SharedMac> shared;
    std::map<std::wstring, std::size_t> first; // MAC -> the first unit that has it
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto [found, isNew] = first.emplace(MacOfSerial(rows[i].serial).value_or(L""), i);
        if (!isNew) {
            shared.push_back({i, found->second});
        }
    }
    return shared;
}
