// The serial-number-to-MAC rule.
#include "core/mac_rule.h"

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
