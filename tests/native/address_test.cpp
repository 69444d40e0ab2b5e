#include "core/address.h"
#include "core/address_check.h"

#include <gtest/gtest.h>

#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::Addr;

TEST(DottedText, FormatsEachOctetInDecimalWithoutFill) {
    const struct {
        std::array<std::uint8_t, 4> octets;
        const wchar_t* text;
    } cases[] = {
        {{0, 0, 0, 0}, L"0.0.0.0"},       {{255, 255, 255, 255}, L"255.255.255.255"},
        {{10, 0, 0, 1}, L"10.0.0.1"},     {{192, 168, 1, 50}, L"192.168.1.50"},
        {{1, 22, 100, 9}, L"1.22.100.9"},
    };
    for (const auto& c : cases) {
        IPv4Address address;
        address.octet = c.octets;
        EXPECT_EQ(address.ToText(), c.text);
    }
    EXPECT_EQ(IPv4Address{}.ToText(), L"0.0.0.0");
}

TEST(DottedText, EqualsComparesEveryOctet) {
    EXPECT_TRUE(Addr("10.1.2.3").Equals(Addr("10.1.2.3")));
    EXPECT_FALSE(Addr("10.1.2.3").Equals(Addr("11.1.2.3")));
    EXPECT_FALSE(Addr("10.1.2.3").Equals(Addr("10.1.2.4")));
}

class LocalSubnet : public ::testing::Test {
protected:
    void SetUp() override {
        fakes::Reset();
        fakes::world().localAddress = Addr("192.168.1.10");
    }
};

TEST_F(LocalSubnet, ComparesNetworkPartsUnderTheNetmask) {
    const struct {
        const char *address, *netmask;
        bool local;
    } cases[] = {
        {"192.168.1.77", "255.255.255.0", true},
        {"192.168.2.77", "255.255.255.0", false},
        {"192.168.2.77", "255.255.0.0", true},
        {"8.8.8.8", "0.0.0.0", true}, // no network bits: everything is local
        {"192.168.1.10", "255.255.255.255", true},
        {"192.168.1.11", "255.255.255.255", false},
        // A netmask need not be contiguous: only its one-bits are compared.
        {"192.0.1.0", "255.0.255.0", true},
        {"192.0.2.0", "255.0.255.0", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsOnLocalSubnet(fakes::world().localAddress, Addr(c.address), Addr(c.netmask)),
                  c.local)
            << c.address << " / " << c.netmask;
    }
}

TEST_F(LocalSubnet, IsFalseWhenThePcHasNoAddress) {
    fakes::world().localAddress.reset();
    EXPECT_FALSE(IsOnLocalSubnet(std::nullopt, Addr("192.168.1.77"), Addr("255.255.255.0")));
    EXPECT_FALSE(IsOnLocalSubnet(std::nullopt, Addr("1.2.3.4"), Addr("0.0.0.0")));
}

} // namespace

namespace {

TEST(AddressCheck, RefusesAddressesThatMustNeverBeUsed) {
    const std::vector<IPv4Address> own{Addr("192.168.1.10"), Addr("127.0.0.1")};
    const struct {
        const char *ip, *netmask, *gateway;
        AddressFault fault;
    } cases[] = {
        {"10.0.0.5", "255.255.255.0", "10.0.0.1", AddressFault::None},
        {"10.0.0.5", "255.255.255.0", "0.0.0.0", AddressFault::None},   // no gateway
        {"10.0.0.0", "255.255.255.254", "0.0.0.0", AddressFault::None}, // a /31 has no broadcast
        {"10.0.0.7", "255.255.255.255", "0.0.0.0", AddressFault::None},
        {"223.255.255.1", "255.255.255.0", "0.0.0.0", AddressFault::None},
        {"0.0.0.0", "255.255.255.0", "0.0.0.0", AddressFault::IpMissing},
        {"0.0.0.0", "0.0.0.0", "0.0.0.0", AddressFault::IpMissing}, // the first field first
        {"127.0.0.2", "255.0.0.0", "0.0.0.0", AddressFault::IpLoopback},
        {"224.0.0.1", "255.255.255.0", "0.0.0.0", AddressFault::IpNotUnicast},
        {"255.255.255.255", "255.255.255.0", "0.0.0.0", AddressFault::IpNotUnicast},
        {"192.168.1.10", "255.255.255.0", "0.0.0.0", AddressFault::IpOwn},
        {"10.0.0.5", "0.0.0.0", "0.0.0.0", AddressFault::NetmaskMissing},
        {"10.0.0.5", "255.0.255.0", "0.0.0.0", AddressFault::NetmaskNotContiguous},
        {"10.0.0.5", "255.255.255.1", "0.0.0.0", AddressFault::NetmaskNotContiguous},
        {"10.0.0.0", "255.255.255.0", "0.0.0.0", AddressFault::IpIsNetworkAddress},
        {"10.0.0.255", "255.255.255.0", "0.0.0.0", AddressFault::IpIsBroadcastAddress},
        {"10.0.0.3", "255.255.255.252", "0.0.0.0", AddressFault::IpIsBroadcastAddress},
        {"10.0.0.5", "255.255.255.0", "10.0.1.1", AddressFault::GatewayOutsideSubnet},
        {"10.0.0.5", "255.255.255.0", "10.0.0.5", AddressFault::GatewayIsIp},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckAddresses(Addr(c.ip), Addr(c.netmask), Addr(c.gateway), own), c.fault)
            << c.ip << " " << c.netmask << " " << c.gateway;
    }
    EXPECT_EQ(FieldOf(AddressFault::IpOwn), AddressField::Ip);
    EXPECT_EQ(FieldOf(AddressFault::NetmaskNotContiguous), AddressField::Netmask);
    EXPECT_EQ(FieldOf(AddressFault::GatewayIsIp), AddressField::Gateway);
}

} // namespace
