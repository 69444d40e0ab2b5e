#include "core/browser.h"

#include "core/text.h"

namespace {

// The placeholders the shell fills in for a document: %1 and %L (%l) are the document
// itself, %* the further arguments, of which "Show" has none.
std::wstring FillPlaceholders(const std::wstring& text, const std::wstring& document,
                              bool& filled) {
    std::wstring result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t next = i + 1 < text.size() ? text[i + 1] : L'\0';
        if (text[i] == L'%' && (next == L'1' || next == L'L' || next == L'l')) {
            result += document;
            filled = true;
            ++i;
        } else if (text[i] == L'%' && next == L'*') {
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

} // namespace

std::wstring WebAddress(const IPv4Address& address) {
    return L"http://" + address.ToText();
}

std::optional<BrowserStart> BrowserStartFor(const std::wstring& openCommand,
                                            const std::wstring& webAddress) {
    const std::wstring command = TrimBlanks(openCommand);
    BrowserStart start;
    std::size_t rest = 0;
    if (!command.empty() && command[0] == L'"') {
        const std::size_t close = command.find(L'"', 1);
        start.program = command.substr(1, close == std::wstring::npos ? close : close - 1);
        rest = close == std::wstring::npos ? command.size() : close + 1;
    } else {
        rest = 0;
        while (rest < command.size() && !IsBlank(command[rest])) {
            ++rest;
        }
        start.program = command.substr(0, rest);
    }
    if (start.program.empty()) {
        return std::nullopt;
    }
    bool filled = false;
    start.arguments = TrimBlanks(FillPlaceholders(command.substr(rest), webAddress, filled));
    if (!filled) {
        start.arguments += (start.arguments.empty() ? L"" : L" ") + webAddress;
    }
    return start;
}

bool IsFullPath(const std::wstring& path) {
    const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const bool drive =
        path.size() >= 3 &&
        ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
        path[1] == L':' && separator(path[2]);
    const bool unc =
        path.size() >= 3 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
    return drive || unc;
}

bool OpenWebPage(Desktop& desktop, const IPv4Address& address) {
    const std::wstring webAddress = WebAddress(address);
    // The desktop's shell opens it as the desktop's user: a browser must not inherit
    // Varnok's administrator rights.
    if (desktop.ShellOpen(webAddress, L"").started) {
        return true;
    }
    // The machine's browser for ".htm" pages is started by its path with the address,
    // never with its whole command handed to the shell as a document's name, and only from
    // a folder no standard user can change.
    const std::optional<std::wstring> htmClass = desktop.ClassDefault(L".htm");
    const std::optional<std::wstring> openCommand =
        htmClass ? desktop.ClassDefault(*htmClass + L"\\shell\\open\\command") : std::nullopt;
    const std::optional<BrowserStart> browser =
        openCommand ? BrowserStartFor(*openCommand, webAddress) : std::nullopt;
    return browser && desktop.IsProtectedProgram(browser->program) &&
           desktop.StartProgram(browser->program, browser->arguments).started;
}
