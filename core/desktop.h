// What "Show" needs of the desktop: opening a web address for the person at the desktop,
// the browser that the class registry names, and starting a program by its path.
// Windows implements it with the desktop's shell and the registry (win32/roles.h).
#pragma once

#include <optional>
#include <string>

#include "core/program_run.h"

class Desktop {
public:
    virtual ~Desktop() = default;
    // Opens a document or web address with the shell: as the user of the desktop where
    // the desktop's shell can do it, else with Varnok's own rights.
    virtual ProgramRun ShellOpen(const std::wstring& file, const std::wstring& parameters) = 0;
    // Starts the program at the full path `program` with `arguments`, window shown, not
    // through the shell and not awaited.
    virtual ProgramRun StartProgram(const std::wstring& program, const std::wstring& arguments) = 0;
    // The default value of a key of the class registry: ".htm", or its class's
    // "shell\open\command"; nothing when it is missing or not text.
    virtual std::optional<std::wstring> ClassDefault(const std::wstring& keyName) = 0;
};
