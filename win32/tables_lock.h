// The lock on the PC's ARP table and routes that every Varnok shares, the window's and
// the command line's alike: a named mutex in the global namespace, since the tables are
// the whole PC's, not one session's.
#pragma once

#include <memory>

#include "core/tables_lock.h"

// Waits for the lock (without `wait`: nothing when another holds it now); a Varnok that
// died holding it leaves it to the next one. Where no mutex can be had at all the
// sequence runs unlocked rather than not at all.
std::unique_ptr<TablesLock::Held> WaitForTablesLock(bool wait);
