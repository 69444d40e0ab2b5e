#include "core/adapter.h"
#include "core/address.h"
#include "core/address_check.h"

#include <gtest/gtest.h>

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
    EXPECT_TRUE(Addr("10.1.2.3") == Addr("10.1.2.3"));
    EXPECT_FALSE(Addr("10.1.2.3") == Addr("11.1.2.3"));
    EXPECT_FALSE(Addr("10.1.2.3") == Addr("10.1.2.4"));
}

TEST(SameNetwork, ComparesNetworkPartsUnderTheNetmask) {
    const struct {
        const char *address, *netmask;
        bool same;
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
        EXPECT_EQ(SameNetwork(Addr("192.168.1.10"), Addr(c.address), Addr(c.netmask)), c.same)
            << c.address << " / " << c.netmask;
    }
}

Adapter MakeAdapter(const wchar_t* id, const char* address, const char* netmask,
                    unsigned long index) {
    return Adapter{id, id, index, {{Addr(address), Addr(netmask)}}};
}

// A laptop: Wi-Fi with the default route listed first, the wired port to the units, a VPN.
TEST(AdapterChoice, TakesTheAdapterOnTheUnitsSubnetElseAsks) {
    const Adapter wifi = MakeAdapter(L"wifi", "192.168.77.10", "255.255.255.0", 6);
    const Adapter wired = MakeAdapter(L"wired", "10.77.0.1", "255.255.255.0", 5);
    Adapter twoAddresses = MakeAdapter(L"two", "172.16.0.1", "255.255.0.0", 9);
    twoAddresses.addresses.push_back({Addr("10.99.0.1"), Addr("255.255.255.0")});
    const Adapter vpn = MakeAdapter(L"vpn", "10.77.0.200", "255.255.255.0", 7);
    const struct {
        const char* name;
        std::vector<Adapter> adapters;
        const char* unit;
        const wchar_t* adapter; // nullptr: ask; L"": no adapter at all
        const char* source;
        bool hostRoute;
    } cases[] = {
        {"wired holds it, Wi-Fi first", {wifi, wired}, "10.77.0.50", L"wired", "10.77.0.1", false},
        {"held by neither, two up", {wifi, wired}, "10.88.0.50", nullptr, "", true},
        {"held by neither, one up", {wired}, "10.88.0.50", L"wired", "10.77.0.1", true},
        {"second address holds it", {wifi, twoAddresses}, "10.99.0.5", L"two", "10.99.0.1", false},
        {"two adapters hold it", {wired, vpn}, "10.77.0.50", nullptr, "", true},
        {"no adapter up", {}, "10.77.0.50", L"", "0.0.0.0", true},
    };
    for (const auto& c : cases) {
        const std::optional<UnitPath> path = PathWithoutAsking(c.adapters, Addr(c.unit));
        if (!c.adapter) {
            EXPECT_FALSE(path) << c.name;
            continue;
        }
        ASSERT_TRUE(path) << c.name;
        EXPECT_EQ(path->adapter ? path->adapter->id : L"", c.adapter) << c.name;
        EXPECT_EQ(path->source.ToText(), Addr(c.source).ToText()) << c.name;
        EXPECT_EQ(path->hostRoute, c.hostRoute) << c.name;
    }
    // The technician's choice of an adapter off the unit's subnet: a host route through it.
    const UnitPath chosen = PathThrough(wifi, Addr("10.88.0.50"));
    EXPECT_EQ(chosen.source.ToText(), L"192.168.77.10");
    EXPECT_TRUE(chosen.hostRoute);
    EXPECT_EQ(PreselectedAdapter({wifi, wired}, L"wired"), 1u);
    EXPECT_EQ(PreselectedAdapter({wifi, wired}, L"gone"), 0u);
    EXPECT_EQ(AdapterLabel(wired), L"wired (10.77.0.1)");
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
