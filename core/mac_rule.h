// A unit's MAC address follows from its serial number; the user never types it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr std::uint32_t kLowestSerial = 1000;

// "00:50:c2:11:8" followed by the three leading hex digits of serial + 2000, as "8d:dd";
// nothing for serials below 1000, which no unit has. From serial 2096 on the sum has more
// than three hex digits and only the leading three count, so neighbouring serials share
// a MAC (16 of them from 2096, 256 from 63536): the units are built that way.
std::optional<std::wstring> MacOfSerial(std::uint32_t serial);

// A MAC that the rule gives some serial: 00:50:c2:11:8x:xx, with ':' or '-', any case.
bool IsUnitMac(const std::wstring& mac);

// Serials `first` to `last`, both included.
struct SerialRange {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    bool operator==(const SerialRange&) const = default;
};

// The rule read backwards: every serial of four or five digits whose MAC is `mac` (either
// form, any case), lowest first. One MAC belongs to one serial below 2096, to 16 from
// 2096 and to 256 from 63536, so it names up to three groups: serial 1000's is also that
// of 46000-46015. Nothing for a MAC outside the units' block.
std::vector<SerialRange> SerialsOfMac(const std::wstring& mac);

// "1000,46000-46015": single serials as such, groups as first-last.
std::wstring SerialsText(const std::vector<SerialRange>& serials);
