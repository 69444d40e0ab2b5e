#include <gtest/gtest.h>

#include "core/arp.h"
#include "core/log.h"
#include "core/route.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::Addr;
using Trace = std::vector<std::wstring>;

TEST(SystemTables, ArpAndRouteParameterTexts) {
    fakes::Pc pc;
    Arp dashed(pc.tables, Addr("10.0.0.7"), L"00-50-c2-11-8b-b8");
    EXPECT_TRUE(dashed.Add().started);
    EXPECT_TRUE(dashed.Delete().started);
    // Arp passes the MAC as given; only the assignment sequence makes the dash form.
    EXPECT_TRUE(Arp(pc.tables, Addr("192.168.1.50"), L"00:50:c2:11:8b:b8").Add().started);
    EXPECT_TRUE(Route(pc.tables).Add(Addr("172.16.5.9")).started);
    EXPECT_TRUE(Route(pc.tables).Delete(Addr("172.16.5.9")).started);
    EXPECT_EQ(pc.trace.Lines(), (Trace{
                                    L"sys arp.exe|-s 10.0.0.7 00-50-c2-11-8b-b8",
                                    L"sys arp.exe|-d 10.0.0.7",
                                    L"sys arp.exe|-s 192.168.1.50 00:50:c2:11:8b:b8",
                                    L"sys route.exe|ADD 172.16.5.9 MASK 255.255.255.255 0.0.0.0",
                                    L"sys route.exe|DELETE 172.16.5.9 MASK 255.255.255.255",
                                }));
}

TEST(SystemTables, AProgramThatCannotStartGivesFalseAndIsLogged) {
    fakes::Pc pc(fakes::LogSwitch::On);
    pc.tables.starts = [](const std::wstring&) { return false; };
    EXPECT_FALSE(Arp(pc.tables, Addr("10.0.0.7"), L"m").Add().started);
    EXPECT_FALSE(Arp(pc.tables, Addr("10.0.0.7"), L"m").Delete().started);
    EXPECT_FALSE(Route(pc.tables).Add(Addr("10.0.0.7")).started);
    EXPECT_FALSE(Route(pc.tables).Delete(Addr("10.0.0.7")).started);
    std::string expected;
    for (int i = 0; i < 4; ++i) {
        expected += "The specified file was not found.\r\n";
    }
    EXPECT_EQ(pc.store.LogBytes(), expected);
}

} // namespace
