// Starting outside programs: the system's own (arp.exe, route.exe) and documents through
// the shell, and the TFTP client as a process of its own whose output is kept.
#pragma once

#include <string>

#include "core/client_program.h"
#include "core/log.h"
#include "core/program_run.h"
#include "win32/win32.h"

// Runs one of the operating system's own programs (arp.exe, route.exe) without a console
// window. It is started by its full path in the system directory, so that a program of
// the same name in the current or the program's folder never runs in its place (Varnok
// runs elevated), and awaited for at most 10 s, so that one change to the PC's tables
// has ended before the next begins; one that takes longer is ended (`ended`). Whether it
// changed them is for the caller to read back; what it printed last comes with the answer.
ProgramRun RunSystemProgram(const std::wstring& file, const std::wstring& parameters, Log& log);

// Starts the program at `path` without a console window, in a job, and waits for its end,
// at most `timeoutMs`: the last line it printed when it ended in time; otherwise it is
// ended, with all it started (`ended`).
ProgramRun RunAwaited(const std::wstring& path, const std::wstring& parameters, unsigned timeoutMs,
                      Log& log);

// The shell's start result as a signed number (above 32 means started).
long long StartResult(HINSTANCE result);

// A CreateProcessW error as the shell's start result, so that the log says it the same way.
long long StartResultOfError(DWORD error);

// "<system directory>\<file>".
std::wstring SystemProgramPath(const std::wstring& file);

// Starts the program at `path` with `parameters` without a console window, its output
// and errors going to an anonymous pipe that is emptied while the program is waited for
// (its writing end the only handle the program inherits). With `endsWithVarnok` it runs in a job and
// is ended when Varnok ends, however that happens. A failed start is logged.
ClientStart StartCapturedProgram(const std::wstring& path, const std::wstring& parameters, Log& log,
                                 bool endsWithVarnok);
