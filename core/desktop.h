// What "Show" needs of the desktop: opening a web address for the person at the desktop,
// the browser registered for the whole machine, and starting a program by its path.
// Windows implements it with the desktop's shell and the registry (win32/roles.h).
// Varnok runs elevated: nothing a standard user can write (the per-user part of the
// class registry, a folder of theirs) may choose a program that it starts.
#pragma once

#include <optional>
#include <string>

#include "core/program_run.h"

class Desktop {
public:
    virtual ~Desktop() = default;
    // Opens a document or web address through the desktop's shell, as the user of the
    // desktop; fails where the desktop's shell cannot (no Explorer running).
    virtual ProgramRun ShellOpen(const std::wstring& file, const std::wstring& parameters) = 0;
    // Starts the program at the full path `program` with `arguments`, window shown, not
    // through the shell and not awaited.
    virtual ProgramRun StartProgram(const std::wstring& program, const std::wstring& arguments) = 0;
    // The default value of a key of the machine's own class registry (not the per-user
    // part that the merged view shows too): ".htm", or its class's "shell\open\command";
    // nothing when it is missing or not text.
    virtual std::optional<std::wstring> ClassDefault(const std::wstring& keyName) = 0;
    // `program` is a full path to a file in a folder only administrators can change
    // (under Program Files or the Windows folder).
    virtual bool IsProtectedProgram(const std::wstring& program) = 0;
};
