// The lock on the PC's tables that every running Varnok shares (a window, a command
// line, in any session): one sequence at a time adds and removes entries and routes. Windows
// holds a named mutex that only administrators and the system may take (win32/roles.h).
#pragma once

#include <functional>
#include <memory>
#include <stop_token>
#include <string>

class TablesLock {
public:
    // Released when destroyed.
    class Held {
    public:
        virtual ~Held() = default;
    };

    struct Acquisition {
        std::unique_ptr<Held> held; // null: not taken, for the reason below
        enum class Refusal { None, Busy, Foreign, Unavailable, Stopped } refusal = Refusal::None;
        std::wstring reason; // for the technician, when not taken
    };

    virtual ~TablesLock() = default;
    // Takes the lock, so that no other sequence, of this Varnok or another one, changes
    // the PC's tables while it is held. When another sequence holds it, `waiting` is told
    // once and the wait goes on, for a bounded time (Busy after it) and no longer than
    // `stop` allows (Stopped). A lock that another program holds the name of is refused
    // (Foreign): nobody else can be allowed to hold Varnok up, or let it in. A lock that
    // cannot be had at all is refused with the system's reason (Unavailable): no sequence
    // ever runs unlocked.
    virtual Acquisition Acquire(std::stop_token stop = {},
                                const std::function<void()>& waiting = {}) = 0;
    // The same without waiting: Busy at once when another sequence holds it.
    virtual Acquisition TryAcquire() = 0;
};
