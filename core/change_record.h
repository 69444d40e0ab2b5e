// The record of a change to the PC's tables that is under way, kept where a crash cannot
// lose it, so that the next start can undo what a run killed halfway left behind.
// Windows keeps it in the settings store (win32/roles.h).
#pragma once

#include <optional>

#include "core/address.h"

// The static ARP entry for `address`, and a host route to it when `hostRoute`.
struct PendingChange {
    IPv4Address address;
    bool hostRoute = false;
};

class ChangeRecord {
public:
    virtual ~ChangeRecord() = default;
    virtual void Write(const PendingChange& change) = 0;
    virtual std::optional<PendingChange> Read() = 0;
    virtual void Clear() = 0;
};
