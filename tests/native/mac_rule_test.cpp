#include "core/mac_rule.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

struct MacCase {
    std::uint32_t serial;
    const wchar_t* mac; // null: no MAC
};

void PrintTo(const MacCase& c, std::ostream* out) {
    *out << c.serial;
}

class MacRule : public ::testing::TestWithParam<MacCase> {};

TEST_P(MacRule, BuildsTheUnitsAddress) {
    const std::optional<std::wstring> mac = MacOfSerial(GetParam().serial);
    if (GetParam().mac) {
        EXPECT_EQ(mac, GetParam().mac);
    } else {
        EXPECT_FALSE(mac);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Serials, MacRule,
    ::testing::Values(
        // Below 1000 there is no MAC.
        MacCase{0, nullptr}, MacCase{999, nullptr},
        // Three hex digits: one MAC per serial.
        MacCase{1000, L"00:50:c2:11:8b:b8"}, MacCase{1234, L"00:50:c2:11:8c:a2"},
        MacCase{2095, L"00:50:c2:11:8f:ff"},
        // Four digits: the leading three count, 16 serials share one MAC.
        MacCase{2096, L"00:50:c2:11:81:00"}, MacCase{2111, L"00:50:c2:11:81:00"},
        MacCase{2112, L"00:50:c2:11:81:01"}, MacCase{12345, L"00:50:c2:11:83:80"},
        MacCase{63535, L"00:50:c2:11:8f:ff"},
        // Five digits from 63536 on.
        MacCase{63536, L"00:50:c2:11:81:00"}, MacCase{99999, L"00:50:c2:11:81:8e"},
        // The sum wraps at 2^32 like any unsigned value: 4294967295 + 2000 = 1999 (7cf),
        // and a sum below 0x100 is zero-padded to three digits.
        MacCase{4294967295u, L"00:50:c2:11:87:cf"}, MacCase{4294965301u, L"00:50:c2:11:80:05"},
        // The largest eight-digit sum keeps its leading three digits.
        MacCase{4294965295u, L"00:50:c2:11:8f:ff"}),
    [](const ::testing::TestParamInfo<MacCase>& info) {
        return "serial_" + std::to_string(info.param.serial);
    });

TEST(MacRule, EveryMacIsSeventeenLowerCaseCharactersWithThePrefix) {
    for (std::uint32_t serial : {1000u, 1999u, 2095u, 2096u, 40000u, 63536u, 99999u, 100000u,
                                 16777215u, 2147483647u, 4294967295u}) {
        const std::wstring mac = MacOfSerial(serial).value_or(L"");
        ASSERT_EQ(mac.size(), 17u) << serial;
        EXPECT_EQ(mac.substr(0, 13), L"00:50:c2:11:8") << serial;
        EXPECT_EQ(mac[14], L':') << serial;
        for (wchar_t c : mac) {
            EXPECT_TRUE((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || c == L':')
                << serial;
        }
    }
}

struct ReverseCase {
    const wchar_t* mac;
    const wchar_t* serials; // as SerialsText writes them
};

class SerialsOfAMac : public ::testing::TestWithParam<ReverseCase> {};

TEST_P(SerialsOfAMac, NamesEveryGroup) {
    EXPECT_EQ(SerialsText(SerialsOfMac(GetParam().mac)), GetParam().serials);
}

INSTANTIATE_TEST_SUITE_P(
    Macs, SerialsOfAMac,
    ::testing::Values(
        // One serial below 2096, then its sixteen in the four-digit sums.
        ReverseCase{L"00:50:c2:11:8b:b8", L"1000,46000-46015"},
        ReverseCase{L"00-50-C2-11-8B-B8", L"1000,46000-46015"},
        ReverseCase{L"00:50:c2:11:8f:ff", L"2095,63520-63535"},
        // The first shared MAC: sixteen from 2096, and 256 in the five-digit sums.
        ReverseCase{L"00:50:c2:11:81:00", L"2096-2111,63536-63791"},
        // The last five-digit serials: a group cut at 99999.
        ReverseCase{L"00:50:c2:11:81:8e", L"4368-4383,99888-99999"},
        ReverseCase{L"00:50:c2:11:81:8f", L"4384-4399"},
        // In the block, but only serials far past five digits give it.
        ReverseCase{L"00:50:c2:11:80:05", L""},
        // Outside the block, or no MAC at all.
        ReverseCase{L"00:50:c2:11:9b:b8", L""}, ReverseCase{L"00:50:c3:11:8b:b8", L""},
        ReverseCase{L"00:50:c2:11:8b", L""}));

TEST(SerialsOfAMac, EveryUnitsSerialIsAmongThoseOfItsMac) {
    for (std::uint32_t serial = kLowestSerial; serial <= 99999; ++serial) {
        const std::vector<SerialRange> serials = SerialsOfMac(MacOfSerial(serial).value_or(L""));
        ASSERT_TRUE(std::any_of(serials.begin(), serials.end(), [serial](const SerialRange& r) {
            return r.first <= serial && serial <= r.last;
        })) << serial;
        for (const SerialRange& range : serials) {
            ASSERT_EQ(MacOfSerial(range.first), MacOfSerial(range.last)) << serial;
        }
    }
}

} // namespace
