// A list of units against the recording system, the command line's reading, and what the
// front ends share: the way to each unit, the lock, the record's use.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

#include "core/command.h"
#include "core/commissioning.h"
#include "core/list_run.h"
#include "core/mac_rule.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::Addr;
using Trace = std::vector<std::wstring>;

const Adapter kEthernet{L"{e}", L"Ethernet", 4, {{Addr("10.0.0.20"), Addr("255.255.255.0")}}};
const Adapter kWifi{L"{w}", L"Wi-Fi", 9, {{Addr("192.168.1.7"), Addr("255.255.255.0")}}};

// The MAC as arp.exe is given it.
std::wstring SetupDashMac(std::uint32_t serial) {
    return Setup::DashForm(MacOfSerial(serial).value_or(L""));
}

std::ptrdiff_t Where(const Trace& trace, const std::wstring& line) {
    return std::find(trace.begin(), trace.end(), line) - trace.begin();
}

// n jobs, serials from 1000 and addresses from 10.0.0.101, each its own MAC.
std::vector<ListJob> Jobs(std::size_t n) {
    std::vector<ListJob> jobs;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t serial = 1000 + static_cast<std::uint32_t>(i);
        const IPv4Address address =
            FromValue(ValueOf(Addr("10.0.0.101")) + static_cast<std::uint32_t>(i));
        jobs.push_back({i,
                        {serial, MacOfSerial(serial).value_or(L""), address, Addr("255.255.255.0"),
                         Addr("0.0.0.0"), PathThrough(kEthernet, address)}});
    }
    return jobs;
}

// Waits until `count` echoes are out at once (5 s at most): how many units a run has in
// flight together.
class Gate {
public:
    explicit Gate(std::size_t count) : count_(count) {}
    void Arrive() {
        std::unique_lock<std::mutex> lock(mutex_);
        most_ = std::max(most_, ++inFlight_);
        opened_ = opened_ || inFlight_ >= count_;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(5), [this] { return opened_; });
        --inFlight_;
    }
    std::size_t Most() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return most_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t count_;
    std::size_t inFlight_ = 0;
    std::size_t most_ = 0;
    bool opened_ = false;
};

// The units run side by side, each its own sequence: the question who holds its address
// right before its own entry, a unit whose address another device holds failing without
// an entry (its record line says why), the others unaffected; the batch holds the lock.
TEST(ListRun, UnitsRunSideBySideEachAskingJustBeforeItsOwnEntry) {
    fakes::Pc pc;
    pc.tables.neighbours[L"10.0.0.102"] = L"02-00-5E-10-00-99";
    pc.echoes.repliesTo[L"10.0.0.101"] = {{true, 0}};
    pc.echoes.repliesTo[L"10.0.0.103"] = {{true, 0}};
    bool lockedDuringEcho = true;
    pc.echoes.onEcho = [&] { lockedDuringEcho = lockedDuringEcho && pc.lock.locked; };
    std::vector<std::pair<std::size_t, Failure>> finished;
    ListEvents events;
    events.finished = [&](std::size_t index, const Done& done) {
        finished.emplace_back(index, done.outcome.failure);
    };
    EXPECT_EQ(RunList(pc.Assignment(), pc.record, Jobs(3), events), 2u);

    std::sort(finished.begin(), finished.end());
    EXPECT_EQ(finished, (std::vector<std::pair<std::size_t, Failure>>{
                            {0, Failure::None}, {1, Failure::AddressInUse}, {2, Failure::None}}));
    EXPECT_TRUE(lockedDuringEcho);
    EXPECT_EQ(pc.lock.count, 1); // once, for the batch
    const Trace trace = pc.trace.Lines();
    for (const char* address : {"10.0.0.101", "10.0.0.103"}) {
        const std::wstring at = testing_support::Addr(address).ToText();
        EXPECT_LT(Where(trace, L"neighbour " + at + L" on 4"),
                  Where(trace, L"sys arp.exe|-s " + at + L" " +
                                   SetupDashMac(at == L"10.0.0.101" ? 1000 : 1002) +
                                   L" 10.0.0.20"));
    }
    EXPECT_EQ(Where(trace, L"sys arp.exe|-s 10.0.0.102 " + SetupDashMac(1001) + L" 10.0.0.20"),
              static_cast<std::ptrdiff_t>(trace.size()));
    const std::string record = pc.store.File(kRecordFile);
    EXPECT_NE(record.find("10.0.0.102,255.255.255.0,0.0.0.0,Ethernet (10.0.0.20),FAILED,The "
                          "address 10.0.0.102 is already in use"),
              std::string::npos)
        << record;
}

// As many units in flight as the bound allows, never more; while they are, the crash
// record holds every one of their entries.
TEST(ListRun, UpToTheBoundInFlightAtOnceEachOnRecord) {
    fakes::Pc pc;
    Gate gate(kUnitsInFlight);
    std::size_t mostOnRecord = 0;
    pc.echoes.onEcho = [&] {
        mostOnRecord = std::max(mostOnRecord, pc.changes.All().size());
        gate.Arrive();
    };
    EXPECT_EQ(RunList(pc.Assignment(), pc.record, Jobs(kUnitsInFlight + 8), {}), 0u);
    EXPECT_EQ(gate.Most(), kUnitsInFlight);
    EXPECT_GE(mostOnRecord, kUnitsInFlight - 1); // each unit records before its changes
    EXPECT_TRUE(pc.changes.All().empty());
    EXPECT_TRUE(pc.tables.staticEntries.empty());
}

// A cabinet's units start together, but their arp.exe and route.exe runs take turns, a
// few at a time.
TEST(ListRun, OnlyAFewSystemProgramsRunAtOnce) {
    fakes::Pc pc;
    Gate gate(kProgramsAtOnce);
    pc.tables.onRun = [&gate] { gate.Arrive(); };
    EXPECT_EQ(RunList(pc.Assignment(), pc.record, Jobs(20), {}), 0u);
    EXPECT_EQ(gate.Most(), static_cast<std::size_t>(kProgramsAtOnce));
    EXPECT_TRUE(pc.tables.staticEntries.empty());
}

// Stop (or closing, or Ctrl+C) mid-run: every unit in flight skips its remaining echoes
// and cleans up, and no further unit starts.
TEST(ListRun, AStopEndsEveryUnitInFlightWithItsCleanUp) {
    fakes::Pc pc;
    std::stop_source stop;
    pc.echoes.onEcho = [&] { stop.request_stop(); };
    std::size_t started = 0;
    std::size_t finished = 0;
    ListEvents events;
    events.started = [&](std::size_t) { ++started; };
    events.finished = [&](std::size_t, const Done& done) {
        ++finished;
        EXPECT_EQ(done.outcome.failure, Failure::NoAnswer);
    };
    const std::vector<ListJob> jobs = Jobs(kUnitsInFlight + 40);
    RunList(pc.Assignment(), pc.record, jobs, events, stop.get_token());
    EXPECT_EQ(started, finished);
    EXPECT_LT(started, jobs.size());
    EXPECT_TRUE(pc.tables.staticEntries.empty());
    EXPECT_TRUE(pc.changes.All().empty());
    const Trace trace = pc.trace.Lines();
    EXPECT_EQ(std::count(trace.begin(), trace.end(), L"pause 1000"), 0); // no second echo
}

// Units that share a MAC cannot be told apart on the wire: one of them per run.
TEST(ListRun, OfUnitsThatShareAMacOnlyTheFirstRuns) {
    fakes::Pc pc;
    pc.echoes.replies = {{true, 0}, {true, 0}};
    std::vector<std::size_t> finished;
    ListEvents events;
    events.finished = [&](std::size_t index, const Done&) { finished.push_back(index); };
    const auto row = [](std::uint32_t serial, const char* address) {
        return UnitRow{serial, Addr(address), Addr("255.255.255.0"), Addr("0.0.0.0")};
    };
    // Serial 2096 and 2100 give one MAC.
    const UnitPlan plan =
        PlanUnits({row(2096, "10.0.0.101"), row(1001, "10.0.0.102"), row(2100, "10.0.0.103")},
                  {0, 1, 2}, {Addr("10.0.0.20")}, {kEthernet}, [] { return std::nullopt; });
    std::vector<std::pair<std::size_t, std::size_t>> deferred;
    for (const DeferredUnit& unit : plan.deferred) {
        deferred.emplace_back(unit.index, unit.with);
    }
    EXPECT_EQ(RunList(pc.Assignment(), pc.record, plan.jobs, events), 2u);
    std::sort(finished.begin(), finished.end()); // side by side: in any order
    EXPECT_EQ(finished, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(deferred, (std::vector<std::pair<std::size_t, std::size_t>>{{2, 0}}));
    const Trace trace = pc.trace.Lines();
    EXPECT_EQ(Where(trace, L"echo 10.0.0.103 wait 1000"),
              static_cast<std::ptrdiff_t>(trace.size()));
}

// The kept list is a file anyone may edit: before a run it is checked as an import is,
// duplicates included, and nothing runs when it fails.
TEST(ListRun, TheKeptListIsCheckedAsAnImportIsBeforeARun) {
    const auto row = [](std::uint32_t serial, const char* address) {
        return UnitRow{serial, Addr(address), Addr("255.255.255.0"), Addr("0.0.0.0")};
    };
    const struct {
        std::vector<UnitRow> rows;
        std::size_t line;
        const wchar_t* text;
    } cases[] = {
        {{row(1000, "10.0.0.101"), row(1001, "10.0.0.101")},
         2,
         L"address 10.0.0.101 is already on line 1"},
        {{row(1000, "10.0.0.101"), row(1000, "10.0.0.102")},
         2,
         L"serial 1000 is already on line 1"},
        {{row(1000, "10.0.0.101"), row(1001, "10.0.0.20")}, 2, L""}, // the PC's own address
    };
    for (const auto& c : cases) {
        const UnitPlan plan =
            PlanUnits(c.rows, {1}, {Addr("10.0.0.20")}, {kEthernet}, [] { return std::nullopt; });
        ASSERT_TRUE(plan.problem);
        EXPECT_FALSE(plan.Runs());
        EXPECT_EQ(plan.problem->line, c.line);
        EXPECT_EQ(plan.problem->text, c.text);
        EXPECT_TRUE(plan.jobs.empty());
    }
}

TEST(ListRun, TheAdapterIsAskedOnceForTheUnitsThatNeedIt) {
    const std::vector<Adapter> adapters{kWifi, kEthernet};
    int asked = 0;
    const auto choose = [&]() -> std::optional<Adapter> {
        ++asked;
        return kEthernet;
    };
    const std::optional<std::vector<UnitPath>> paths =
        PathsTo(adapters, {Addr("10.0.0.5"), Addr("10.88.0.5"), Addr("10.88.0.6")}, choose);
    ASSERT_TRUE(paths);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE((*paths)[0].hostRoute);
    EXPECT_TRUE((*paths)[1].hostRoute);
    EXPECT_EQ((*paths)[2].adapter->index, 4u);
    EXPECT_FALSE(PathsTo(adapters, {Addr("10.88.0.5")}, [] { return std::optional<Adapter>(); }));
}

// Only a command's verb makes a command, checked to the letter; anything else (a shortcut's
// "-debug", a word of a launcher's) opens the window, as it always did.
TEST(CommandLine, ReadsTheFormsAndDebugAnywhereAndOpensTheWindowForAnythingElse) {
    static const struct {
        std::vector<std::wstring> arguments;
        Command::Kind kind;
        std::size_t values;
    } kLines[] = {
        {{L"V.exe"}, Command::Window, 0},
        {{L"V.exe", L"DEBUG"}, Command::Window, 0},
        {{L"V.exe", L"apply", L"1234", L"10.0.0.5", L"255.255.255.0", L"0.0.0.0", L"debug"},
         Command::Apply,
         4},
        {{L"V.exe", L"debug", L"Apply-List", L"units.csv"}, Command::ApplyList, 1},
        {{L"V.exe", L"upload", L"10.0.0.5", L"C:\\fw\\image.bin"}, Command::Upload, 2},
        {{L"V.exe", L"update-list", L"units.csv", L"fw.bin", L"-"}, Command::UpdateList, 3},
        {{L"V.exe", L"update-list", L"units.csv", L"fw.bin"}, Command::NotUnderstood, 0},
        {{L"V.exe", L"apply", L"1234"}, Command::NotUnderstood, 0},
        {{L"V.exe", L"upload", L"10.0.0.5", L"a.bin", L"b.bin"}, Command::NotUnderstood, 0},
        {{L"V.exe", L"/?"}, Command::NotUnderstood, 0},
        {{L"V.exe", L"FIND"}, Command::Find, 0},
        {{L"V.exe", L"find", L"10.0.0.1", L"debug"}, Command::Find, 1},
        {{L"V.exe", L"find", L"10.0.0.10", L"10.0.0.50"}, Command::Find, 2},
        {{L"V.exe", L"find", L"10.0.0.10", L"10.0.0.50", L"x"}, Command::NotUnderstood, 0},
        {{L"V.exe", L"-debug"}, Command::Window, 0},
        {{L"V.exe", L"frobnicate", L"debug"}, Command::Window, 0},
        {{L"V.exe", L"C:\\units.csv"}, Command::Window, 0},
        {{L"V.exe", L"applies", L"1234"}, Command::Window, 0},
    };
    for (const auto& line : kLines) {
        const Command command = ParseCommand(line.arguments);
        EXPECT_EQ(command.kind, line.kind) << testing::PrintToString(line.arguments);
        EXPECT_EQ(command.values.size(), line.values);
        EXPECT_EQ(command.debug, line.arguments.size() > 1 && (line.arguments.back() == L"debug" ||
                                                               line.arguments[1] == L"debug" ||
                                                               line.arguments[1] == L"DEBUG"));
    }
}

// The upload's check echo carries what the unit last took: the last successful line for
// its address, failures and other addresses passed over.
TEST(CommandLine, AnUploadTakesTheUnitsSettingsFromTheRecord) {
    const std::string record =
        "time,serial,mac,address,netmask,gateway,adapter,outcome,reason,seconds,file,size,"
        "sha256\r\n"
        "2026-12-09T10:00:00+01:00,1000,m,10.0.0.5,255.255.0.0,10.0.0.1,E,SUCCESS,,1.000,,,\r\n"
        "2026-12-09T10:01:00+01:00,1000,m,10.0.0.5,255.255.255.0,10.0.0.254,E,SUCCESS,,1.000,,,\r\n"
        "2026-12-09T10:02:00+01:00,1000,m,10.0.0.5,255.0.0.0,0.0.0.0,E,FAILED,x,1.000,,,\r\n"
        "2026-12-09T10:03:00+01:00,1001,m,10.0.0.6,255.255.255.128,0.0.0.0,E,SUCCESS,,1.000,,,\r\n";
    const std::optional<UnitSettings> settings = LastSettingsOf(record, Addr("10.0.0.5"));
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->netmask.ToText(), L"255.255.255.0");
    EXPECT_EQ(settings->gateway.ToText(), L"10.0.0.254");
    EXPECT_FALSE(LastSettingsOf(record, Addr("10.0.0.7")));
}

} // namespace
