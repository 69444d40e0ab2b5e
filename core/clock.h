// Time as the core needs it: the local time a record line carries, a steady count of
// milliseconds for how long something took, and the pauses between echoes and ticks.
// Tests stand in with a clock that advances only when told, so nothing in them sleeps.
#pragma once

#include <cstdint>
#include <stop_token>

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int offsetMinutes = 0; // local time's offset from UTC: +60 for UTC+01:00
};

class Clock {
public:
    virtual ~Clock() = default;
    // The local time with its offset from UTC.
    virtual LocalTime Now() = 0;
    // A steady count of milliseconds, for durations.
    virtual std::uint64_t Milliseconds() = 0;
    virtual void Pause(unsigned milliseconds) = 0;
    // The same pause, ended at once by `stop` (the program closing, Ctrl+C, "Stop"): true
    // when it ran its whole time.
    virtual bool PauseUnlessStopped(unsigned milliseconds, std::stop_token stop) = 0;
};
