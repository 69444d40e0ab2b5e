// Real echoes through ICMP.DLL. Run inside a private network namespace by
// tests/windows/ping_netns.sh, which gives an address on a veth link that nobody holds.
#include <chrono>
#include <cstdlib>

#include <gtest/gtest.h>

#include "core/log.h"
#include "core/ping.h"
#include "tests/support.h"
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

} // namespace
