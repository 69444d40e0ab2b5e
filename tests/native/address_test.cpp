#include "core/address.h"

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
