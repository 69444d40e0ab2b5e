// The PC's adapters, neighbour table and firewall as the Windows edge reads them (the
// machine's own under Wine; the end-to-end scenarios cover a laptop's several).
#include "win32/firewall.h"
#include "win32/network.h"
#include "win32/roles.h"

#include <objbase.h>

#include <algorithm>
#include <thread>

#include <gtest/gtest.h>

#include "core/address_check.h"

namespace {

TEST(Adapters, ListsUpAdaptersWithTheirAddressesAndPrefixes) {
    Log off;
    const std::vector<IPv4Address> own = Win32Tables(off).OwnAddresses();
    for (const Adapter& adapter : UpAdapters()) {
        EXPECT_FALSE(adapter.name.empty());
        EXPECT_NE(adapter.index, 0ul) << adapter.name;
        ASSERT_FALSE(adapter.addresses.empty()) << adapter.name;
        for (const AdapterAddress& each : adapter.addresses) {
            EXPECT_NE(each.address.octet[0], 127) << "loopback is left out";
            EXPECT_TRUE(IsContiguousNetmask(each.netmask)) << each.netmask.ToText();
            EXPECT_TRUE(std::any_of(own.begin(), own.end(), [&](const IPv4Address& a) {
                return a == each.address;
            })) << "own addresses hold every adapter's";
        }
    }
    EXPECT_TRUE(own.back() == (IPv4Address{{127, 0, 0, 1}}));
}

TEST(Neighbours, AnAddressNobodyAnsweredForHasNoMac) {
    EXPECT_FALSE(ResolvedNeighbour(IPv4Address{{127, 0, 0, 1}}, 0));
    EXPECT_FALSE(ResolvedNeighbour(IPv4Address{{198, 51, 100, 77}}, 0)); // documentation range
}

// Wine's firewall takes rules and keeps none: the calls must simply come back. They start
// COM themselves: the command line's thread and a fresh one have it no more than this
// test's, which starts none.
TEST(Firewall, CallsWorkFromAThreadWithoutCom) {
    bool put = false;
    std::thread fresh([&put] {
        FirewallRule rule{L"C:\\ProgramData\\Varnok\\tftp.exe", true, true, true, true};
        put = PutWindowsFirewallRule(L"Varnok test rule", rule);
        if (const std::optional<FirewallRule> found =
                FindWindowsFirewallRule(L"Varnok test rule")) {
            EXPECT_EQ(*found, rule);
        }
        // Unknown under Wine, which does not say; Windows says whether a policy rules.
        WindowsFirewallHeedsLocalRules();
    });
    fresh.join();
    EXPECT_TRUE(put); // without COM, making the rule would have failed
}

} // namespace
