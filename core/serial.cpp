#include "core/serial.h"

#include <cwctype>

std::optional<std::uint32_t> ReadSerialNumber(const std::wstring& whole) {
    const std::wstring text = whole.substr(0, 63);
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) {
        ++i;
    }
    if (i < text.size() && text[i] == L'-') {
        return std::nullopt;
    }
    if (i < text.size() && text[i] == L'+') {
        ++i;
    }
    if (i == text.size() || text[i] < L'0' || text[i] > L'9') {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - L'0');
        if (value > UINT32_MAX) {
            value = UINT32_MAX + std::uint64_t{1}; // saturated; more digits change nothing
        }
    }
    return value > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(value);
}

SerialLength CheckSerialLength(const std::wstring& text) {
    if (text.size() < 4) {
        return SerialLength::TooShort;
    }
    if (text.size() > 5) {
        return SerialLength::TooLong;
    }
    return SerialLength::Fine;
}
