// The list of units a technician commissions one after another: read from a spreadsheet's
// CSV file or filled in by counting up from a first unit, and kept between runs with
// each unit's state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/address.h"
#include "core/address_check.h"

constexpr std::uint32_t kHighestSerial = 99999; // the serial field holds five digits
constexpr std::size_t kMostFilledUnits = 1000;
// More than any list of units a technician brings (tens of thousands of lines).
constexpr std::size_t kMostListBytes = 4 * 1024 * 1024;

struct UnitRow {
    std::uint32_t serial = 0;
    IPv4Address address, netmask, gateway;
};

// Why a list cannot be taken: the 1-based line of the file (or the unit's number, for
// FillUnits; 0 for the list as a whole), and either an address check's fault (the caller
// words it with the same texts as the address page) or a text of its own.
struct ListProblem {
    std::size_t line = 0;
    AddressFault fault = AddressFault::None;
    std::wstring text; // English, used when fault is None: L"serial 1234 is already on line 2"
};

struct ListReading {
    std::vector<UnitRow> rows;
    std::optional<ListProblem> problem; // set: nothing of the file is taken
};

// Lines "serial,address,netmask,gateway", comma- or semicolon-separated as spreadsheets
// write them in different countries (a semicolon outside quotes in the first line that
// is not blank makes it semicolons). That first line is a header when its first field
// names the serial column ("serial", "serial number", "S/N"...); any other is a unit.
// Blank lines, lines of empty fields and empty fields after the fourth are passed over.
// Each unit is checked as the address page checks it (the serial 4 or 5 digits from
// 1000, the addresses as CheckAddresses sees them), and no two may share a serial or an
// address. A file larger than kMostListBytes, or with a line longer than
// kMostCsvLineChars, is no list. The first problem stops the reading.
ListReading ReadUnitList(std::string_view bytes, const std::vector<IPv4Address>& ownAddresses);

// The checks ReadUnitList makes of each unit, made of rows already taken (the kept list,
// which anyone may edit); a problem's line is the row's number.
std::optional<ListProblem> CheckUnitRows(const std::vector<UnitRow>& rows,
                                         const std::vector<IPv4Address>& ownAddresses);

// `count` units (1 to kMostFilledUnits) from `firstSerial` and `firstAddress` on, both
// counting up by one (an address carries into the next octet: x.x.x.255, x.x.x+1.0), all
// with one netmask and gateway, checked as ReadUnitList checks a file's units; a
// problem's line is the unit's number.
ListReading FillUnits(std::uint32_t firstSerial, const IPv4Address& firstAddress, std::size_t count,
                      const IPv4Address& netmask, const IPv4Address& gateway,
                      const std::vector<IPv4Address>& ownAddresses);

// What "Fill…" asks for: the arguments of FillUnits.
struct FillRequest {
    std::uint32_t firstSerial = 0;
    IPv4Address firstAddress;
    std::size_t count = 0;
    IPv4Address netmask;
    IPv4Address gateway;
};
ListReading FillUnits(const FillRequest& request, const std::vector<IPv4Address>& ownAddresses);

// The value of a fill that a problem of FillUnits is about, so that the technician is
// taken to it: an address check's field (the first address for a unit's own address),
// the first serial when the first unit's serial is refused, and the count when there are
// too many or too few units, or the serials run past kHighestSerial.
enum class FillField { FirstSerial, FirstAddress, Count, Netmask, Gateway };
FillField FillFieldOf(const ListProblem& problem);

// Units that share a MAC address: from serial 2096 on, neighbouring serials give the same
// MAC (the units are built that way). On the wire they cannot be told apart: whichever of
// them is receptive takes what is sent to that MAC. For each unit whose MAC an earlier
// one has, its index and the earlier one's.
struct SharedMac {
    std::size_t unit = 0;
    std::size_t earlier = 0;
};
std::vector<SharedMac> SharedMacs(const std::vector<UnitRow>& rows);

enum class UnitState { Waiting, Running, Succeeded, Failed };

struct ListedUnit {
    UnitRow row;
    UnitState state = UnitState::Waiting;
    std::wstring time;   // when its last outcome came, as shown ("14:03:22")
    std::wstring reason; // the outcome's reason, for a failed unit
};

// The list as kept between runs: UTF-8, a header line, lines ending CR LF, the columns
// serial,address,netmask,gateway,state,time,reason with the states waiting, running,
// succeeded and failed.
std::string ListFileText(const std::vector<ListedUnit>& units);
// The kept list read back. Lines it cannot read are passed over; a unit kept as running
// (the program ended during its run) comes back failed, for the reason "interrupted".
std::vector<ListedUnit> ReadListFile(std::string_view bytes);
