// What "Show" needs of the desktop: opening a web address for the person at the desktop.
// Windows implements it with the desktop's shell (win32/roles.h).
// Varnok runs elevated, and whatever it starts itself inherits that; a browser on an
// unauthenticated page of the segment must not. So the desktop opens the page, or nobody
// does.
#pragma once

#include <string>

#include "core/program_run.h"

class Desktop {
public:
    virtual ~Desktop() = default;
    // Opens a document or web address through the desktop's shell, as the user of the
    // desktop; fails where the desktop's shell cannot (no Explorer running, another
    // account's desktop).
    virtual ProgramRun ShellOpen(const std::wstring& file, const std::wstring& parameters) = 0;
};
