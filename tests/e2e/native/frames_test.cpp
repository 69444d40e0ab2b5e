#include "tests/e2e/unitsim/frames.h"

#include <random>

#include <gtest/gtest.h>

namespace {

using namespace unitsim;

const Mac kUnitMac{0x00, 0x50, 0xc2, 0x11, 0x8b, 0xb8};
const Mac kPcMac{0x02, 0x00, 0x00, 0x00, 0x00, 0x01};

void Put16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}

// An echo request as the PC's stack puts it on the wire: 10.77.0.1 -> 10.77.0.50, the
// configuration payload for 255.255.255.0 / 10.77.0.254, identifier 0x1234, sequence 7.
Bytes Request(std::size_t ipOptions = 0) {
    Bytes data(20, 0);
    data[10] = 0x98;
    data[11] = 0x76;
    const std::uint8_t tail[8] = {255, 255, 255, 0, 10, 77, 0, 254};
    std::copy(tail, tail + 8, data.begin() + 12);
    const std::size_t ipSize = 20 + ipOptions;
    Bytes f(14 + ipSize + 8 + data.size(), 0);
    std::copy(kUnitMac.begin(), kUnitMac.end(), f.begin());
    std::copy(kPcMac.begin(), kPcMac.end(), f.begin() + 6);
    Put16(f, 12, 0x0800);
    f[14] = static_cast<std::uint8_t>(0x40 | ipSize / 4);
    Put16(f, 16, static_cast<unsigned>(ipSize + 8 + data.size()));
    Put16(f, 20, 0x4000); // don't fragment: allowed
    f[22] = 64;
    f[23] = 1;
    const std::uint8_t addresses[8] = {10, 77, 0, 1, 10, 77, 0, 50};
    std::copy(addresses, addresses + 8, f.begin() + 26);
    Put16(f, 24, InternetChecksum(f.data() + 14, ipSize));
    const std::size_t icmp = 14 + ipSize;
    f[icmp] = 8;
    Put16(f, icmp + 4, 0x1234);
    Put16(f, icmp + 6, 7);
    std::copy(data.begin(), data.end(), f.begin() + icmp + 8);
    Put16(f, icmp + 2, InternetChecksum(f.data() + icmp, f.size() - icmp));
    return f;
}

TEST(Checksum, KnownVectors) {
    const struct {
        Bytes bytes;
        std::uint16_t sum;
    } rows[] = {
        // The example IPv4 header everyone checks against (its checksum field zeroed).
        {{0x45, 0x00, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11,
          0x00, 0x00, 0xc0, 0xa8, 0x00, 0x01, 0xc0, 0xa8, 0x00, 0xc7},
         0xb861},
        {{0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7}, 0x220d}, // with carries
        {{0xff}, 0x00ff},                                           // odd length: padded
        {{}, 0xffff},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(InternetChecksum(row.bytes.data(), row.bytes.size()), row.sum);
    }
}

TEST(Parse, AConfigurationEchoGivesAddressNetmaskAndGateway) {
    const Bytes frame = Request();
    const auto request = ParseEchoRequest(frame.data(), frame.size());
    ASSERT_TRUE(request);
    EXPECT_EQ(request->destinationMac, kUnitMac);
    EXPECT_EQ(request->sourceMac, kPcMac);
    EXPECT_EQ(request->identifier, 0x1234);
    EXPECT_EQ(request->sequence, 7);
    const auto configuration = ConfigurationOf(*request);
    ASSERT_TRUE(configuration);
    EXPECT_EQ(IpText(configuration->address), "10.77.0.50");
    EXPECT_EQ(IpText(configuration->netmask), "255.255.255.0");
    EXPECT_EQ(IpText(configuration->gateway), "10.77.0.254");
}

TEST(Parse, EthernetPaddingAndIpOptionsAreFine) {
    Bytes padded = Request();
    padded.resize(padded.size() + 18, 0);
    const auto fromPadded = ParseEchoRequest(padded.data(), padded.size());
    ASSERT_TRUE(fromPadded);
    EXPECT_EQ(fromPadded->data.size(), 20u);

    const Bytes withOptions = Request(4);
    const auto fromOptions = ParseEchoRequest(withOptions.data(), withOptions.size());
    ASSERT_TRUE(fromOptions);
    EXPECT_EQ(fromOptions->ipHeader.size(), 24u);
    EXPECT_TRUE(ConfigurationOf(*fromOptions));
}

TEST(Parse, AnythingButAWholeValidEchoRequestIsIgnored) {
    const struct {
        const char* what;
        std::size_t offset;
        std::uint8_t value;
    } rows[] = {
        {"ARP", 13, 0x06},
        {"IPv6 in an IPv4 frame", 14, 0x65},
        {"header length 16", 14, 0x44},
        {"total length past the frame", 16, 0x09},
        {"more fragments", 20, 0x20},
        {"fragment offset", 21, 0x01},
        {"UDP", 23, 17},
        {"IP checksum", 24, 0x00},
        {"echo reply", 34, 0},
        {"code 1", 35, 1},
        {"ICMP checksum", 36, 0x00},
    };
    for (const auto& row : rows) {
        Bytes frame = Request();
        frame[row.offset] =
            row.value == frame[row.offset] ? static_cast<std::uint8_t>(row.value + 1) : row.value;
        EXPECT_FALSE(ParseEchoRequest(frame.data(), frame.size())) << row.what;
    }
    const Bytes whole = Request();
    for (std::size_t size = 0; size < whole.size(); ++size) {
        EXPECT_FALSE(ParseEchoRequest(whole.data(), size)) << "cut at " << size;
    }
    EXPECT_FALSE(ParseEchoRequest(nullptr, 0));
}

TEST(Configuration, OnlyTheMarkerAtOffsetTenCounts) {
    const struct {
        const char* what;
        Bytes data;
        bool configures;
    } rows[] = {
        {"marker", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x98, 0x76, 255, 0, 0, 0, 1, 2, 3, 4}, true},
        {"longer data", Bytes(56, 0x98), false},
        {"marker one byte early",
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x98, 0x76, 0, 255, 0, 0, 0, 1, 2, 3, 4},
         false},
        {"bytes swapped",
         {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x76, 0x98, 255, 0, 0, 0, 1, 2, 3, 4},
         false},
        {"too short", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x98, 0x76, 255, 0, 0, 0, 1, 2, 3}, false},
        {"empty", {}, false},
    };
    for (const auto& row : rows) {
        EchoRequest request;
        request.data = row.data;
        EXPECT_EQ(ConfigurationOf(request).has_value(), row.configures) << row.what;
    }
}

TEST(Answers, TheEchoReplyGoesBackFromTheNewAddress) {
    const Bytes frame = Request();
    const auto request = ParseEchoRequest(frame.data(), frame.size());
    ASSERT_TRUE(request);
    const Bytes reply = BuildEchoReply(*request, kUnitMac);
    ASSERT_EQ(reply.size(), frame.size());
    EXPECT_TRUE(std::equal(kPcMac.begin(), kPcMac.end(), reply.begin()));
    EXPECT_TRUE(std::equal(kUnitMac.begin(), kUnitMac.end(), reply.begin() + 6));
    // Addresses swapped, header and ICMP checksums sound, identifier/sequence/data kept.
    EXPECT_TRUE(std::equal(frame.begin() + 26, frame.begin() + 30, reply.begin() + 30));
    EXPECT_TRUE(std::equal(frame.begin() + 30, frame.begin() + 34, reply.begin() + 26));
    EXPECT_EQ(InternetChecksum(reply.data() + 14, 20), 0);
    EXPECT_EQ(InternetChecksum(reply.data() + 34, reply.size() - 34), 0);
    EXPECT_EQ(reply[34], 0);
    EXPECT_TRUE(std::equal(frame.begin() + 38, frame.end(), reply.begin() + 38));
}

TEST(Answers, HostUnreachableQuotesTheRequest) {
    const Bytes frame = Request(4);
    const auto request = ParseEchoRequest(frame.data(), frame.size());
    ASSERT_TRUE(request);
    const Bytes error = BuildHostUnreachable(*request, kUnitMac);
    EXPECT_EQ(error[34], 3);
    EXPECT_EQ(error[35], 1);
    EXPECT_EQ(InternetChecksum(error.data() + 14, 20), 0);
    EXPECT_EQ(InternetChecksum(error.data() + 34, error.size() - 34), 0);
    // The quoted datagram is the request's IP datagram, byte for byte.
    const Bytes quoted(error.begin() + 42, error.end());
    EXPECT_EQ(quoted, Bytes(frame.begin() + 14, frame.end()));
}

TEST(Text, AddressesMacsAndPrefixes) {
    EXPECT_EQ(MacText(kUnitMac), "00:50:c2:11:8b:b8");
    EXPECT_EQ(IpText({255, 0, 10, 1}), "255.0.10.1");
    const struct {
        Ip4 mask;
        int length;
    } rows[] = {{{255, 255, 255, 0}, 24},
                {{255, 255, 255, 255}, 32},
                {{0, 0, 0, 0}, 0},
                {{255, 255, 252, 0}, 22},
                {{255, 0, 255, 0}, 8}};
    for (const auto& row : rows) {
        EXPECT_EQ(PrefixLength(row.mask), row.length) << IpText(row.mask);
    }
}

// Whatever arrives on the wire, the parser neither reads outside the frame nor trips the
// sanitizers: random frames and valid ones with random bytes changed.
TEST(Robustness, RandomAndMutatedFrames) {
    std::mt19937 random(1234);
    const Bytes valid = Request(4);
    for (int round = 0; round < 20000; ++round) {
        Bytes frame;
        if (round % 2) {
            frame.resize(random() % 128);
            for (auto& b : frame) {
                b = static_cast<std::uint8_t>(random());
            }
        } else {
            frame = valid;
            for (int changes = 1 + random() % 4; changes > 0; --changes) {
                frame[random() % frame.size()] = static_cast<std::uint8_t>(random());
            }
            frame.resize(random() % (frame.size() + 1));
        }
        if (const auto request = ParseEchoRequest(frame.data(), frame.size())) {
            ConfigurationOf(*request);
            BuildEchoReply(*request, kUnitMac);
            BuildHostUnreachable(*request, kUnitMac);
        }
    }
}

} // namespace
