// Splitting lines and fields, and writing fields that any spreadsheet reads back as given.
#include "core/csv.h"

#include <algorithm>

#include "core/text.h"

namespace {

// The characters with which a spreadsheet starts a formula.
constexpr std::wstring_view kFormulaStarts = L"=+-@\t\r";

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
        if (end == line.size()) {
            return fields;
        }
        i = end + 1;
    }
}

std::wstring CsvField(const std::wstring& text, wchar_t separator) {
    std::wstring field = text;
    if (!field.empty() && kFormulaStarts.find(field[0]) != std::wstring_view::npos) {
        field.insert(0, 1, L'\'');
    }
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
    if (field.size() >= 2 && field[0] == L'\'' &&
        kFormulaStarts.find(field[1]) != std::wstring_view::npos) {
        return field.substr(1);
    }
    return field;
}
