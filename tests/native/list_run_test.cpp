// A list of units against the recording system, the command line's reading, and what the
// front ends share: the way to each unit, the lock, the record's use.
#include <algorithm>

#include <gtest/gtest.h>

#include "core/command.h"
#include "core/commissioning.h"
#include "core/list_run.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::Addr;
using Trace = std::vector<std::wstring>;

const Adapter kEthernet{L"{e}", L"Ethernet", 4, {{Addr("10.0.0.20"), Addr("255.255.255.0")}}};
const Adapter kWifi{L"{w}", L"Wi-Fi", 9, {{Addr("192.168.1.7"), Addr("255.255.255.0")}}};

ListJob Job(std::size_t index, std::uint32_t serial, const char* address) {
    return {index,
            {serial, serial == 1000 ? L"00:50:c2:11:8b:b8" : L"00:50:c2:11:8b:b9", Addr(address),
             Addr("255.255.255.0"), Addr("0.0.0.0"), PathThrough(kEthernet, Addr(address))}};
}

std::ptrdiff_t Where(const Trace& trace, const std::wstring& line) {
    return std::find(trace.begin(), trace.end(), line) - trace.begin();
}

// Who holds the list's addresses is asked before the first unit runs; a unit whose address
// another device holds fails without its sequence, and its record line says why; each
// sequence holds the tables' lock; a stop request ends the run before the next unit.
TEST(ListRun, AsksTogetherThenRunsEachUnitUnderTheLock) {
    fakes::Pc pc;
    pc.tables.neighbours[L"10.0.0.102"] = L"02-00-5E-10-00-99";
    pc.echoes.replies = {{true, 0}};
    bool lockedDuringEcho = false;
    pc.echoes.onEcho = [&] { lockedDuringEcho = pc.lock.locked; };
    std::vector<std::pair<std::size_t, Failure>> finished;
    ListEvents events;
    events.finished = [&](std::size_t index, const Done& done) {
        finished.emplace_back(index, done.outcome.failure);
    };
    const std::vector<ListJob> jobs{Job(4, 1000, "10.0.0.101"), Job(7, 1001, "10.0.0.102")};
    EXPECT_EQ(RunList(pc.Assignment(), pc.record, jobs, events), 1u);

    EXPECT_EQ(finished, (std::vector<std::pair<std::size_t, Failure>>{{4, Failure::None},
                                                                      {7, Failure::AddressInUse}}));
    EXPECT_TRUE(lockedDuringEcho);
    EXPECT_FALSE(pc.lock.locked);
    const Trace trace = pc.trace.Lines();
    EXPECT_LT(Where(trace, L"echo 10.0.0.102 wait 1000"), Where(trace, L"echo 10.0.0.101"));
    EXPECT_EQ(Where(trace, L"sys arp.exe|-s 10.0.0.102 00-50-c2-11-8b-b9 10.0.0.20"),
              static_cast<std::ptrdiff_t>(trace.size()));
    const std::string record = pc.store.File(kRecordFile);
    EXPECT_NE(record.find("10.0.0.102,255.255.255.0,0.0.0.0,Ethernet (10.0.0.20),FAILED,The "
                          "address 10.0.0.102 is already in use"),
              std::string::npos)
        << record;

    finished.clear();
    events.stopAfterUnit = [&] { return !finished.empty(); };
    EXPECT_EQ(RunList(pc.Assignment(), pc.record, jobs, events), 0u);
    EXPECT_EQ(finished.size(), 1u);
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

TEST(CommandLine, ReadsTheThreeFormsAndDebugAnywhere) {
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
        {{L"V.exe", L"apply", L"1234"}, Command::NotUnderstood, 0},
        {{L"V.exe", L"upload", L"10.0.0.5", L"a.bin", L"b.bin"}, Command::NotUnderstood, 0},
        {{L"V.exe", L"/?"}, Command::NotUnderstood, 0},
    };
    for (const auto& line : kLines) {
        const Command command = ParseCommand(line.arguments);
        EXPECT_EQ(command.kind, line.kind) << testing::PrintToString(line.arguments);
        EXPECT_EQ(command.values.size(), line.values);
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
