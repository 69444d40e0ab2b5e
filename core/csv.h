// Comma- or semicolon-separated text as spreadsheets read and write it: the list of units
// a technician brings, the list the program keeps between runs, the commissioning record.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A text file's lines: a UTF-8 byte order mark removed, decoded from UTF-8, split at CR LF,
// LF or a lone CR. A line break at the very end starts no further line.
std::vector<std::wstring> SplitLines(std::string_view bytes);

// One line's fields between `separator`s. A field may be enclosed in double quotes, which
// then hold separators and "" for one quote; blanks and tabs around a field, outside its
// quotes, are dropped. An empty line is one empty field.
std::vector<std::wstring> SplitCsvLine(const std::wstring& line, wchar_t separator);

// `text` as one field, in double quotes (its own doubled) when it holds the separator, a
// quote, CR or LF, or begins or ends with a blank or tab. A text beginning with =, +, -,
// @, tab or CR first gets an apostrophe: a spreadsheet then shows it instead of running
// it as a formula, and the texts written include servers' messages.
std::wstring CsvField(const std::wstring& text, wchar_t separator = L',');
// A field read back as the text CsvField was given: the apostrophe it put first removed.
std::wstring CsvText(const std::wstring& field);
