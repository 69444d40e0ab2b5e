// Splitting lines and fields, and writing fields that any spreadsheet reads back as given.
#include "core/csv.h"

#include <algorithm>

#include "core/text.h"

namespace {

// The characters with which a spreadsheet starts a formula, or that would hide one: a
// quote that a spreadsheet takes away, an apostrophe that reading would.
constexpr std::wstring_view kGuarded = L"=+-@\t\r\"'";

// Where a spreadsheet may start a cell within a field's text: at its beginning, and after
// a comma or a semicolon.
bool StartsCell(const std::wstring& text, std::size_t at) {
    return at == 0 || text[at - 1] == L',' || text[at - 1] == L';';
}

// The text with an apostrophe before each character that could begin a formula cell.
std::wstring Guarded(const std::wstring& text) {
    std::wstring guarded;
    guarded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (StartsCell(text, i) && kGuarded.find(text[i]) != std::wstring_view::npos) {
            guarded += L'\'';
        }
        guarded += text[i];
    }
    return guarded;
}

} // namespace

std::vector<std::wstring> SplitLines(std::string_view bytes) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        bytes.remove_prefix(kByteOrderMark.size());
    }
    const std::wstring text = FromUtf8(bytes);
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of(L"\r\n", start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, L"\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

std::vector<std::wstring> SplitCsvLine(const std::wstring& line, wchar_t separator) {
    std::vector<std::wstring> fields;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && IsBlank(line[i])) {
            ++i;
        }
        std::wstring field;
        if (i < line.size() && line[i] == L'"') {
            for (++i; i < line.size(); ++i) {
                if (line[i] != L'"') {
                    field += line[i];
                } else if (i + 1 < line.size() && line[i + 1] == L'"') {
                    field += L'"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        }
        // An unquoted field, or whatever stray text follows a closing quote, up to the
        // separator (an unclosed quote has taken the rest of the line).
        const std::size_t end = std::min(line.find(separator, i), line.size());
        field += TrimBlanks(line.substr(i, end - i));
        fields.push_back(field);
        if (end == line.size() || fields.size() > kMostCsvFields) {
            return fields; // one more than a caller takes tells it the line has too many
        }
        i = end + 1;
    }
}

std::wstring CsvField(const std::wstring& text, wchar_t separator) {
    const std::wstring field = Guarded(text);
    const wchar_t needingQuotes[] = {separator, L'"', L'\r', L'\n'};
    if (field.find_first_of(needingQuotes, 0, std::size(needingQuotes)) == std::wstring::npos &&
        (field.empty() || (!IsBlank(field.front()) && !IsBlank(field.back())))) {
        return field;
    }
    std::wstring quoted = L"\"";
    for (wchar_t c : field) {
        if (c == L'"') {
            quoted += L'"';
        }
        quoted += c;
    }
    return quoted + L'"';
}

std::wstring CsvText(const std::wstring& field) {
    std::wstring text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const bool guard = field[i] == L'\'' && StartsCell(field, i) && i + 1 < field.size() &&
                           kGuarded.find(field[i + 1]) != std::wstring_view::npos;
        if (guard) {
            ++i; // the guarded character follows as it is
        }
        text += field[i];
    }
    return text;
}
