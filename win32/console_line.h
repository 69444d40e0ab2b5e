// One line of UTF-8 text for whatever a program's output goes to: a console gets it as
// UTF-16, a pipe or a file gets the bytes as they are. Line ends are CR LF, as a console
// and Notepad alike want them. Varnok's command line and the TFTP client both write this
// way.
#pragma once

#include <windows.h>

#include <string>

inline void WriteConsoleLine(HANDLE to, const std::string& line) {
    if (!to || to == INVALID_HANDLE_VALUE) {
        return;
    }
    std::string bytes;
    for (const char c : line + "\n") {
        if (c == '\n') {
            bytes += '\r';
        }
        bytes += c;
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (!::GetConsoleMode(to, &mode)) {
        ::WriteFile(to, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        return;
    }
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                          size);
    ::WriteConsoleW(to, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}
