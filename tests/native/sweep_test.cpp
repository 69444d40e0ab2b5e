// The search for units already on the network: which addresses it sweeps, and what it
// makes of the neighbour table.
#include <gtest/gtest.h>

#include "core/kept_values.h"
#include "core/sweep.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::Addr;

Adapter AdapterWith(const char* address, const char* netmask) {
    return {L"{e}", L"Ethernet", 4, {{Addr(address), Addr(netmask)}}};
}

struct PlanCase {
    const char* name;
    const char* address;
    const char* netmask;
    const char* typedFirst; // null: the subnet's range
    const char* typedLast;
    SweepFault fault;
    const char* first; // the range shown
    const char* last;
    std::size_t swept; // addresses datagrams go to
};

class SweepPlanning_ : public ::testing::TestWithParam<PlanCase> {};

TEST_P(SweepPlanning_, CoversTheRangeButTheSubnetsOwnAddresses) {
    const PlanCase& c = GetParam();
    std::optional<AddressRange> typed;
    if (c.typedFirst) {
        typed = AddressRange{Addr(c.typedFirst), Addr(c.typedLast)};
    }
    const Adapter adapter = AdapterWith(c.address, c.netmask);
    const SweepPlanning planning = PlanSweep(adapter, typed, {Addr(c.address)});
    EXPECT_EQ(planning.fault, c.fault);
    if (c.fault != SweepFault::None) {
        EXPECT_FALSE(planning.plan);
        return;
    }
    ASSERT_TRUE(planning.plan);
    const SweepPlan& plan = *planning.plan;
    EXPECT_EQ(plan.range.first.ToText(), Addr(c.first).ToText());
    EXPECT_EQ(plan.range.last.ToText(), Addr(c.last).ToText());
    EXPECT_EQ(plan.addresses.size(), c.swept);
    const auto [network, broadcast] =
        std::pair{ValueOf(Addr(c.address)) & ValueOf(Addr(c.netmask)),
                  ValueOf(Addr(c.address)) | ~ValueOf(Addr(c.netmask))};
    for (const IPv4Address& address : plan.addresses) {
        EXPECT_NE(address, Addr(c.address));
        if (ValueOf(Addr(c.netmask)) <= 0xfffffffcu) {
            EXPECT_NE(ValueOf(address), network);
            EXPECT_NE(ValueOf(address), broadcast);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, SweepPlanning_,
    ::testing::Values(
        PlanCase{"slash24", "10.0.0.1", "255.255.255.0", nullptr, nullptr, SweepFault::None,
                 "10.0.0.0", "10.0.0.255", 253},
        PlanCase{"slash22_whole", "10.0.5.9", "255.255.252.0", nullptr, nullptr, SweepFault::None,
                 "10.0.4.0", "10.0.7.255", 1021},
        // Wider subnets: the 1024 around the adapter's address, moved inward at an edge.
        PlanCase{"slash16_middle", "10.1.128.0", "255.255.0.0", nullptr, nullptr, SweepFault::None,
                 "10.1.126.0", "10.1.129.255", 1023},
        PlanCase{"slash16_low_edge", "10.1.0.5", "255.255.0.0", nullptr, nullptr, SweepFault::None,
                 "10.1.0.0", "10.1.3.255", 1022},
        PlanCase{"slash16_high_edge", "10.1.255.254", "255.255.0.0", nullptr, nullptr,
                 SweepFault::None, "10.1.252.0", "10.1.255.255", 1022},
        PlanCase{"slash8", "10.200.3.4", "255.0.0.0", nullptr, nullptr, SweepFault::None,
                 "10.200.1.4", "10.200.5.3", 1023},
        // The point-to-point prefixes have no network or broadcast address.
        PlanCase{"slash31", "10.0.0.0", "255.255.255.254", nullptr, nullptr, SweepFault::None,
                 "10.0.0.0", "10.0.0.1", 1},
        PlanCase{"slash32", "10.0.0.7", "255.255.255.255", nullptr, nullptr, SweepFault::None,
                 "10.0.0.7", "10.0.0.7", 0},
        // Typed ranges.
        PlanCase{"typed41", "10.0.0.1", "255.255.255.0", "10.0.0.10", "10.0.0.50", SweepFault::None,
                 "10.0.0.10", "10.0.0.50", 41},
        PlanCase{"typed_holds_own_and_ends", "10.0.0.1", "255.255.255.0", "10.0.0.0", "10.0.0.255",
                 SweepFault::None, "10.0.0.0", "10.0.0.255", 253},
        PlanCase{"typed_most", "10.1.0.1", "255.255.0.0", "10.1.16.0", "10.1.31.255",
                 SweepFault::None, "10.1.16.0", "10.1.31.255", 4096},
        PlanCase{"typed_one_too_many", "10.1.0.1", "255.255.0.0", "10.1.16.0", "10.1.32.0",
                 SweepFault::TooMany, "", "", 0},
        PlanCase{"typed_reversed", "10.0.0.1", "255.255.255.0", "10.0.0.50", "10.0.0.10",
                 SweepFault::Reversed, "", "", 0},
        PlanCase{"typed_outside", "10.0.0.1", "255.255.255.0", "10.0.0.200", "10.0.1.10",
                 SweepFault::NotInSubnet, "", "", 0}),
    [](const ::testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

TEST(SweepPlanning, ATypedRangeMaySweepTheAdaptersSecondSubnet) {
    Adapter adapter = AdapterWith("10.0.0.1", "255.255.255.0");
    adapter.addresses.push_back({Addr("192.168.7.2"), Addr("255.255.255.0")});
    const SweepPlanning planning = PlanSweep(
        adapter, AddressRange{Addr("192.168.7.1"), Addr("192.168.7.9")}, {Addr("192.168.7.2")});
    ASSERT_TRUE(planning.plan);
    EXPECT_EQ(planning.plan->from.address, Addr("192.168.7.2"));
    EXPECT_EQ(planning.plan->addresses.size(), 8u);
}

// A refused range takes the technician to the address to correct.
TEST(SweepPlanning, NamesTheEndOfARefusedRange) {
    Adapter adapter = AdapterWith("10.0.0.1", "255.255.255.0");
    adapter.addresses.push_back({Addr("192.168.7.2"), Addr("255.255.255.0")});
    const struct {
        const char* first;
        const char* last;
        SweepFault fault;
        RangeEnd atFault;
    } cases[] = {
        {"10.0.1.200", "10.0.0.10", SweepFault::NotInSubnet, RangeEnd::First},
        {"10.0.0.200", "10.0.1.10", SweepFault::NotInSubnet, RangeEnd::Last},
        {"10.0.0.200", "192.168.7.10", SweepFault::NotInSubnet, RangeEnd::Last}, // two subnets
        {"10.0.0.50", "10.0.0.10", SweepFault::Reversed, RangeEnd::First},
    };
    for (const auto& c : cases) {
        const SweepPlanning planning =
            PlanSweep(adapter, AddressRange{Addr(c.first), Addr(c.last)}, {});
        EXPECT_EQ(planning.fault, c.fault) << c.first << " " << c.last;
        EXPECT_EQ(planning.atFault, c.atFault) << c.first << " " << c.last;
    }
    const SweepPlanning wide = PlanSweep(AdapterWith("10.1.0.1", "255.255.0.0"),
                                         AddressRange{Addr("10.1.16.0"), Addr("10.1.32.0")}, {});
    EXPECT_EQ(wide.fault, SweepFault::TooMany);
    EXPECT_EQ(wide.atFault, RangeEnd::Last);
}

// A search on the recording system.
class Search : public ::testing::Test {
protected:
    SweepPlan Plan(const char* first, const char* last) {
        return *PlanSweep(AdapterWith("10.0.0.1", "255.255.0.0"),
                          AddressRange{Addr(first), Addr(last)}, {Addr("10.0.0.1")})
                    .plan;
    }
    std::vector<FoundUnit> Find(const SweepPlan& plan, std::stop_token stop = {}) {
        SweepEvents events;
        events.found = [this](const FoundUnit& unit) {
            pc.trace.Record(L"found " + unit.address.ToText() + L" " + unit.serials);
        };
        events.progress = [this](std::size_t done, std::size_t of) {
            progress.emplace_back(done, of);
        };
        return FindUnits({pc.neighbourhood, pc.clock}, plan, events, stop);
    }
    std::vector<std::wstring> Lines() const {
        std::vector<std::wstring> lines;
        for (const std::wstring& line : pc.trace.Lines()) {
            if (line.rfind(L"pause", 0) != 0) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    fakes::Pc pc;
    std::vector<std::pair<std::size_t, std::size_t>> progress;
};

TEST_F(Search, KnownUnitsShowFirstAndOnlyUnitsOfTheRangeAreFound) {
    pc.neighbourhood.table[4] = {{Addr("10.0.0.50"), L"00-50-c2-11-8b-b8"},  // a unit
                                 {Addr("10.0.0.60"), L"00-1b-21-aa-bb-cc"},  // a laptop
                                 {Addr("10.0.3.1"), L"00-50-c2-11-8b-b9"}};  // out of range
    pc.neighbourhood.table[9] = {{Addr("10.0.0.70"), L"00-50-c2-11-8b-ba"}}; // other adapter
    pc.neighbourhood.later = {{4, {Addr("10.0.0.20"), L"00-50-C2-11-8C-A2"}, 0},
                              {4, {Addr("10.0.0.90"), L"00-50-c2-11-81-00"}, 1}};
    const std::vector<FoundUnit> found = Find(Plan("10.0.0.2", "10.0.0.254"));
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"look on 4", L"found 10.0.0.50 1000,46000-46015",
                                                  L"probe 253 from 10.0.0.1", L"look on 4",
                                                  L"found 10.0.0.20 1234,49744-49759", L"look on 4",
                                                  L"found 10.0.0.90 2096-2111,63536-63791"}));
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].address, Addr("10.0.0.20"));
    EXPECT_EQ(found[0].mac, L"00:50:c2:11:8c:a2");
    EXPECT_EQ(found[1].address, Addr("10.0.0.50"));
    EXPECT_EQ(found[2].address, Addr("10.0.0.90"));
    EXPECT_EQ(progress.back(), (std::pair<std::size_t, std::size_t>{4, 4}));
}

TEST_F(Search, ALongRangeGoesOutInGroupsAndTheLastLookWaitsForTheSecondAsking) {
    const std::vector<FoundUnit> found = Find(Plan("10.0.0.2", "10.0.2.101"));
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{
                           L"look on 4", L"probe 256 from 10.0.0.1", L"probe 256 from 10.0.0.1",
                           L"probe 100 from 10.0.0.1", L"look on 4", L"look on 4"}));
    EXPECT_TRUE(found.empty());
    EXPECT_GE(pc.clock.Milliseconds(), 1100u + 2 * 50u);
    EXPECT_EQ(progress.size(), 6u);
}

TEST_F(Search, AStopEndsItAfterTheStepUnderWay) {
    std::stop_source stop;
    pc.neighbourhood.onProbe = [&stop] { stop.request_stop(); };
    Find(Plan("10.0.0.2", "10.0.2.101"), stop.get_token());
    EXPECT_EQ(Lines(), (std::vector<std::wstring>{L"look on 4", L"probe 256 from 10.0.0.1"}));
}

TEST_F(Search, AUnitInTheBlockWithNoSerialOfFiveDigitsIsStillShown) {
    pc.neighbourhood.table[4] = {{Addr("10.0.0.5"), L"00-50-c2-11-80-05"}};
    const std::vector<FoundUnit> found = Find(Plan("10.0.0.2", "10.0.0.9"));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].serials, L"unknown");
}

const Adapter kWired{L"{e}", L"Ethernet", 4, {{Addr("10.0.0.1"), Addr("255.255.255.0")}}};
const Adapter kWireless{L"{w}", L"Wi-Fi", 9, {{Addr("192.168.1.7"), Addr("255.255.255.0")}}};

TEST(SearchCommand, NamesItsAdapterOrSaysWhichAreUp) {
    static const struct {
        std::vector<std::wstring> values;
        bool unnamed;     // the adapter a search goes to when none is named: Wi-Fi
        const char* from; // the adapter address swept from; null: refused
        std::size_t swept;
        const wchar_t* problem;
    } kCases[] = {
        {{}, true, "192.168.1.7", 253, L""},
        {{},
         false,
         nullptr,
         0,
         L"Which adapter to search through is not clear: name its address.\nAdapters up: "
         L"Ethernet (10.0.0.1) Wi-Fi (192.168.1.7)"},
        {{L"10.0.0.1"}, true, "10.0.0.1", 253, L""},
        {{L" 10.0.0.1 "}, false, "10.0.0.1", 253, L""},
        {{L"10.0.0.2"},
         true,
         nullptr,
         0,
         L"No adapter up has the address 10.0.0.2.\nAdapters up: Ethernet (10.0.0.1) Wi-Fi "
         L"(192.168.1.7)"},
        {{L"10.0.0.10", L"10.0.0.50"}, true, "10.0.0.1", 41, L""},
        {{L"10.0.0.50", L"10.0.0.10"},
         true,
         nullptr,
         0,
         L"The range's first address must not be higher than its last."},
        {{L"10.0.0.10", L"10.0.1.50"},
         true,
         nullptr,
         0,
         L"No adapter up has 10.0.0.10 to 10.0.1.50 in its subnet.\nAdapters up: Ethernet "
         L"(10.0.0.1) Wi-Fi (192.168.1.7)"},
        {{L"10.0.0.300"}, true, nullptr, 0, L"Not an IPv4 address: 10.0.0.300"},
    };
    for (const auto& c : kCases) {
        const SearchRequest request = PlanSearchCommand(
            c.values, {kWired, kWireless}, c.unnamed ? std::optional(kWireless) : std::nullopt,
            {Addr("10.0.0.1"), Addr("192.168.1.7")});
        const std::string which = testing::PrintToString(c.values);
        EXPECT_EQ(request.problem, c.problem) << which;
        ASSERT_EQ(request.plan.has_value(), c.from != nullptr) << which;
        if (request.plan) {
            EXPECT_EQ(request.plan->from.address, Addr(c.from)) << which;
            EXPECT_EQ(request.plan->addresses.size(), c.swept) << which;
        }
    }
}

TEST(SearchCommand, GoesWhereAUnitWasLastAddressedElseToTheOnlyAdapter) {
    fakes::FakeSettings settings;
    EXPECT_FALSE(AdapterToSearch({kWired, kWireless}, settings));
    EXPECT_EQ(AdapterToSearch({kWireless}, settings)->id, L"{w}");
    RememberChosenAdapter(settings, kWireless);
    EXPECT_EQ(AdapterToSearch({kWired, kWireless}, settings)->id, L"{w}");
    RememberUsedAdapter(settings, UnitPath{kWired, Addr("10.0.0.1"), false});
    EXPECT_EQ(AdapterToSearch({kWired, kWireless}, settings)->id, L"{e}");
    // Gone down since: the one chosen last.
    EXPECT_EQ(AdapterToSearch({kWireless}, settings)->id, L"{w}");
}

TEST(SearchReport, IsACsvFileByTheRecordsRules) {
    const LocalTime seen{2026, 12, 9, 14, 3, 22, 60};
    const std::string csv =
        FoundUnitsCsv({{Addr("10.0.0.50"), L"00:50:c2:11:8b:b8", L"1000,46000-46015", seen}},
                      L"=Plant LAN (10.0.0.1)");
    EXPECT_EQ(csv, "serials,mac,address,adapter,seen\r\n"
                   "\"1000,46000-46015\",00:50:c2:11:8b:b8,10.0.0.50,'=Plant LAN (10.0.0.1),"
                   "2026-12-09T14:03:22+01:00\r\n");
}

} // namespace
