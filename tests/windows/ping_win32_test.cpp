// Real echoes through ICMP.DLL. Run inside a private network namespace by
// tests/windows/ping_netns.sh, which gives an address on a veth link that nobody holds.
#include <chrono>
#include <cstdlib>
#include <optional>
#include <stop_token>
#include <thread>

#include <gtest/gtest.h>

#include "core/commissioning.h"
#include "core/log.h"
#include "core/mac_rule.h"
#include "core/ping.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"
#include "win32/console.h"
#include "win32/roles.h"

namespace {

using testing_support::Addr;

TEST(RealPing, LoopbackAnswers) {
    Win32Echoes echoes;
    Win32Clock clock;
    Log off;
    Ping ping(echoes, clock, off);
    EXPECT_TRUE(ping.Send(Addr("127.0.0.1"), Addr("255.0.0.0"), Addr("0.0.0.0")));
}

TEST(RealPing, AnAddressNobodyHoldsFailsAfterThreeAttempts) {
    const char* silent = std::getenv("VARNOK_SILENT_ADDRESS");
    if (!silent) {
        GTEST_SKIP() << "VARNOK_SILENT_ADDRESS not set (run through ping_netns.sh)";
    }
    const auto start = std::chrono::steady_clock::now();
    Win32Echoes echoes;
    Win32Clock clock;
    Log off;
    Ping ping(echoes, clock, off);
    EXPECT_FALSE(ping.Send(Addr(silent), Addr("255.255.255.0"), Addr("0.0.0.0")));
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
            .count();
    // At most three 5 s timeouts and two 1 s pauses; the kernel may end an attempt early
    // with "host unreachable" when its address resolution gives up (after about 3 s).
    EXPECT_GE(seconds, 2);
    EXPECT_LE(seconds, 20);
}

// A stop (the console closed, the window closed, "Stop") ends the echo under way at once,
// with or without a source address: Windows gives a closing console's clean-up 5 s, and
// an echo to nobody waits 5 s by itself.
TEST(RealPing, AStopEndsTheEchoUnderWayAtOnce) {
    const char* silent = std::getenv("VARNOK_SILENT_ADDRESS");
    if (!silent) {
        GTEST_SKIP() << "VARNOK_SILENT_ADDRESS not set (run through ping_netns.sh)";
    }
    const std::optional<IPv4Address> sources[] = {std::nullopt, Addr("10.231.0.1")};
    for (const std::optional<IPv4Address>& source : sources) {
        Win32Echoes echoes;
        EchoOpening opening = echoes.Open(source);
        ASSERT_TRUE(opening.channel);
        std::stop_source stop;
        std::jthread stopper([&stop] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            stop.request_stop();
        });
        const auto start = std::chrono::steady_clock::now();
        const EchoReply reply =
            opening.channel->Send(Addr(silent), EchoPayload{}, 5000, stop.get_token());
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_FALSE(reply.received);
        // Far from the 5 s of an echo to nobody, and inside a closing console's 5 s.
        EXPECT_LT(took, std::chrono::milliseconds(2000)) << (source ? "from a source" : "plain");
    }
}

// The whole configuration ping stops as soon as it is asked to, whichever echo or pause is
// under way.
TEST(RealPing, AStoppedPingEndsAtOnce) {
    const char* silent = std::getenv("VARNOK_SILENT_ADDRESS");
    if (!silent) {
        GTEST_SKIP() << "VARNOK_SILENT_ADDRESS not set (run through ping_netns.sh)";
    }
    for (const int stopAfterMs : {200, 3500, 5600}) {
        Win32Echoes echoes;
        Win32Clock clock;
        Log off;
        Ping ping(echoes, clock, off, Addr("10.231.0.1"));
        std::stop_source stop;
        std::chrono::steady_clock::time_point stopped;
        std::jthread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(stopAfterMs));
            stopped = std::chrono::steady_clock::now();
            stop.request_stop();
        });
        EXPECT_FALSE(
            ping.Send(Addr(silent), Addr("255.255.255.0"), Addr("0.0.0.0"), stop.get_token()));
        stopper.join();
        EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::milliseconds(2000))
            << "stopped after " << stopAfterMs << " ms";
    }
}

// The console closed while a unit's echo waits for nobody: the echo gives up, the clean-up
// runs, and the console's handler returns once it is done, inside the 5 s Windows gives a
// closing console (after which it ends the process, clean-up or not). The PC's tables
// (recorded) are left as they were.
TEST(RealPing, AConsoleClosedDuringAnEchoToNobodyLeavesCleanTablesInTime) {
    const char* silent = std::getenv("VARNOK_SILENT_ADDRESS");
    if (!silent) {
        GTEST_SKIP() << "VARNOK_SILENT_ADDRESS not set (run through ping_netns.sh)";
    }
    fakes::Pc pc;
    Win32Echoes echoes;
    Win32Clock clock;
    const AssignmentRoles roles{pc.tables, echoes, clock, pc.changes, pc.lock, pc.log};
    const Assignment unit{
        1234, MacOfSerial(1234).value_or(L""), Addr(silent), Addr("255.255.255.0"), Addr("0.0.0.0"),
        {}};
    Console console;
    std::optional<Done> done;
    std::jthread work([&] {
        done = AssignAndRecord(roles, pc.record, unit, console.Interruption());
        console.Finished();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // the first echo waits
    const auto closed = std::chrono::steady_clock::now();
    console.HandleControl(CTRL_CLOSE_EVENT);
    const auto handled = std::chrono::steady_clock::now() - closed;
    work.join();
    ASSERT_TRUE(done);
    EXPECT_FALSE(done->outcome.Succeeded());
    EXPECT_LT(handled, std::chrono::milliseconds(4500)); // Windows' 5 s, less a margin
    EXPECT_TRUE(pc.tables.staticEntries.empty());
    EXPECT_TRUE(pc.tables.hostRoutes.empty());
    // The entry was made before the echo, and removed after it.
    std::wstring programs;
    for (const std::wstring& line : pc.trace.Lines()) {
        if (line.rfind(L"sys ", 0) == 0) {
            programs += line.substr(line.find(L'|') + 1, 2) + L" ";
        }
    }
    // arp -s, then (the echo given up) arp -d and route DELETE.
    EXPECT_EQ(programs.substr(programs.find(L"-s ")), L"-s -d DE ") << programs;
}

} // namespace
