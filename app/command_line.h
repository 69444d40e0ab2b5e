// Varnok without its window: one unit, a list of units or an upload, with the same core,
// checks, log and record as the window; one line per unit on the console it was started
// from, and an exit code for scripts.
#pragma once

#include "core/command.h"
#include "core/system.h"
#include "win32/console.h"

// Runs `command` (any kind but Window); returns the process's exit code.
int RunCommand(const Command& command, System& system, Console& console);
