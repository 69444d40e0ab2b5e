// Commissioning a list of units, shared by the list page and the command line. First the
// plan: which rows run (their addresses checked again, one unit of each group that shares
// a MAC, the adapter asked at most once for all of them); then the run. A unit takes its
// address only within about a minute of its power reset, and a technician switches a
// whole cabinet on at once: the units are addressed side by side, each with its own
// sequence, so that a run takes about as long as its slowest unit however many are
// absent. Units fail independently; a stop ends every unit in flight, clean-ups done.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

#include "core/address_check.h"
#include "core/commissioning.h"
#include "core/setup.h"
#include "core/unit_list.h"

struct ListJob {
    std::size_t index = 0; // the row's place in the caller's list
    Assignment unit;
};

// A unit left for a run of its own: the row `with`, which runs, has its MAC. On the wire
// the two cannot be told apart.
struct DeferredUnit {
    std::size_t index = 0;
    std::size_t with = 0;
};

struct UnitPlan {
    std::vector<ListJob> jobs;
    std::vector<DeferredUnit> deferred;
    // Set when nothing may run: the rows fail the checks of an import (the kept list is a
    // file anyone may edit, and the PC's own addresses change); its line is the row's
    // number...
    std::optional<ListProblem> problem;
    // ...or no adapter was chosen where one had to be.
    bool adapterUnclear = false;

    bool Runs() const { return !problem && !adapterUnclear; }
};

// Whether units that share a MAC may run together: not to be addressed (on the wire the two
// cannot be told apart), but to be sent images, each at its own address.
enum class MacSharing { OneAtATime, Together };

// The plan for the rows of `rows` at `indices`, in that order, all rows checked first as an
// import checks them. `choose` is asked for the adapter (at most once) where the way to a
// unit is not clear; nothing from it leaves the plan without jobs.
UnitPlan PlanUnits(const std::vector<UnitRow>& rows, const std::vector<std::size_t>& indices,
                   const std::vector<IPv4Address>& ownAddresses,
                   const std::vector<Adapter>& adapters,
                   const std::function<std::optional<Adapter>()>& choose,
                   MacSharing shared = MacSharing::OneAtATime);

// Told from the units' threads, one call at a time, as each unit starts and finishes.
struct ListEvents {
    std::function<void(std::size_t index)> started;
    std::function<void(std::size_t index, const Done& done)> finished;
};

// Units in flight at once. A cabinet holds up to about fifty units, all switched on
// together: every one of them should be in flight from the start, or the last would meet
// the end of their minute after the power reset. Each unit in flight holds a static entry
// (and perhaps a host route) while its echoes are out, and asks the segment who holds its
// address: 64 entries stay far below the neighbour cache's limit per interface (which
// "netsh interface ipv4 show global" shows), so no entry of another host is pushed out. Each also
// starts arp.exe two or three times, tens of milliseconds each; with 64 those starts take a few
// seconds at the head of the run, far inside the minute. A longer list runs in waves as units
// finish.
constexpr std::size_t kUnitsInFlight = 64;
// The system programs (arp.exe, route.exe) a run has running at once. A cabinet's units
// start together: all their first arp.exe runs at once would take every core of the
// technician's laptop for a moment, and the window would stop answering. A few at a time
// cost the run about a second.
constexpr std::size_t kProgramsAtOnce = 4;

// Runs the jobs side by side, kUnitsInFlight at most at once, in the jobs' order as they
// start; returns how many units took their address. The tables' lock is held for the
// whole batch (another Varnok's sequences wait for it, or this one for theirs; a lock not
// had fails every unit with its reason). Each unit's own sequence is Setup::Run's, the
// question who holds its address right before its own entry. A stop (the Stop button,
// closing, Ctrl+C) starts no further unit and lets those in flight skip their remaining
// echoes and clean up.
std::size_t RunList(const AssignmentRoles& roles, CommissioningRecord& record,
                    const std::vector<ListJob>& jobs, const ListEvents& events,
                    std::stop_token stop = {});
