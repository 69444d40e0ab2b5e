// Varnok without its window: one unit, a list of units, an upload or a search for the
// units on the network, with the same core, checks, log and record as the window; one
// line per unit on the console it was started from, and an exit code for scripts.
#pragma once

#include "core/command.h"
#include "core/services.h"
#include "win32/console.h"

// Runs `command` (any kind but Window); returns the process's exit code. Ctrl+C or the
// console closing (the console's interruption) lets the unit under way skip its
// remaining echoes and clean up, and no further unit starts.
int RunCommand(const Command& command, Services& services, Console& console);
