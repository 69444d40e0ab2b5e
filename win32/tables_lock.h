// The lock on the PC's ARP table and routes that every Varnok shares, the window's and
// the command line's alike: a named mutex in the global namespace, since the tables are
// the whole PC's, not one session's. Only administrators and the system may take it: a
// program without those rights can neither hold Varnok up with it nor let a second Varnok
// in beside the first.
#pragma once

#include <functional>
#include <memory>
#include <stop_token>

#include "core/tables_lock.h"

// Takes the lock: at once, or (with `patienceMs` above 0) after waiting for it at most
// that long, telling `waiting` once when it must wait, and giving up when `stop` asks. A
// mutex of that name that is not administrators' own is refused. A Varnok that died
// holding it leaves it to the next one.
TablesLock::Acquisition TakeTablesLock(unsigned patienceMs, std::stop_token stop,
                                       const std::function<void()>& waiting);
