#include "core/log.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "tests/support.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::ScopedTempDir;

class Log : public ::testing::Test {
protected:
    void TearDown() override { ClearDebugFlagForTesting(); }
    ScopedTempDir dir;
};

TEST_F(Log, FlagOffNeverCreatesOrTouchesTheFile) {
    ASSERT_FALSE(GetDebugFlag());
    WriteLogLine(L"The specified file was not found.");
    EXPECT_FALSE(std::filesystem::exists("varnok.log"));

    {
        std::ofstream existing("varnok.log", std::ios::binary);
        existing << "old\r\n";
    }
    const auto stamp = std::filesystem::last_write_time("varnok.log");
    WriteLogLine(L"new");
    EXPECT_EQ(ReadFileBytes("varnok.log"), "old\r\n");
    EXPECT_EQ(std::filesystem::last_write_time("varnok.log"), stamp);
}

TEST_F(Log, EntriesAppendWithCrLfAcrossRuns) {
    SetDebugFlag();
    EXPECT_TRUE(GetDebugFlag());
    WriteLogLine(L"first run");
    // A second run appends to what the first left, with nothing in between.
    WriteLogLine(L"No file selected");
    WriteLogLine(L"");
    EXPECT_EQ(ReadFileBytes("varnok.log"), "first run\r\nNo file selected\r\n\r\n");
}

TEST_F(Log, LandsInTheCurrentDirectory) {
    SetDebugFlag();
    std::filesystem::create_directory("elsewhere");
    std::filesystem::current_path("elsewhere");
    WriteLogLine(L"here");
    std::filesystem::current_path(dir.path());
    EXPECT_EQ(ReadFileBytes("elsewhere/varnok.log"), "here\r\n");
    EXPECT_FALSE(std::filesystem::exists("varnok.log"));
}

TEST_F(Log, AnEntryThatCannotBeWrittenIsDroppedSilently) {
    SetDebugFlag();
    // A directory where the file should be: the open fails (even for root).
    std::filesystem::create_directory("varnok.log");
    WriteLogLine(L"lost");
    EXPECT_TRUE(std::filesystem::is_directory("varnok.log"));
    EXPECT_TRUE(std::filesystem::is_empty("varnok.log"));
}

TEST(LogBytes, OneBytePerCharacter) {
    EXPECT_EQ(LogEntryBytes(L"ping ip=1.2.3.4 returned "), "ping ip=1.2.3.4 returned \r\n");
    EXPECT_EQ(LogEntryBytes(L"caf\u00e9"), "caf\xe9\r\n");
    // Beyond one byte: a placeholder, never a low byte that could be a line end.
    EXPECT_EQ(LogEntryBytes(L"a\u010ab"), "a?b\r\n");
}

} // namespace
