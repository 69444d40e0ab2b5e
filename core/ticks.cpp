// The tick rule of the update page.
#include "core/ticks.h"

TickOutcome TransferTick(std::uintptr_t id, std::uintptr_t timerId, int positionBeforeStep,
                         unsigned limit, unsigned& ticksLeft) {
    if (id != timerId) {
        return TickOutcome::NotOurs;
    }
    if (positionBeforeStep < static_cast<int>(limit) && ticksLeft > 0) {
        --ticksLeft;
        return TickOutcome::Continue;
    }
    return TickOutcome::Done;
}
