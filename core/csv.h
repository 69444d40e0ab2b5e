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
// quote, CR or LF, or begins or ends with a blank or tab. A spreadsheet starts a cell at
// the field's beginning and, in countries whose lists use semicolons, after every ',' or
// ';' inside it too: wherever a cell could begin with =, +, -, @, tab, CR, a quote or an
// apostrophe, an apostrophe goes first. A spreadsheet then shows the text instead of
// running it as a formula, and the texts written include servers' messages and names.
std::wstring CsvField(const std::wstring& text, wchar_t separator = L',');
// A field read back as the text CsvField was given: the apostrophes it put in removed.
std::wstring CsvText(const std::wstring& field);

// Lines and fields longer or more than a list of units or the record ever has: a file
// with such is not one of them.
constexpr std::size_t kMostCsvLineChars = 4096;
constexpr std::size_t kMostCsvFields = 64;
