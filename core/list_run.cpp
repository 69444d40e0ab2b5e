// Commissioning a list of units.
#include "core/list_run.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "core/address_holder.h"
#include "core/arp.h"

namespace {

bool AskedTogether(const UnitPath& path) {
    return path.adapter && !path.hostRoute;
}

// Who holds each address, asked together: every older entry removed, then one plain echo
// to each address at once, then the neighbour table read. Addresses reached through a
// host route are not asked here (nothing; their own run asks). Holds the tables' lock.
std::vector<std::optional<std::wstring>> AddressHolders(System& system,
                                                        const std::vector<Assignment>& units) {
    std::vector<std::optional<std::wstring>> holders(units.size());
    const std::unique_ptr<TablesLock> lock = system.LockTables();
    for (const Assignment& unit : units) {
        if (AskedTogether(unit.path)) {
            Arp(system, unit.address, L"", unit.path.source).Delete();
        }
    }
    // A free address costs the whole wait of its echo: asked one by one, twenty of them
    // would take twenty times as long. A long list is asked in groups, not with a thread
    // for each of a thousand units.
    constexpr std::size_t kAskedAtOnce = 32;
    for (std::size_t first = 0; first < units.size(); first += kAskedAtOnce) {
        std::vector<std::jthread> askers;
        for (std::size_t i = first; i < units.size() && i < first + kAskedAtOnce; ++i) {
            if (AskedTogether(units[i].path)) {
                askers.emplace_back([&system, &units, &holders, i] {
                    holders[i] = AddressHolder(system, units[i].path, units[i].address);
                });
            }
        }
    }
    return holders;
}

} // namespace

std::size_t RunList(System& system, const std::vector<ListJob>& allJobs, const ListEvents& events,
                    std::stop_token closing) {
    std::vector<ListJob> jobs;
    std::vector<std::pair<std::size_t, std::size_t>> deferred; // index, with
    for (const ListJob& job : allJobs) {
        const auto same = std::find_if(jobs.begin(), jobs.end(), [&job](const ListJob& earlier) {
            return SameMac(earlier.unit.mac, job.unit.mac);
        });
        if (same == jobs.end()) {
            jobs.push_back(job);
        } else {
            deferred.emplace_back(job.index, same->index);
        }
    }
    std::vector<Assignment> units;
    for (const ListJob& job : jobs) {
        units.push_back(job.unit);
    }
    const std::vector<std::optional<std::wstring>> holders = AddressHolders(system, units);
    std::size_t succeeded = 0;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (closing.stop_requested() || (events.stopAfterUnit && events.stopAfterUnit())) {
            break;
        }
        const Assignment& unit = jobs[i].unit;
        if (events.started) {
            events.started(jobs[i].index);
        }
        Done done;
        if (holders[i] && !SameMac(*holders[i], unit.mac)) {
            done.outcome = {Failure::AddressInUse, AddressInUseText(unit.address, *holders[i])};
            done.recordFailure = AppendToRecord(system, AssignmentEntry(system.Now(), unit, done));
        } else {
            done = AssignAndRecord(system, unit, closing,
                                   AskedTogether(unit.path) ? HolderCheck::AlreadyAsked
                                                            : HolderCheck::Ask);
        }
        if (done.outcome.Succeeded()) {
            ++succeeded;
        }
        if (events.finished) {
            events.finished(jobs[i].index, done);
        }
    }
    for (const auto& [index, with] : deferred) {
        if (events.deferred) {
            events.deferred(index, with);
        }
    }
    return succeeded;
}
