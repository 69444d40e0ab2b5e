// Trimming what a user types or pastes, and converting between UTF-8 and wide text.
#include "core/text.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendCodePoint(std::wstring& text, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c > 0xFFFF) {
            c -= 0x10000;
            text += static_cast<wchar_t>(0xD800 + (c >> 10));
            text += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    text += static_cast<wchar_t>(c);
}

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

} // namespace

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

std::wstring TrimBlanks(const std::wstring& text) {
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && IsBlank(text[first])) {
        ++first;
    }
    while (end > first && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(first, end - first);
}

std::wstring FromUtf8(std::string_view bytes) {
    std::wstring text;
    text.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        // The sequence's length, and the range its second byte must lie in: narrower after
        // E0, ED, F0 and F4, which rules out overlong forms, surrogates and values past
        // U+10FFFF. Every further byte lies in 80..BF.
        std::size_t length = 1;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        char32_t c = lead;
        if (lead < 0x80) {
            text += static_cast<wchar_t>(lead);
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            c = lead & 0x0F;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            c = lead & 0x07;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            AppendCodePoint(text, kReplacement);
            ++i;
            continue;
        }
        std::size_t n = 1;
        for (; n < length && i + n < bytes.size(); ++n) {
            const auto next = static_cast<unsigned char>(bytes[i + n]);
            if (next < (n == 1 ? low : 0x80) || next > (n == 1 ? high : 0xBF)) {
                break;
            }
            c = c << 6 | (next & 0x3F);
        }
        AppendCodePoint(text, n == length ? c : kReplacement);
        i += n; // a broken sequence's valid beginning is consumed; the byte that broke it is not
    }
    return text;
}

std::string ToUtf8(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const auto next = static_cast<char32_t>(text[i + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            }
        }
        if (IsSurrogate(c) || c > 0x10FFFF) {
            c = kReplacement;
        }
        if (c < 0x80) {
            bytes += static_cast<char>(c);
        } else if (c < 0x800) {
            bytes += static_cast<char>(0xC0 | c >> 6);
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            bytes += static_cast<char>(0xE0 | c >> 12);
            bytes += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | c >> 18);
            bytes += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            bytes += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return bytes;
}

bool SameAsciiWord(const std::wstring& text, const wchar_t* word) {
    std::size_t i = 0;
    for (; i < text.size() && word[i] != L'\0'; ++i) {
        const wchar_t c = text[i];
        if ((c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c) != word[i]) {
            return false;
        }
    }
    return i == text.size() && word[i] == L'\0';
}
