// The serial-number-to-MAC rule.
#include "core/mac_rule.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <string_view>

std::optional<std::wstring> MacOfSerial(std::uint32_t serial) {
    if (serial < kLowestSerial) {
        return std::nullopt;
    }
    const std::uint32_t v = serial + 2000; // wraps like the unit's own arithmetic
    wchar_t hex[16];
    std::swprintf(hex, sizeof hex / sizeof hex[0], L"%03x", static_cast<unsigned>(v));
    wchar_t mac[32];
    std::swprintf(mac, sizeof mac / sizeof mac[0], L"00:50:c2:11:8%lc:%lc%lc",
                  static_cast<wint_t>(hex[0]), static_cast<wint_t>(hex[1]),
                  static_cast<wint_t>(hex[2]));
    return std::wstring(mac);
}

bool IsUnitMac(const std::wstring& mac) {
    constexpr std::wstring_view kBlock = L"00:50:c2:11:8"; // then "x:xx"
    if (mac.size() != 17) {
        return false;
    }
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const wchar_t c = mac[i] == L'-' ? L':' : static_cast<wchar_t>(std::towlower(mac[i]));
        if (i < kBlock.size()) {
            if (c != kBlock[i]) {
                return false;
            }
        } else if (i % 3 == 2 ? c != L':' : !std::iswxdigit(c)) {
            return false;
        }
    }
    return true;
}

namespace {

// The serials a unit can have: the serial field takes four or five digits.
constexpr std::uint32_t kHighestSerial = 99999;

} // namespace

std::vector<SerialRange> SerialsOfMac(const std::wstring& mac) {
    if (!IsUnitMac(mac)) {
        return {};
    }
    // The MAC's last three hex digits are the leading three of serial + 2000.
    const std::uint32_t lead = static_cast<std::uint32_t>(
        std::wcstoul((mac.substr(13, 1) + mac.substr(15, 2)).c_str(), nullptr, 16));
    std::vector<SerialRange> serials;
    // Sums of three hex digits are the lead itself; of four, the 16 sums that begin with
    // it; of five, the 256.
    for (std::uint32_t shift = 0, digits = 3; digits <= 5; shift += 4, ++digits) {
        const std::uint32_t lowestSum = digits == 3 ? 0 : 1u << (4 * (digits - 1));
        if (lead < 0x100 && digits > 3) {
            break; // a longer sum never begins with a zero digit
        }
        const std::uint32_t first = std::max({lead << shift, lowestSum, kLowestSerial + 2000});
        const std::uint32_t last = std::min(((lead + 1) << shift) - 1, kHighestSerial + 2000);
        if (first <= last) {
            serials.push_back({first - 2000, last - 2000});
        }
    }
    return serials;
}

std::wstring SerialsText(const std::vector<SerialRange>& serials) {
    std::wstring text;
    for (const SerialRange& range : serials) {
        text += (text.empty() ? L"" : L",") + std::to_wstring(range.first);
        if (range.last != range.first) {
            text += L"-" + std::to_wstring(range.last);
        }
    }
    return text;
}
