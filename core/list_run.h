// Commissioning a list of units, shared by the list page and the command line. First the
// plan: which rows run (their addresses checked again, one unit of each group that shares
// a MAC, the adapter asked at most once for all of them); then the run, one unit after
// the other as the technician switches them on: who holds each address is asked of the
// segment for all of them together first, then each unit gets its assignment sequence.
// Units fail independently; a stop request ends the run after the unit under way.
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

// The plan for the rows of `rows` at `indices`, in that order, all rows checked first as an
// import checks them. `choose` is asked for the adapter (at most once) where the way to a
// unit is not clear; nothing from it leaves the plan without jobs.
UnitPlan PlanUnits(const std::vector<UnitRow>& rows, const std::vector<std::size_t>& indices,
                   const std::vector<IPv4Address>& ownAddresses,
                   const std::vector<Adapter>& adapters,
                   const std::function<std::optional<Adapter>()>& choose);

struct ListEvents {
    std::function<void(std::size_t index)> started;
    std::function<void(std::size_t index, const Done& done)> finished;
    // Asked before each unit: true ends the run there.
    std::function<bool()> stopAfterUnit;
};

// Runs the jobs in order; returns how many units took their address. A unit whose address
// another device holds fails at once, without its sequence. `closing` (the program ends)
// also skips the echoes of the unit under way.
std::size_t RunList(const AssignmentRoles& roles, CommissioningRecord& record,
                    const std::vector<ListJob>& jobs, const ListEvents& events,
                    std::stop_token closing = {});
