#include "tests/e2e/unitsim/unit.h"

#include <gtest/gtest.h>

namespace {

using namespace unitsim;

const Mac kUnitMac{0x00, 0x50, 0xc2, 0x11, 0x8b, 0xb8};
const Mac kOtherMac{0x00, 0x50, 0xc2, 0x11, 0x8b, 0xb9};
const Mac kPcMac{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};

void Put16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}

// An echo from the PC at 10.77.0.1 to `to`, its data the configuration payload for
// 255.255.255.0 and gateway 10.77.0.1 (or twenty zero bytes for a plain echo).
Bytes Echo(const Mac& mac, const Ip4& to, bool configuration = true) {
    Bytes data(20, 0);
    if (configuration) {
        const std::uint8_t tail[10] = {0x98, 0x76, 255, 255, 255, 0, 10, 77, 0, 1};
        std::copy(tail, tail + 10, data.begin() + 10);
    }
    Bytes f(14 + 20 + 8 + 20, 0);
    std::copy(mac.begin(), mac.end(), f.begin());
    std::copy(kPcMac.begin(), kPcMac.end(), f.begin() + 6);
    Put16(f, 12, 0x0800);
    f[14] = 0x45;
    Put16(f, 16, 48);
    f[22] = 64;
    f[23] = 1;
    const Ip4 from{10, 77, 0, 1};
    std::copy(from.begin(), from.end(), f.begin() + 26);
    std::copy(to.begin(), to.end(), f.begin() + 30);
    Put16(f, 24, InternetChecksum(f.data() + 14, 20));
    f[34] = 8;
    std::copy(data.begin(), data.end(), f.begin() + 42);
    Put16(f, 36, InternetChecksum(f.data() + 34, 28));
    return f;
}

const Ip4 kNew{10, 77, 0, 50};

// What three configuration echoes in a row lead to, by the unit's options.
TEST(SimulatedUnit, AnswersByItsOptions) {
    const struct {
        const char* what;
        Answer answer;
        int from;
        const char* answers[3]; // recorded answer per attempt
        std::uint8_t sent[3];   // ICMP type sent back, 0xff for nothing
    } rows[] = {
        {"at once", Answer::Echo, 1, {"echo", "kernel", "kernel"}, {0, 0xff, 0xff}},
        {"from the third", Answer::Echo, 3, {"none", "none", "echo"}, {0xff, 0xff, 0}},
        {"from the second", Answer::Echo, 2, {"none", "echo", "kernel"}, {0xff, 0, 0xff}},
        {"error status", Answer::Error, 1, {"error", "error", "error"}, {3, 3, 3}},
        {"never", Answer::Never, 1, {"none", "none", "none"}, {0xff, 0xff, 0xff}},
    };
    for (const auto& row : rows) {
        SimulatedUnit unit({kUnitMac, row.answer, row.from});
        for (int attempt = 0; attempt < 3; ++attempt) {
            const Bytes frame = Echo(kUnitMac, kNew);
            const Reaction r = unit.Receive(frame.data(), frame.size());
            const std::string answer = row.answers[attempt];
            EXPECT_NE(r.record.find("\"attempt\":" + std::to_string(attempt + 1) + ","),
                      std::string::npos)
                << row.what << ": " << r.record;
            EXPECT_NE(r.record.find("\"answer\":\"" + answer + "\""), std::string::npos)
                << row.what << ": " << r.record;
            EXPECT_EQ(r.configure.has_value(), answer == "echo") << row.what << attempt;
            if (row.sent[attempt] == 0xff) {
                EXPECT_TRUE(r.send.empty()) << row.what << attempt;
            } else {
                ASSERT_GT(r.send.size(), 34u) << row.what << attempt;
                EXPECT_EQ(r.send[34], row.sent[attempt]) << row.what << attempt;
            }
        }
        EXPECT_EQ(unit.Address().has_value(), row.answer == Answer::Echo) << row.what;
    }
}

TEST(SimulatedUnit, RecordsTheConfigurationAsOneJsonLine) {
    SimulatedUnit unit({kUnitMac, Answer::Echo, 1});
    const Bytes frame = Echo(kUnitMac, kNew);
    const Reaction r = unit.Receive(frame.data(), frame.size(), 1'500, 1'765'000'000'123);
    EXPECT_EQ(r.record, "{\"attempt\":1,\"address\":\"10.77.0.50\",\"netmask\":\"255.255.255.0\","
                        "\"gateway\":\"10.77.0.1\",\"from\":\"02:00:00:00:00:01\","
                        "\"answer\":\"echo\",\"at\":1765000000123}");
    ASSERT_TRUE(r.configure);
    EXPECT_EQ(IpText(r.configure->address), "10.77.0.50");
}

TEST(SimulatedUnit, IgnoresWhatIsNotItsConfigurationEcho) {
    SimulatedUnit unit({kUnitMac, Answer::Echo, 1});
    const Bytes frames[] = {
        Echo(kOtherMac, kNew),       // another unit's
        Echo(kUnitMac, kNew, false), // an ordinary echo: no address to answer with yet
        Bytes(60, 0xff),             // noise
    };
    for (const Bytes& frame : frames) {
        const Reaction r = unit.Receive(frame.data(), frame.size());
        EXPECT_FALSE(r.configure);
        EXPECT_TRUE(r.send.empty());
        EXPECT_TRUE(r.record.empty());
    }
    EXPECT_FALSE(unit.Address());
}

// Switched on too long ago, a unit takes nothing: the technician must cycle its power.
TEST(SimulatedUnit, TakesItsConfigurationOnlyWithinItsWindow) {
    const struct {
        long long windowMs;
        long long sinceStartMs;
        bool takes;
    } rows[] = {{0, 3'600'000, true},
                {60'000, 59'999, true},
                {60'000, 60'000, true},
                {60'000, 60'001, false}};
    for (const auto& row : rows) {
        UnitOptions options{kUnitMac, Answer::Echo, 1};
        options.windowMs = row.windowMs;
        SimulatedUnit unit(options);
        const Bytes frame = Echo(kUnitMac, kNew);
        const Reaction r = unit.Receive(frame.data(), frame.size(), row.sinceStartMs);
        EXPECT_EQ(r.configure.has_value(), row.takes) << row.sinceStartMs;
        EXPECT_EQ(r.send.empty(), !row.takes) << row.sinceStartMs;
        EXPECT_EQ(r.record.find("\"answer\":\"late\"") != std::string::npos, !row.takes)
            << r.record;
    }
}

TEST(SimulatedUnit, ANewAddressReplacesTheOldOne) {
    SimulatedUnit unit({kUnitMac, Answer::Echo, 1});
    const Bytes first = Echo(kUnitMac, kNew);
    unit.Receive(first.data(), first.size());
    const Bytes second = Echo(kUnitMac, {10, 88, 0, 7});
    const Reaction r = unit.Receive(second.data(), second.size());
    ASSERT_TRUE(r.configure);
    EXPECT_EQ(IpText(*unit.Address()), "10.88.0.7");
}

} // namespace
