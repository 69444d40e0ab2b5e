// Composing the formatted warning text; the box itself is shown by the platform edge.
#include "common/messages.h"

#include <algorithm>
#include <cwchar>
#include <vector>

#include "common/log.h"

std::wstring FormatMessageText(const wchar_t* format, va_list args) {
    // vswprintf cannot say how long a text would have been, so grow the buffer until
    // it fits (or clearly never will) and cut the result to the box's limit.
    std::vector<wchar_t> buffer(kMaxMessageChars + 1);
    for (;;) {
        std::fill(buffer.begin(), buffer.end(), L'\0');
        va_list copy;
        va_copy(copy, args);
        const int n = std::vswprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (n >= 0) {
            std::wstring text(buffer.data(), static_cast<std::size_t>(n));
            if (text.size() > kMaxMessageChars) {
                text.resize(kMaxMessageChars);
            }
            return text;
        }
        if (buffer.size() >= 64 * 1024) {
            // An encoding error, or absurdly long: show what was written, cut.
            buffer[kMaxMessageChars] = L'\0';
            return std::wstring(buffer.data());
        }
        buffer.resize(buffer.size() * 4);
    }
}

int ShowMessage(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const std::wstring text = FormatMessageText(format, args);
    va_end(args);
    WriteLogLine(text);
    return ShowMessageBox(text);
}
