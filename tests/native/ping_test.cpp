#include "core/ping.h"

#include <gtest/gtest.h>

#include "core/log.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::Addr;
using Trace = std::vector<std::wstring>;

EchoReply Status(unsigned long status) {
    return EchoReply{true, status};
}

bool SendToUnit(fakes::Pc& pc) {
    Ping ping(pc.echoes, pc.clock, pc.log);
    return ping.Send(Addr("192.168.1.50"), Addr("255.255.255.0"), Addr("192.168.1.1"));
}

class PingTest : public ::testing::Test {
protected:
    bool SendToUnit() { return ::SendToUnit(pc); }
    fakes::Pc pc{fakes::LogSwitch::On};
};

TEST(ConfigurationPayload, CarriesNetmaskAndGatewayAfterTheMarker) {
    const EchoPayload example =
        Ping::ConfigurationPayload(Addr("255.255.255.0"), Addr("192.168.1.1"));
    EXPECT_EQ(example, (EchoPayload{0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
                                    0x98, 0x76, 0xff, 0xff, 0xff, 0x00, 0xc0, 0xa8, 0x01, 0x01}));
    const EchoPayload zeros = Ping::ConfigurationPayload(Addr("0.0.0.0"), Addr("0.0.0.0"));
    EXPECT_EQ(zeros, (EchoPayload{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x98, 0x76}));
}

TEST(StatusText, CoversTheIpStatusRange) {
    EXPECT_EQ(Ping::StatusText(11001), L"Ping: Buffer to small");
    EXPECT_EQ(Ping::StatusText(11003), L"Ping: Destination host unreachable");
    EXPECT_EQ(Ping::StatusText(11010), L"Ping: Request timed out");
    EXPECT_EQ(Ping::StatusText(11014), L"Ping: TTL expired reassem");
    EXPECT_EQ(Ping::StatusText(11018), L"Ping: Bad destination");
    for (unsigned long status : {0ul, 11000ul, 11019ul, 11050ul, 4294967295ul}) {
        EXPECT_EQ(Ping::StatusText(status), L"") << status;
    }
}

TEST_F(PingTest, ASuccessOnTheSecondAttemptStopsThere) {
    pc.echoes.replies = {EchoReply{}, Status(0), Status(0)};
    EXPECT_TRUE(SendToUnit());
    EXPECT_EQ(pc.trace.Lines(),
              (Trace{L"icmp load", L"icmp create", L"echo 192.168.1.50", L"pause 1000",
                     L"echo 192.168.1.50", L"icmp close", L"icmp free"}));
    EXPECT_EQ(pc.echoes.payloads.size(), 2u);
    EXPECT_EQ(pc.echoes.payloads[0],
              Ping::ConfigurationPayload(Addr("255.255.255.0"), Addr("192.168.1.1")));
}

TEST_F(PingTest, NoReplyThreeTimesFailsWithPausesBeforeAttemptsTwoAndThreeOnly) {
    EXPECT_FALSE(SendToUnit());
    EXPECT_EQ(pc.trace.Lines(), (Trace{L"icmp load", L"icmp create", L"echo 192.168.1.50",
                                       L"pause 1000", L"echo 192.168.1.50", L"pause 1000",
                                       L"echo 192.168.1.50", L"icmp close", L"icmp free"}));
    EXPECT_EQ(pc.store.LogBytes(), ""); // no reply is not logged
}

TEST_F(PingTest, ErrorRepliesAreLoggedOnePerAttempt) {
    pc.echoes.replies = {Status(11003), Status(11050), Status(11010)};
    EXPECT_FALSE(SendToUnit());
    const std::string prefix = "ping ip=192.168.1.50 netmask=255.255.255.0 gateway=192.168.1.1 ";
    EXPECT_EQ(pc.store.LogBytes(), prefix + "returned Ping: Destination host unreachable\r\n" +
                                       prefix + "returned \r\n" + prefix +
                                       "returned Ping: Request timed out\r\n");
}

TEST(Ping, ErrorRepliesWithTheLogOffLeaveNoFile) {
    fakes::Pc pc;
    pc.echoes.replies = {Status(11003), Status(11003), Status(11003)};
    EXPECT_FALSE(SendToUnit(pc));
    EXPECT_EQ(pc.store.LogBytes(), "");
}

TEST(Ping, FailedPreparationSaysWhichReleasesOnceAndNeverSends) {
    const struct {
        const char* name;
        std::function<void(fakes::Pc&)> arrange;
        Trace trace;
        EchoOpenFailure failure;
    } cases[] = {
        {"library missing", [](fakes::Pc& w) { w.echoes.loads = false; }, Trace{L"icmp load"},
         EchoOpenFailure::LibraryMissing},
        {"export missing", [](fakes::Pc& w) { w.echoes.missingExports = {"IcmpSendEcho"}; },
         Trace{L"icmp load", L"icmp free"}, EchoOpenFailure::LibraryMissing},
        {"first export missing", [](fakes::Pc& w) { w.echoes.missingExports = {"IcmpCreateFile"}; },
         Trace{L"icmp load", L"icmp free"}, EchoOpenFailure::LibraryMissing},
        {"handle fails", [](fakes::Pc& w) { w.echoes.handleCreates = false; },
         Trace{L"icmp load", L"icmp create", L"icmp free"}, EchoOpenFailure::HandleFailed},
    };
    for (const auto& c : cases) {
        fakes::Pc pc(fakes::LogSwitch::On);
        c.arrange(pc);
        pc.echoes.replies = {Status(11003), Status(0)};
        {
            Ping ping(pc.echoes, pc.clock, pc.log);
            EXPECT_EQ(ping.OpenFailure(), c.failure) << c.name;
            EXPECT_FALSE(ping.Send(Addr("10.0.0.7"), Addr("255.0.0.0"), Addr("10.0.0.1")))
                << c.name;
        }
        EXPECT_EQ(pc.trace.Lines(), c.trace) << c.name;
        EXPECT_EQ(pc.store.LogBytes(), "") << c.name;
    }
}

} // namespace
