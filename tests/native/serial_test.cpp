#include <gtest/gtest.h>

#include "core/serial.h"

namespace {

TEST(SerialNumber, ReadsLikeAnUnsignedScan) {
    const struct {
        const wchar_t* text;
        std::optional<std::uint32_t> number;
    } cases[] = {
        {L"1234", 1234u},
        {L"01234", 1234u},
        {L"  \t1000", 1000u},
        {L"+1234", 1234u},
        {L"12a4", 12u},
        {L"0999", 999u},
        {L"4294967295", 4294967295u},
        {L"99999999999999999999", 4294967295u}, // out of range stays at the top
        {L"", std::nullopt},
        {L"    ", std::nullopt},
        {L"abcd", std::nullopt},
        {L"+", std::nullopt},
        {L"+-1", std::nullopt},
        {L"-1234", std::nullopt}, // no wrapping to 4294966062
        {L" -0", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadSerialNumber(c.text), c.number) << testing::PrintToString(c.text);
    }
}

TEST(SerialNumber, OnlyTheFirst63CharactersCount) {
    EXPECT_EQ(ReadSerialNumber(std::wstring(62, L' ') + L"7"), 7u);
    EXPECT_EQ(ReadSerialNumber(std::wstring(63, L' ') + L"7"), std::nullopt);
}

TEST(SerialNumber, LengthIsFourOrFiveCharacters) {
    EXPECT_EQ(CheckSerialLength(L"123"), SerialLength::TooShort);
    EXPECT_EQ(CheckSerialLength(L""), SerialLength::TooShort);
    EXPECT_EQ(CheckSerialLength(L"1234"), SerialLength::Fine);
    EXPECT_EQ(CheckSerialLength(L"abcde"), SerialLength::Fine);
    EXPECT_EQ(CheckSerialLength(L"123456"), SerialLength::TooLong);
}

} // namespace
