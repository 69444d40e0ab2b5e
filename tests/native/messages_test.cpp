#include "common/messages.h"

#include <gtest/gtest.h>

#include "common/log.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::ReadFileBytes;

std::wstring Format(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring text = FormatMessageText(format, args);
    va_end(args);
    return text;
}

TEST(MessageText, FormatsPrintfStyle) {
    EXPECT_EQ(Format(L"No file selected"), L"No file selected");
    EXPECT_EQ(Format(L"%d of %ls", 3, L"30"), L"3 of 30");
    EXPECT_EQ(Format(L"100%%"), L"100%");
    EXPECT_EQ(Format(L""), L"");
}

TEST(MessageText, LongTextsAreCutAt1023Characters) {
    const std::wstring exact(1023, L'x');
    EXPECT_EQ(Format(L"%ls", exact.c_str()), exact);
    const std::wstring longer(5000, L'y');
    EXPECT_EQ(Format(L"%ls", longer.c_str()), std::wstring(1023, L'y'));
    EXPECT_EQ(Format(L"ab%ls", longer.c_str()), L"ab" + std::wstring(1021, L'y'));
}

class Messages : public ::testing::Test {
protected:
    void SetUp() override { fakes::Reset(); }
    void TearDown() override { ClearDebugFlagForTesting(); }
    testing_support::ScopedTempDir dir;
};

TEST_F(Messages, ShowMessageLogsBeforeTheBoxAppears) {
    SetDebugFlag();
    std::string logAtBox;
    fakes::world().onBox = [&](const std::wstring&) { logAtBox = ReadFileBytes("varnok.log"); };
    EXPECT_EQ(ShowMessage(L"No file selected"), 1);
    EXPECT_EQ(logAtBox, "No file selected\r\n");
    EXPECT_EQ(fakes::world().trace, std::vector<std::wstring>{L"box No file selected"});
}

TEST_F(Messages, ShowMessageWithTheLogOffOnlyShowsTheBox) {
    ShowMessage(L"IP address is missing");
    EXPECT_EQ(fakes::world().trace, std::vector<std::wstring>{L"box IP address is missing"});
    EXPECT_FALSE(std::filesystem::exists("varnok.log"));
}

} // namespace
