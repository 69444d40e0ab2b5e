// Reading a technician's unit list: addresses and fields as text, the checks and
// duplicates with their line numbers, filling by counting, and the list kept between runs.
#include "core/csv.h"
#include "core/kept_values.h"
#include "core/list_keeper.h"
#include "core/text.h"
#include "core/unit_list.h"

#include <gtest/gtest.h>

#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::Addr;

const std::vector<IPv4Address> kOwn = {Addr("10.0.0.1")};

TEST(ParseIPv4, TakesOnlyFourDottedNumbersUpTo255) {
    EXPECT_EQ(ParseIPv4(L"010.1.02.3")->ToText(), L"10.1.2.3");
    EXPECT_EQ(ParseIPv4(L"255.255.255.0")->ToText(), L"255.255.255.0");
    for (const wchar_t* text : {L"256.0.0.1", L"1.2.3", L"1.2.3.4.5", L"1..2.3", L"1.2.3.0004",
                                L" 1.2.3.4", L"1.2.3.4 ", L"+1.2.3.4", L"1.2.3.x", L""}) {
        EXPECT_FALSE(ParseIPv4(text)) << testing::PrintToString(text);
    }
}

TEST(CsvLine, SplitsQuotedAndBlankSurroundedFields) {
    const struct {
        const wchar_t* line;
        std::vector<std::wstring> fields;
    } cases[] = {
        {L"a,b,,c", {L"a", L"b", L"", L"c"}},
        {L"  a b\t, c ", {L"a b", L"c"}},
        {LR"("a,b" , "say ""hi"""," x ")", {L"a,b", LR"(say "hi")", L" x "}},
        {L"a;b,c", {L"a;b", L"c"}},
        {L"x,", {L"x", L""}},
        {LR"("open,end)", {L"open,end"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitCsvLine(c.line, L','), c.fields) << testing::PrintToString(c.line);
    }
}

TEST(CsvLine, Utf8DecodesAndBrokenBytesBecomeReplacements) {
    EXPECT_EQ(FromUtf8("\xC3\xA4 \xE2\x82\xAC \xFF \xC0\xAF \xED\xA0\x80 \xC3"),
              L"\u00e4 \u20ac \ufffd \ufffd\ufffd \ufffd\ufffd\ufffd \ufffd");
    EXPECT_EQ(ToUtf8(FromUtf8("\xF0\x9F\x98\x80")), "\xF0\x9F\x98\x80"); // beyond 16 bits
    EXPECT_EQ(SplitLines("\xEF\xBB\xBF"
                         "a\r\nb\rc\n\nd\r\n"),
              (std::vector<std::wstring>{L"a", L"b", L"c", L"", L"d"}));
}

std::vector<std::uint32_t> Serials(const ListReading& reading) {
    std::vector<std::uint32_t> serials;
    for (const UnitRow& row : reading.rows) {
        serials.push_back(row.serial);
    }
    return serials;
}

TEST(UnitList, ReadsTheFormsSpreadsheetsWrite) {
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"comma, header", "serial,ip,netmask,gateway\n1234,10.0.0.5,255.255.255.0,10.0.0.254\n"
                          "1235,10.0.0.6,255.255.255.0,0.0.0.0\n"},
        {"semicolon, BOM, CRLF, blank and empty rows, trailing empty fields",
         "\xEF\xBB\xBF\r\nSerial;IP;Mask;GW;;\r\n1234;10.0.0.5;255.255.255.0;10.0.0.254;;\r\n"
         ";;;;;\r\n  \r\n1235 ; 10.0.0.6;255.255.255.0;0.0.0.0;;\r\n"},
        {"no header, quoted", "\"1234\",\"10.0.0.5\",255.255.255.0,10.0.0.254\n"
                              "1235,10.0.0.6,255.255.255.0,0.0.0.0"},
    };
    for (const auto& c : cases) {
        const ListReading reading = ReadUnitList(c.bytes, kOwn);
        EXPECT_FALSE(reading.problem)
            << c.name << ": " << testing::PrintToString(reading.problem->text);
        EXPECT_EQ(Serials(reading), (std::vector<std::uint32_t>{1234, 1235})) << c.name;
    }
}

TEST(UnitList, RefusesTheWholeFileAtTheFirstBadLine) {
    const std::string good = "1234,10.0.0.5,255.255.255.0,0.0.0.0\n";
    const struct {
        std::string bytes;
        std::size_t line;
        AddressFault fault;
        const wchar_t* text;
    } cases[] = {
        {"", 0, AddressFault::None, L"no units in the file"},
        {"serial,ip,netmask,gateway\r\n\r\n", 0, AddressFault::None, L"no units in the file"},
        {good + "\n1235,10.0.0.6,255.255.255.0\n", 3, AddressFault::None,
         L"expected serial, address, netmask and gateway"},
        {good + "1235,10.0.0.6,255.255.255.0,0.0.0.0,x\n", 2, AddressFault::None,
         L"expected only serial, address, netmask and gateway"},
        {good + "123,10.0.0.6,255.255.255.0,0.0.0.0\n", 2, AddressFault::None,
         L"serial \"123\" is not 4 or 5 digits"},
        {good + "12a4,10.0.0.6,255.255.255.0,0.0.0.0\n", 2, AddressFault::None,
         L"serial \"12a4\" is not 4 or 5 digits"},
        {good + "0999,10.0.0.6,255.255.255.0,0.0.0.0\n", 2, AddressFault::None,
         L"serial 0999 is below 1000"},
        {good + "1235,10.0.0.x,255.255.255.0,0.0.0.0\n", 2, AddressFault::None,
         L"address \"10.0.0.x\" is not a dotted IPv4 address"},
        {good + "1235,10.0.0.1,255.255.255.0,0.0.0.0\n", 2, AddressFault::IpOwn, L""},
        {good + "1234,10.0.0.6,255.255.255.0,0.0.0.0\n", 2, AddressFault::None,
         L"serial 1234 is already on line 1"},
        {good + "\n1235,10.0.0.5,255.255.255.0,0.0.0.0\n", 3, AddressFault::None,
         L"address 10.0.0.5 is already on line 1"},
        // A first line is a header only by its column names: any other is a unit.
        {"abc1,10.0.0.5,255.255.255.0,0.0.0.0\n" + good, 1, AddressFault::None,
         L"serial \"abc1\" is not 4 or 5 digits"},
        // Bounded: no file of commas can take all memory.
        {std::string(5 * 1024 * 1024, ','), 0, AddressFault::None,
         L"the file is too large for a list of units"},
        {good + std::string(5000, ','), 2, AddressFault::None, L"the line is too long for a unit"},
        {good + "1235" + std::string(100, ',') + "x\n", 2, AddressFault::None,
         L"far more fields than a unit has"},
    };
    for (const auto& c : cases) {
        const ListReading reading = ReadUnitList(c.bytes, kOwn);
        ASSERT_TRUE(reading.problem) << c.bytes;
        EXPECT_EQ(reading.problem->line, c.line) << c.bytes;
        EXPECT_EQ(reading.problem->fault, c.fault) << c.bytes;
        EXPECT_EQ(reading.problem->text, c.text) << c.bytes;
        EXPECT_TRUE(reading.rows.empty());
    }
}

TEST(UnitList, FillCountsAcrossOctetsAndNamesTheUnitAndTheValueThatFail) {
    const ListReading filled =
        FillUnits(1500, Addr("10.0.0.254"), 3, Addr("255.255.0.0"), Addr("10.0.0.1"), {});
    ASSERT_FALSE(filled.problem);
    EXPECT_EQ(Serials(filled), (std::vector<std::uint32_t>{1500, 1501, 1502}));
    EXPECT_TRUE(filled.rows[2].address == Addr("10.0.1.0"));

    const struct {
        std::uint32_t serial;
        const char* address;
        std::size_t count;
        const char* netmask;
        const char* gateway;
        std::size_t line;
        AddressFault fault;
        const wchar_t* text;
        FillField field; // where the technician is taken to correct it
    } cases[] = {
        {1500, "10.0.0.250", 10, "255.255.255.0", "0.0.0.0", 6, AddressFault::IpIsBroadcastAddress,
         L"", FillField::FirstAddress}, // 10.0.0.255
        {1500, "10.0.1.5", 3, "255.255.255.0", "0.0.0.0", 3, AddressFault::IpOwn, L"",
         FillField::FirstAddress},
        {1000, "10.0.0.10", 5, "255.0.255.0", "0.0.0.0", 1, AddressFault::NetmaskNotContiguous, L"",
         FillField::Netmask},
        {1000, "10.0.0.10", 5, "255.255.255.0", "10.0.1.1", 1, AddressFault::GatewayOutsideSubnet,
         L"", FillField::Gateway},
        {1000, "10.0.0.10", 5, "255.255.255.0", "10.0.0.12", 3, AddressFault::GatewayIsIp, L"",
         FillField::Gateway},
        {999, "10.0.0.2", 2, "255.255.255.0", "0.0.0.0", 1, AddressFault::None,
         L"serial 999 is not from 1000 to 99999", FillField::FirstSerial},
        {99999, "10.0.0.2", 2, "255.255.255.0", "0.0.0.0", 2, AddressFault::None,
         L"serial 100000 is not from 1000 to 99999", FillField::Count},
        {1500, "10.0.0.2", 1001, "255.255.255.0", "0.0.0.0", 0, AddressFault::None,
         L"from 1 to 1000 units can be filled in", FillField::Count},
        {1500, "10.0.0.2", 0, "255.255.255.0", "0.0.0.0", 0, AddressFault::None,
         L"from 1 to 1000 units can be filled in", FillField::Count},
    };
    const std::vector<IPv4Address> own = {Addr("10.0.1.7")};
    for (const auto& c : cases) {
        const ListReading reading =
            FillUnits({c.serial, Addr(c.address), c.count, Addr(c.netmask), Addr(c.gateway)}, own);
        ASSERT_TRUE(reading.problem) << c.serial << " " << c.address;
        EXPECT_EQ(reading.problem->line, c.line) << c.serial << " " << c.address;
        EXPECT_EQ(reading.problem->fault, c.fault) << c.serial << " " << c.address;
        EXPECT_EQ(reading.problem->text, c.text);
        EXPECT_EQ(FillFieldOf(*reading.problem), c.field) << c.serial << " " << c.address;
    }
}

// "Fill…" proposes what the last fill used; before the first, the unit after the one the
// address page addressed last, so that the technician goes on from there.
TEST(UnitList, FillProposesTheLastFillElseTheUnitAfterTheAddressPagesLast) {
    const struct {
        std::uint32_t serial;
        const char* ip;
        std::uint32_t proposedSerial;
        const char* proposedAddress;
    } cases[] = {
        {1234, "10.0.0.9", 1235, "10.0.0.10"},
        {1234, "10.0.0.255", 1235, "10.0.1.0"},
        {99999, "10.0.0.9", 99999, "10.0.0.10"}, // no serial beyond the highest
        {0, "0.0.0.0", 1000, "0.0.0.0"},         // nothing addressed yet
    };
    for (const auto& c : cases) {
        fakes::FakeSettings settings;
        KeepAddressPageValues(settings,
                              {c.serial, Addr(c.ip), Addr("255.255.255.0"), Addr("10.0.0.1")});
        const FillRequest proposed = ProposedFill(settings);
        EXPECT_EQ(proposed.firstSerial, c.proposedSerial) << c.serial;
        EXPECT_EQ(proposed.firstAddress.ToText(), Addr(c.proposedAddress).ToText()) << c.serial;
        EXPECT_EQ(proposed.count, 10u);
        EXPECT_EQ(proposed.netmask.ToText(), L"255.255.255.0");
        EXPECT_EQ(proposed.gateway.ToText(), L"10.0.0.1");
    }

    fakes::FakeSettings settings;
    KeepAddressPageValues(settings, {1234, Addr("10.0.0.9"), Addr("255.255.255.0"), {}});
    KeepFill(settings, {2000, Addr("10.1.0.10"), 24, Addr("255.255.0.0"), Addr("10.1.0.1")});
    const FillRequest proposed = ProposedFill(settings);
    EXPECT_EQ(proposed.firstSerial, 2000u);
    EXPECT_EQ(proposed.firstAddress.ToText(), L"10.1.0.10");
    EXPECT_EQ(proposed.count, 24u);
    EXPECT_EQ(proposed.netmask.ToText(), L"255.255.0.0");
    EXPECT_EQ(proposed.gateway.ToText(), L"10.1.0.1");
}

TEST(UnitList, KeptListReadsBackAndAnInterruptedRunHasFailed) {
    const UnitRow row{1234, Addr("10.0.0.5"), Addr("255.255.255.0"), Addr("10.0.0.254")};
    const std::vector<ListedUnit> units = {
        {row, UnitState::Waiting, L"", L""},
        {{1235, Addr("10.0.0.6"), row.netmask, {}}, UnitState::Succeeded, L"14:03:22", L""},
        {{1236, Addr("10.0.0.7"), row.netmask, {}}, UnitState::Failed, L"14:04", L"=1, \"\u00e5\""},
        {{1237, Addr("10.0.0.8"), row.netmask, {}}, UnitState::Running, L"", L""},
    };
    const std::string text = ListFileText(units);
    EXPECT_TRUE(text.starts_with("serial,address,netmask,gateway,state,time,reason\r\n"
                                 "1234,10.0.0.5,255.255.255.0,10.0.0.254,waiting,,\r\n"));

    const std::vector<ListedUnit> back = ReadListFile("garbage line\r\n" + text + "1238,x\r\n");
    ASSERT_EQ(back.size(), units.size());
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(back[i].row.serial, units[i].row.serial);
        EXPECT_TRUE(back[i].row.gateway == units[i].row.gateway);
        EXPECT_EQ(back[i].state, units[i].state);
        EXPECT_EQ(back[i].time, units[i].time);
        EXPECT_EQ(back[i].reason, units[i].reason);
    }
    EXPECT_EQ(back[3].state, UnitState::Failed);
    EXPECT_EQ(back[3].reason, L"interrupted");
}

// From serial 2096 on, neighbouring serials share a MAC: such units are taken, and named.
TEST(UnitList, UnitsThatShareAMacAreNamedWithTheEarlierOne) {
    const ListReading filled =
        FillUnits(2094, Addr("10.0.0.2"), 20, Addr("255.255.255.0"), Addr("0.0.0.0"), {});
    ASSERT_FALSE(filled.problem);
    const std::vector<SharedMac> shared = SharedMacs(filled.rows);
    ASSERT_EQ(shared.size(), 16u); // 2097..2111 with 2096, 2113 with 2112
    EXPECT_EQ(filled.rows[shared[0].unit].serial, 2097u);
    EXPECT_EQ(filled.rows[shared[0].earlier].serial, 2096u);
    EXPECT_EQ(filled.rows[shared.back().unit].serial, 2113u);
    EXPECT_EQ(filled.rows[shared.back().earlier].serial, 2112u);
}

// The keeper writes the newest state handed over, beside the list while a spreadsheet
// holds it, back in its place once it is free, and what still waits when it ends.
TEST(ListKeeper, WritesTheNewestStateWhereItCan) {
    fakes::FakeStore store;
    {
        ListKeeper keeper(store);
        keeper.KeepSoon("a");
        keeper.KeepSoon("b");
        EXPECT_EQ(keeper.Flush(), std::nullopt);
        EXPECT_EQ(store.File(kListFile), "b");

        store.heldOpen = {kListFile};
        keeper.KeepSoon("c");
        const std::optional<std::wstring> failure = keeper.Flush();
        ASSERT_TRUE(failure);
        EXPECT_NE(failure->find(L"Its newest state waits in"), std::wstring::npos) << *failure;
        EXPECT_EQ(store.File(kListFile), "b");
        EXPECT_EQ(store.File(kPendingListFile), "c");
        EXPECT_EQ(keeper.Flush(), std::nullopt); // told once

        store.heldOpen.clear();
        keeper.KeepSoon("d");
    } // ended with "d" still handed over: written before the keeper goes
    EXPECT_EQ(store.File(kListFile), "d");
    EXPECT_EQ(store.files.count(kPendingListFile), 0u);
}

} // namespace
