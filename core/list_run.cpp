// Commissioning a list of units.
#include "core/list_run.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

#include "core/address_holder.h"
#include "core/mac_rule.h"
#include "core/text.h"
#include "core/turns.h"

namespace {

// The lock as the units of a batch meet it: the batch took it (or was refused it) once,
// for all of them.
class BatchLock : public TablesLock {
public:
    explicit BatchLock(const Acquisition& batch) : batch_(batch) {}
    Acquisition Acquire(std::stop_token, const std::function<void()>&) override { return Share(); }
    Acquisition TryAcquire() override { return Share(); }

private:
    Acquisition Share() const {
        if (batch_.held) {
            return {std::make_unique<Held>(), Acquisition::Refusal::None, L""};
        }
        return {nullptr, batch_.refusal, batch_.reason};
    }
    const Acquisition& batch_;
};

// The PC's tables as the units of a batch meet them: their arp.exe and route.exe runs
// take turns, a few at a time.
class GatedTables : public PcTables {
public:
    explicit GatedTables(PcTables& tables) : tables_(tables) {}
    ProgramRun RunSystemProgram(const std::wstring& file, const std::wstring& parameters) override {
        const Turns::Turn turn = turns_.Take();
        return tables_.RunSystemProgram(file, parameters);
    }
    std::vector<Adapter> Adapters() override { return tables_.Adapters(); }
    std::vector<IPv4Address> OwnAddresses() override { return tables_.OwnAddresses(); }
    std::optional<std::wstring> NeighbourMac(const IPv4Address& address,
                                             unsigned long interfaceIndex) override {
        return tables_.NeighbourMac(address, interfaceIndex);
    }
    bool HasStaticEntry(const IPv4Address& address, const std::wstring& mac,
                        unsigned long interfaceIndex) override {
        return tables_.HasStaticEntry(address, mac, interfaceIndex);
    }
    Seen HostRoute(const IPv4Address& address, unsigned long interfaceIndex) override {
        return tables_.HostRoute(address, interfaceIndex);
    }
    StaticEntry StaticEntryAt(const IPv4Address& address) override {
        return tables_.StaticEntryAt(address);
    }

private:
    PcTables& tables_;
    Turns turns_{kProgramsAtOnce};
};

// The units of a run, taken by the threads one after the other.
class Batch {
public:
    Batch(const AssignmentRoles& roles, CommissioningRecord& record,
          const std::vector<ListJob>& jobs, const ListEvents& events, std::stop_token stop)
        : roles_(roles), record_(record), jobs_(jobs), events_(events), stop_(stop) {}

    // Addresses units until none is left or the run is stopped.
    void Work() {
        for (std::size_t i = next_++; i < jobs_.size() && !stop_.stop_requested(); i = next_++) {
            Tell([&] { events_.started ? events_.started(jobs_[i].index) : void(); });
            const Done done = Address(jobs_[i].unit);
            succeeded_ += done.outcome.Succeeded() ? 1 : 0;
            Tell([&] { events_.finished ? events_.finished(jobs_[i].index, done) : void(); });
        }
    }
    std::size_t Succeeded() const { return succeeded_; }

private:
    Done Address(const Assignment& unit) {
        try {
            return AssignAndRecord(roles_, record_, unit, stop_);
        } catch (const std::exception& error) {
            // One unit's error of Varnok's own ends that unit only; its own record says
            // what it left, and the start-up undo removes it.
            Done done;
            done.outcome = {Failure::InternalError, InternalErrorText(FromUtf8(error.what()))};
            return done;
        }
    }
    template <typename Call> void Tell(Call call) {
        const std::lock_guard<std::mutex> lock(eventsMutex_);
        call();
    }

    const AssignmentRoles& roles_;
    CommissioningRecord& record_;
    const std::vector<ListJob>& jobs_;
    const ListEvents& events_;
    std::stop_token stop_;
    std::mutex eventsMutex_;
    std::atomic<std::size_t> next_{0};
    std::atomic<std::size_t> succeeded_{0};
};

} // namespace

UnitPlan PlanUnits(const std::vector<UnitRow>& rows, const std::vector<std::size_t>& indices,
                   const std::vector<IPv4Address>& ownAddresses,
                   const std::vector<Adapter>& adapters,
                   const std::function<std::optional<Adapter>()>& choose, MacSharing shared) {
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
        if (same == plan.jobs.end() || shared == MacSharing::Together) {
            plan.jobs.push_back({indices[i], unit});
        } else {
            plan.deferred.push_back({indices[i], same->index});
        }
    }
    return plan;
}

std::size_t RunList(const AssignmentRoles& roles, CommissioningRecord& record,
                    const std::vector<ListJob>& jobs, const ListEvents& events,
                    std::stop_token stop) {
    const TablesLock::Acquisition batchLock = roles.lock.Acquire(stop, roles.waitingForTables);
    BatchLock shared(batchLock);
    GatedTables gated(roles.tables);
    const AssignmentRoles unitRoles{gated,  roles.echoes, roles.clock,           roles.changes,
                                    shared, roles.log,    roles.waitingForTables};
    Batch batch(unitRoles, record, jobs, events, stop);
    {
        std::vector<std::jthread> threads;
        for (std::size_t t = 0; t < std::min(jobs.size(), kUnitsInFlight); ++t) {
            threads.emplace_back([&batch] { batch.Work(); });
        }
    } // every unit's clean-up done
    return batch.Succeeded();
}
