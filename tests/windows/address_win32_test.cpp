#include "win32/system.h"

#include <gtest/gtest.h>

namespace {

TEST(LocalAddress, ComesFromTheLocalHostEntry) {
    const std::optional<IPv4Address> local = FirstLocalAddress();
    ASSERT_TRUE(local.has_value());
    EXPECT_FALSE(local->Equals(IPv4Address{}));
}

TEST(LocalAddress, DecidesTheSubnetAgainstTheFirstLocalAddress) {
    const IPv4Address local = FirstLocalAddress().value();
    IPv4Address neighbour = local;
    neighbour.octet[3] ^= 1;
    IPv4Address elsewhere = local;
    elsewhere.octet[0] ^= 0x80;

    IPv4Address host;
    host.octet = {255, 255, 255, 255};
    IPv4Address slash24;
    slash24.octet = {255, 255, 255, 0};

    EXPECT_TRUE(IsOnLocalSubnet(local, local, host));
    EXPECT_FALSE(IsOnLocalSubnet(local, neighbour, host));
    EXPECT_TRUE(IsOnLocalSubnet(local, neighbour, slash24));
    EXPECT_FALSE(IsOnLocalSubnet(local, elsewhere, slash24));
    EXPECT_TRUE(IsOnLocalSubnet(local, elsewhere, IPv4Address{}));
}

} // namespace
