// The lock on the PC's tables that every running Varnok shares (a window, a command
// line): one sequence at a time adds and removes entries and routes. Windows holds a
// named mutex (win32/roles.h).
#pragma once

#include <memory>

class TablesLock {
public:
    // Released when destroyed.
    class Held {
    public:
        virtual ~Held() = default;
    };

    virtual ~TablesLock() = default;
    // Waits until no other sequence, of this Varnok or another one, changes the PC's
    // tables, and keeps them to this one while the returned lock lives. Without `wait`,
    // nothing when another sequence holds it now.
    virtual std::unique_ptr<Held> Acquire(bool wait = true) = 0;
};
