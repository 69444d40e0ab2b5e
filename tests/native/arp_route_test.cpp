#include <gtest/gtest.h>

#include "common/log.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"
#include "unit/arp.h"
#include "unit/route.h"

namespace {

using testing_support::Addr;
using Trace = std::vector<std::wstring>;

class SystemTables : public ::testing::Test {
protected:
    void SetUp() override { fakes::Reset(); }
};

TEST_F(SystemTables, ArpAndRouteParameterTexts) {
    Arp dashed(Addr("10.0.0.7"), L"00-50-c2-11-8b-b8");
    EXPECT_TRUE(dashed.Add());
    EXPECT_TRUE(dashed.Delete());
    // Arp passes the MAC as given; only the assignment sequence makes the dash form.
    EXPECT_TRUE(Arp(Addr("192.168.1.50"), L"00:50:c2:11:8b:b8").Add());
    EXPECT_TRUE(Route().Add(Addr("172.16.5.9")));
    EXPECT_TRUE(Route().Delete(Addr("172.16.5.9")));
    EXPECT_EQ(fakes::world().trace,
              (Trace{
                  L"sys arp.exe|-s 10.0.0.7 00-50-c2-11-8b-b8",
                  L"sys arp.exe|-d 10.0.0.7",
                  L"sys arp.exe|-s 192.168.1.50 00:50:c2:11:8b:b8",
                  L"sys route.exe|ADD 172.16.5.9 MASK 255.255.255.255 0.0.0.0",
                  L"sys route.exe|DELETE 172.16.5.9",
              }));
}

TEST_F(SystemTables, AProgramThatCannotStartGivesFalseAndIsLogged) {
    testing_support::ScopedTempDir dir;
    SetDebugFlag();
    fakes::world().launchSucceeds = [](const fakes::Launch&) { return false; };
    EXPECT_FALSE(Arp(Addr("10.0.0.7"), L"m").Add());
    EXPECT_FALSE(Arp(Addr("10.0.0.7"), L"m").Delete());
    EXPECT_FALSE(Route().Add(Addr("10.0.0.7")));
    EXPECT_FALSE(Route().Delete(Addr("10.0.0.7")));
    ClearDebugFlagForTesting();
    std::string expected;
    for (int i = 0; i < 4; ++i) {
        expected += "The specified file was not found.\r\n";
    }
    EXPECT_EQ(testing_support::ReadFileBytes("varnok.log"), expected);
}

} // namespace
