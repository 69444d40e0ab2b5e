// Commissioning a list of units one after the other, as the technician switches them on:
// who holds each address is asked of the segment for all of them together first, then
// each unit gets its assignment sequence. Units fail independently; a stop request ends
// the run after the unit under way. Of units that share a MAC, one is addressed per run:
// on the wire they cannot be told apart.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "core/commissioning.h"
#include "core/system.h"

struct ListJob {
    std::size_t index = 0; // the row's place in the caller's list
    Assignment unit;
};

struct ListEvents {
    std::function<void(std::size_t index)> started;
    std::function<void(std::size_t index, const Done& done)> finished;
    // A unit left for a run of its own: the unit `with` of this run has its MAC.
    std::function<void(std::size_t index, std::size_t with)> deferred;
    // Asked before each unit: true ends the run there.
    std::function<bool()> stopAfterUnit;
};

// Runs the jobs in order; returns how many units took their address. A unit whose address
// another device holds fails at once, without its sequence. A unit whose MAC an earlier
// job has is deferred (told at the end). `closing` (the program ends) also skips the
// echoes of the unit under way.
std::size_t RunList(System& system, const std::vector<ListJob>& jobs, const ListEvents& events,
                    std::stop_token closing = {});
