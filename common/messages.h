// The program's own warning boxes: title "Varnok message", exclamation icon and sound,
// one OK button, no owner window. Outcomes ("SUCCESS!", "FAILED!!!") and ICMP failures
// are shown this way.
#pragma once

#include <cstdarg>
#include <string>

#include "common/strings.h"

// Shows a box with a printf-style formatted text; the text also goes to the log (when
// it is on) before the box appears. Returns what MessageBoxW returned (0 on failure).
int ShowMessage(const wchar_t* format, ...);

// Shows a box with string-table text `id` (empty when there is none). Not logged.
void ShowMessageId(unsigned id);

// The text ShowMessage shows: at most 1023 characters, cut there when longer.
std::wstring FormatMessageText(const wchar_t* format, va_list args);
constexpr std::size_t kMaxMessageChars = 1023;

// Operating-system edge: exclamation sound, then the box; returns MessageBoxW's result.
int ShowMessageBox(const std::wstring& text);
