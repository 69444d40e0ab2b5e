#include "tests/e2e/standin/translate.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::string>;

TEST(StandIn, TurnsWindowsCommandLinesIntoIpCommands) {
    const struct {
        const char* tool;
        Words arguments;
        Words ip; // empty: not understood
    } rows[] = {
        {"arp",
         {"-s", "10.77.0.50", "00-50-c2-11-8b-b8"},
         {"neigh", "replace", "10.77.0.50", "lladdr", "00:50:c2:11:8b:b8", "dev", "vp0", "nud",
          "permanent"}},
        {"arp",
         {"-s", "10.77.0.50", "00-50-C2-11-8B-B8"},
         {"neigh", "replace", "10.77.0.50", "lladdr", "00:50:c2:11:8b:b8", "dev", "vp0", "nud",
          "permanent"}},
        {"arp", {"-d", "10.77.0.50"}, {"neigh", "del", "10.77.0.50", "dev", "vp0"}},
        {"route",
         {"ADD", "10.88.0.50", "MASK", "255.255.255.255", "0.0.0.0"},
         {"route", "add", "10.88.0.50/32", "dev", "vp0"}},
        {"route",
         {"add", "10.88.0.0", "mask", "255.255.255.0", "10.77.0.254"},
         {"route", "add", "10.88.0.0/24", "via", "10.77.0.254", "dev", "vp0"}},
        {"route", {"DELETE", "10.88.0.50"}, {"route", "del", "10.88.0.50/32", "dev", "vp0"}},
        {"route",
         {"DELETE", "10.88.0.50", "MASK", "255.255.255.255"},
         {"route", "del", "10.88.0.50/32", "dev", "vp0"}},
        // What a broken caller might pass: never guessed at.
        {"arp", {"-s", "10.77.0.50", "00:50:c2:11:8b"}, {}},
        {"arp", {"-s", "10.77.0.50", "00-50-c2-11-8b-bx"}, {}},
        {"arp", {"-s", "10.77.0.256", "00-50-c2-11-8b-b8"}, {}},
        {"arp", {"-s", "10.77.0", "00-50-c2-11-8b-b8"}, {}},
        {"arp", {"-d"}, {}},
        {"arp", {"-a"}, {}},
        {"arp", {}, {}},
        {"route", {"ADD", "10.88.0.50", "MASK", "255.0.255.0", "0.0.0.0"}, {}},
        {"route", {"ADD", "10.88.0.50", "255.255.255.255", "0.0.0.0"}, {}},
        {"route", {"DELETE", "10.88.0.50x"}, {}},
        {"route", {"DELETE", "10.88.0.50", "MASK", "255.0.255.0"}, {}},
        {"route", {"PRINT"}, {}},
        {"ping", {"-d", "10.77.0.50"}, {}},
        // A laptop's commands name the unit's link, by its address or its index.
        {"arp",
         {"-s", "10.77.0.50", "00-50-c2-11-8b-b8", "10.77.0.1"},
         {"neigh", "replace", "10.77.0.50", "lladdr", "00:50:c2:11:8b:b8", "dev", "pc0", "nud",
          "permanent"}},
        {"arp",
         {"-d", "10.77.0.50", "192.168.77.10"},
         {"neigh", "del", "10.77.0.50", "dev", "wl0"}},
        {"route",
         {"ADD", "10.88.0.50", "MASK", "255.255.255.255", "0.0.0.0", "IF", "7"},
         {"route", "add", "10.88.0.50/32", "dev", "wl0"}},
        {"arp", {"-d", "10.77.0.50", "10.9.9.9"}, {}}, // no such link: never the wrong one
        {"route", {"ADD", "10.88.0.50", "MASK", "255.255.255.255", "0.0.0.0", "IF", "99"}, {}},
    };
    const standin::Links links =
        standin::ParseLinks("vp0", "10.77.0.1=pc0 192.168.77.10=wl0 5=pc0 7=wl0");
    for (const auto& row : rows) {
        const auto ip = standin::IpCommand(row.tool, row.arguments, links);
        const std::string line = standin::RecordLine(row.tool, row.arguments);
        if (row.ip.empty()) {
            EXPECT_FALSE(ip) << line;
        } else {
            ASSERT_TRUE(ip) << line;
            EXPECT_EQ(*ip, row.ip) << line;
        }
    }
}

TEST(StandIn, RecordsTheCommandLineAsGiven) {
    EXPECT_EQ(standin::RecordLine("arp", {"-s", "10.77.0.50", "00-50-c2-11-8b-b8"}),
              "arp -s 10.77.0.50 00-50-c2-11-8b-b8");
    EXPECT_EQ(standin::RecordLine("route", {}), "route");
}

} // namespace
