// The record of the changes to the PC's tables that are under way, kept where a crash
// cannot lose it and only administrators can write, so that the next start can undo what
// a run killed halfway left behind, and nothing else. Windows keeps it under HKEY_LOCAL_
// MACHINE (win32/roles.h).
#pragma once

#include <vector>

#include "core/address.h"

// The static ARP entry for `address`, and a host route to it when `hostRoute`.
struct PendingChange {
    IPv4Address address;
    bool hostRoute = false;
};

class ChangeRecord {
public:
    virtual ~ChangeRecord() = default;
    // Before the tables change: the entry (and route) for `change.address` may be left.
    virtual void Add(const PendingChange& change) = 0;
    // Once its clean-up is done.
    virtual void Remove(const IPv4Address& address) = 0;
    // Every change on record.
    virtual std::vector<PendingChange> All() = 0;
};
