// Trimming what a user types or pastes.
#include "core/text.h"

std::wstring TrimBlanks(const std::wstring& text) {
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && blank(text[first])) {
        ++first;
    }
    while (end > first && blank(text[end - 1])) {
        --end;
    }
    return text.substr(first, end - first);
}
