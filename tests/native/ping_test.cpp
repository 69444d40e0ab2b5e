#include "core/ping.h"

#include <gtest/gtest.h>

#include "core/log.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::Addr;
using testing_support::ReadFileBytes;
using Trace = std::vector<std::wstring>;

EchoReply Status(unsigned long status) {
    return EchoReply{true, status};
}

class PingTest : public ::testing::Test {
protected:
    void SetUp() override { fakes::Reset(); }
    void TearDown() override { ClearDebugFlagForTesting(); }

    bool SendToUnit() {
        Ping ping(system);
        return ping.Send(Addr("192.168.1.50"), Addr("255.255.255.0"), Addr("192.168.1.1"));
    }

    testing_support::ScopedTempDir dir;
    fakes::RecordingSystem system;
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
    fakes::world().echoReplies = {EchoReply{}, Status(0), Status(0)};
    EXPECT_TRUE(SendToUnit());
    EXPECT_EQ(fakes::world().trace,
              (Trace{L"icmp load", L"icmp create", L"echo 192.168.1.50", L"pause 1000",
                     L"echo 192.168.1.50", L"icmp close", L"icmp free"}));
    EXPECT_EQ(fakes::world().echoPayloads.size(), 2u);
    EXPECT_EQ(fakes::world().echoPayloads[0],
              Ping::ConfigurationPayload(Addr("255.255.255.0"), Addr("192.168.1.1")));
}

TEST_F(PingTest, NoReplyThreeTimesFailsWithPausesBeforeAttemptsTwoAndThreeOnly) {
    SetDebugFlag();
    EXPECT_FALSE(SendToUnit());
    EXPECT_EQ(fakes::world().trace, (Trace{L"icmp load", L"icmp create", L"echo 192.168.1.50",
                                           L"pause 1000", L"echo 192.168.1.50", L"pause 1000",
                                           L"echo 192.168.1.50", L"icmp close", L"icmp free"}));
    EXPECT_FALSE(std::filesystem::exists("varnok.log")); // no reply is not logged
}

TEST_F(PingTest, ErrorRepliesAreLoggedOnePerAttempt) {
    SetDebugFlag();
    fakes::world().echoReplies = {Status(11003), Status(11050), Status(11010)};
    EXPECT_FALSE(SendToUnit());
    const std::string prefix = "ping ip=192.168.1.50 netmask=255.255.255.0 gateway=192.168.1.1 ";
    EXPECT_EQ(ReadFileBytes("varnok.log"),
              prefix + "returned Ping: Destination host unreachable\r\n" + prefix +
                  "returned \r\n" + prefix + "returned Ping: Request timed out\r\n");
}

TEST_F(PingTest, ErrorRepliesWithTheLogOffLeaveNoFile) {
    fakes::world().echoReplies = {Status(11003), Status(11003), Status(11003)};
    EXPECT_FALSE(SendToUnit());
    EXPECT_FALSE(std::filesystem::exists("varnok.log"));
}

TEST_F(PingTest, FailedPreparationSaysWhichReleasesOnceAndNeverSends) {
    const struct {
        const char* name;
        std::function<void(fakes::World&)> arrange;
        Trace trace;
        EchoOpenFailure failure;
    } cases[] = {
        {"library missing", [](fakes::World& w) { w.icmpLoads = false; }, Trace{L"icmp load"},
         EchoOpenFailure::LibraryMissing},
        {"export missing", [](fakes::World& w) { w.icmpMissingExports = {"IcmpSendEcho"}; },
         Trace{L"icmp load", L"icmp free"}, EchoOpenFailure::LibraryMissing},
        {"first export missing", [](fakes::World& w) { w.icmpMissingExports = {"IcmpCreateFile"}; },
         Trace{L"icmp load", L"icmp free"}, EchoOpenFailure::LibraryMissing},
        {"handle fails", [](fakes::World& w) { w.icmpHandleCreates = false; },
         Trace{L"icmp load", L"icmp create", L"icmp free"}, EchoOpenFailure::HandleFailed},
    };
    for (const auto& c : cases) {
        fakes::Reset();
        SetDebugFlag();
        c.arrange(fakes::world());
        fakes::world().echoReplies = {Status(11003), Status(0)};
        {
            fakes::RecordingSystem system;
            Ping ping(system);
            EXPECT_EQ(ping.OpenFailure(), c.failure) << c.name;
            EXPECT_FALSE(ping.Send(Addr("10.0.0.7"), Addr("255.0.0.0"), Addr("10.0.0.1")))
                << c.name;
        }
        EXPECT_EQ(fakes::world().trace, c.trace) << c.name;
        EXPECT_FALSE(std::filesystem::exists("varnok.log")) << c.name;
    }
}

} // namespace
