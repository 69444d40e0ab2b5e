// The timing of an upload on the update page: after the unit answered the ping, a bar
// advances once a second for a fixed number of ticks (30 for firmware, 15 for web
// pages), the time a unit needs to take and write the image.
#pragma once

#include <cstdint>

constexpr unsigned kFirmwareTicks = 30;
constexpr unsigned kWebPageTicks = 15;

enum class TickOutcome {
    NotOurs,  // another timer's message: nothing changes
    Continue, // arm the timer for the next tick
    Done,     // the wait is over
};

// One tick of the progress timer. `positionBeforeStep` is what the bar's step returned;
// `ticksLeft` (started at the tick limit) bounds the wait even if the bar never moves.
TickOutcome TransferTick(std::uintptr_t id, std::uintptr_t timerId, int positionBeforeStep,
                         unsigned limit, unsigned& ticksLeft);
