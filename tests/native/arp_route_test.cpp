#include <gtest/gtest.h>

#include "core/arp.h"
#include "core/log.h"
#include "core/route.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::Addr;
using Trace = std::vector<std::wstring>;

class SystemTables : public ::testing::Test {
protected:
    void SetUp() override { fakes::Reset(); }
    fakes::RecordingSystem system;
};

TEST_F(SystemTables, ArpAndRouteParameterTexts) {
    Arp dashed(system, Addr("10.0.0.7"), L"00-50-c2-11-8b-b8");
    EXPECT_TRUE(dashed.Add().started);
    EXPECT_TRUE(dashed.Delete().started);
    // Arp passes the MAC as given; only the assignment sequence makes the dash form.
    EXPECT_TRUE(Arp(system, Addr("192.168.1.50"), L"00:50:c2:11:8b:b8").Add().started);
    EXPECT_TRUE(Route(system).Add(Addr("172.16.5.9")).started);
    EXPECT_TRUE(Route(system).Delete(Addr("172.16.5.9")).started);
    EXPECT_EQ(fakes::world().trace,
              (Trace{
                  L"sys arp.exe|-s 10.0.0.7 00-50-c2-11-8b-b8",
                  L"sys arp.exe|-d 10.0.0.7",
                  L"sys arp.exe|-s 192.168.1.50 00:50:c2:11:8b:b8",
                  L"sys route.exe|ADD 172.16.5.9 MASK 255.255.255.255 0.0.0.0",
                  L"sys route.exe|DELETE 172.16.5.9 MASK 255.255.255.255",
              }));
}

TEST_F(SystemTables, AProgramThatCannotStartGivesFalseAndIsLogged) {
    testing_support::ScopedTempDir dir;
    SetDebugFlag();
    fakes::world().launchSucceeds = [](const fakes::Launch&) { return false; };
    EXPECT_FALSE(Arp(system, Addr("10.0.0.7"), L"m").Add().started);
    EXPECT_FALSE(Arp(system, Addr("10.0.0.7"), L"m").Delete().started);
    EXPECT_FALSE(Route(system).Add(Addr("10.0.0.7")).started);
    EXPECT_FALSE(Route(system).Delete(Addr("10.0.0.7")).started);
    ClearDebugFlagForTesting();
    std::string expected;
    for (int i = 0; i < 4; ++i) {
        expected += "The specified file was not found.\r\n";
    }
    EXPECT_EQ(testing_support::ReadFileBytes("varnok.log"), expected);
}

} // namespace
