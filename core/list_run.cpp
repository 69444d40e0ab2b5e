// Commissioning a list of units.
#include "core/list_run.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "core/address_holder.h"
#include "core/arp.h"
#include "core/mac_rule.h"

namespace {

bool AskedTogether(const UnitPath& path) {
    return path.adapter && !path.hostRoute;
}

// Who holds an address, as asked together with the others; not asked, its own run asks.
struct Holder {
    bool asked = false;
    std::optional<std::wstring> mac;
};

// Who holds each address, asked together: every older entry removed, then one plain echo
// to each address at once, then the neighbour table read. Addresses reached through a
// host route are not asked here (their own run asks). Holds the tables' lock.
std::vector<Holder> AddressHolders(const AssignmentRoles& roles, const std::vector<ListJob>& jobs,
                                   const std::function<bool()>& stopped, std::stop_token closing) {
    std::vector<Holder> holders(jobs.size());
    const TablesLock::Acquisition lock = roles.lock.Acquire(closing, roles.waitingForTables);
    if (!lock.held) {
        return holders; // not asked: each unit's run asks, and meets the lock itself
    }
    for (const ListJob& job : jobs) {
        if (AskedTogether(job.unit.path)) {
            Arp(roles.tables, job.unit.address, L"", job.unit.path.source).Delete();
        }
    }
    // A free address costs the whole wait of its echo: asked one by one, twenty of them
    // would take twenty times as long. A long list is asked in groups, not with a thread
    // for each of a thousand units.
    constexpr std::size_t kAskedAtOnce = 32;
    for (std::size_t first = 0; first < jobs.size() && !stopped(); first += kAskedAtOnce) {
        std::vector<std::jthread> askers;
        for (std::size_t i = first; i < jobs.size() && i < first + kAskedAtOnce; ++i) {
            const Assignment& unit = jobs[i].unit;
            if (AskedTogether(unit.path)) {
                askers.emplace_back([&roles, &unit, &holders, i] {
                    // An error here must not end the program: the unit's own run asks then.
                    try {
                        holders[i].mac = AddressHolder(roles.echoes, roles.tables, roles.clock,
                                                       roles.log, unit.path, unit.address);
                        holders[i].asked = true;
                    } catch (const std::exception&) {
                        holders[i] = {};
                    }
                });
            }
        }
    }
    return holders;
}

// One unit of the run, its holder already asked (or to be asked by its own sequence).
Done RunUnit(const AssignmentRoles& roles, CommissioningRecord& record, const Assignment& unit,
             const Holder& holder, std::stop_token closing) {
    if (holder.mac && !SameMac(*holder.mac, unit.mac)) {
        Done done;
        done.outcome = {Failure::AddressInUse, AddressInUseText(unit.address, *holder.mac)};
        done.recordFailure = record.Append(AssignmentEntry(roles.clock.Now(), unit, done));
        return done;
    }
    return AssignAndRecord(roles, record, unit, closing,
                           holder.asked ? HolderCheck::AlreadyAsked : HolderCheck::Ask);
}

} // namespace

UnitPlan PlanUnits(const std::vector<UnitRow>& rows, const std::vector<std::size_t>& indices,
                   const std::vector<IPv4Address>& ownAddresses,
                   const std::vector<Adapter>& adapters,
                   const std::function<std::optional<Adapter>()>& choose) {
    UnitPlan plan;
    plan.problem = CheckUnitRows(rows, ownAddresses);
    if (plan.problem) {
        return plan;
    }
    std::vector<IPv4Address> addresses;
    for (std::size_t index : indices) {
        addresses.push_back(rows[index].address);
    }
    const std::optional<std::vector<UnitPath>> paths = PathsTo(adapters, addresses, choose);
    if (!paths) {
        plan.adapterUnclear = true;
        return plan;
    }
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const UnitRow& row = rows[indices[i]];
        const Assignment unit{row.serial,  MacOfSerial(row.serial).value_or(L""),
                              row.address, row.netmask,
                              row.gateway, (*paths)[i]};
        const auto same =
            std::find_if(plan.jobs.begin(), plan.jobs.end(),
                         [&unit](const ListJob& job) { return SameMac(job.unit.mac, unit.mac); });
        if (same == plan.jobs.end()) {
            plan.jobs.push_back({indices[i], unit});
        } else {
            plan.deferred.push_back({indices[i], same->index});
        }
    }
    return plan;
}

std::size_t RunList(const AssignmentRoles& roles, CommissioningRecord& record,
                    const std::vector<ListJob>& jobs, const ListEvents& events,
                    std::stop_token closing) {
    const auto stopped = [&] {
        return closing.stop_requested() || (events.stopAfterUnit && events.stopAfterUnit());
    };
    const std::vector<Holder> holders = AddressHolders(roles, jobs, stopped, closing);
    std::size_t succeeded = 0;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (stopped()) {
            break;
        }
        if (events.started) {
            events.started(jobs[i].index);
        }
        const Done done = RunUnit(roles, record, jobs[i].unit, holders[i], closing);
        succeeded += done.outcome.Succeeded() ? 1 : 0;
        if (events.finished) {
            events.finished(jobs[i].index, done);
        }
    }
    return succeeded;
}
