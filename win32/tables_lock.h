// The lock on the PC's ARP table and routes that every Varnok shares, the window's and
// the command line's alike, in every session: the tables are the whole PC's. A mutex in
// Varnok's own namespace (win32/object_names.h), which only administrators and the system
// may open: a program without those rights can neither hold Varnok up with it nor let a
// second Varnok in beside the first.
#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "core/tables_lock.h"
#include "win32/object_names.h"

// The lock's name in `names`, when it has one.
std::optional<std::wstring> TablesLockName(const VarnokNamespace& names);

// Takes the lock: at once, or (with `patienceMs` above 0) after waiting for it at most
// that long, telling `waiting` once when it must wait, and giving up when `stop` asks. A
// name that cannot be had, or that something not Varnok's holds, is refused with its
// reason: nothing runs unlocked. A Varnok that died holding the lock leaves it to the next
// one.
TablesLock::Acquisition TakeTablesLock(const VarnokNamespace& names, unsigned patienceMs,
                                       std::stop_token stop, const std::function<void()>& waiting);
