// What "Show" opens: the unit's web address, through the desktop's shell, and when that
// cannot be done, the machine's browser for ".htm" pages started with the address.
#pragma once

#include <optional>
#include <string>

#include "core/address.h"
#include "core/desktop.h"

// "http://" and the dotted address.
std::wstring WebAddress(const IPv4Address& address);

// A browser start taken apart from an open command.
struct BrowserStart {
    std::wstring program;   // the command's first word, its quotes removed
    std::wstring arguments; // what follows it, with the web address filled in
};

// The open command's program is its quoted first word, or else the text up to the first
// blank or tab (an unquoted path with blanks is not guessed at). In the rest, each %1 or
// %L (either case) becomes the web address, wherever it stands and within whatever quotes
// the command put around it, and %* becomes nothing; with no placeholder at all, the
// address is appended as the last argument. Nothing when the command names no program.
std::optional<BrowserStart> BrowserStartFor(const std::wstring& openCommand,
                                            const std::wstring& webAddress);

// A path that does not depend on the current folder or drive: "C:\..." or "\\server\...".
bool IsFullPath(const std::wstring& path);

// Opens the unit's web page: through the desktop's shell, as the desktop's user; else with
// the browser the machine's ".htm" class names, when its program lies in a folder only
// administrators can change. False when neither could be done: the caller shows the
// address, to be opened by hand.
bool OpenWebPage(Desktop& desktop, const IPv4Address& address);
