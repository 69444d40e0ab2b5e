// Reading the serial number the user typed, and the checks "Apply" makes of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/mac_rule.h" // kLowestSerial

// The number in the serial field, read the way an unsigned "%u" scan reads the first 63
// characters: leading white space skipped, one '+' allowed, decimal digits up to the
// first other character, the rest ignored; a value past 4294967295 stays at it. No
// number (nothing, blanks, a letter first) gives nothing, and so does a minus sign: a
// negative serial number is no serial number, however "%u" would wrap it.
std::optional<std::uint32_t> ReadSerialNumber(const std::wstring& text);

enum class SerialLength { TooShort, TooLong, Fine };
// The serial field holds 4 or 5 characters, whatever they are.
SerialLength CheckSerialLength(const std::wstring& text);
