// The data store on Windows: the diagnostic log in the current folder, and the image's
// size and SHA-256 for the record.
#include "win32/data_store.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "core/log.h"
#include "tests/support.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::ScopedTempDir;

TEST(DiagnosticLog, OffNeverCreatesOrTouchesTheFile) {
    const ScopedTempDir dir;
    Win32DataStore store;
    Log off(store, false);
    off.Write(L"The specified file was not found.");
    EXPECT_FALSE(std::filesystem::exists("varnok.log"));

    std::ofstream("varnok.log", std::ios::binary) << "old\r\n";
    const auto stamp = std::filesystem::last_write_time("varnok.log");
    off.Write(L"new");
    EXPECT_EQ(ReadFileBytes("varnok.log"), "old\r\n");
    EXPECT_EQ(std::filesystem::last_write_time("varnok.log"), stamp);
}

TEST(DiagnosticLog, EntriesAppendWithCrLfAcrossRuns) {
    const ScopedTempDir dir;
    Win32DataStore store;
    Log(store).Write(L"first run");
    // A second run appends to what the first left, with nothing in between.
    Log second(store);
    second.Write(L"No file selected");
    second.Write(L"");
    EXPECT_EQ(ReadFileBytes("varnok.log"), "first run\r\nNo file selected\r\n\r\n");
}

TEST(DiagnosticLog, LandsInTheCurrentDirectory) {
    const ScopedTempDir dir;
    Win32DataStore store;
    Log log(store);
    std::filesystem::create_directory("elsewhere");
    std::filesystem::current_path("elsewhere");
    log.Write(L"here");
    std::filesystem::current_path(dir.path());
    EXPECT_EQ(ReadFileBytes("elsewhere/varnok.log"), "here\r\n");
    EXPECT_FALSE(std::filesystem::exists("varnok.log"));
}

TEST(DiagnosticLog, AnEntryThatCannotBeWrittenIsDroppedSilently) {
    const ScopedTempDir dir;
    Win32DataStore store;
    // A directory where the file should be: the open fails.
    std::filesystem::create_directory("varnok.log");
    Log(store).Write(L"lost");
    EXPECT_TRUE(std::filesystem::is_directory("varnok.log"));
    EXPECT_TRUE(std::filesystem::is_empty("varnok.log"));
}

TEST(Image, DescribedAcrossReadBlocks) {
    const ScopedTempDir dir;
    const std::filesystem::path image = dir.path() / "million a.bin";
    std::ofstream(image, std::ios::binary) << std::string(1000000, 'a');
    Win32DataStore store;
    const std::optional<FileFacts> facts = store.DescribeFile(image.wstring());
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->size, 1000000u);
    EXPECT_EQ(facts->sha256, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_FALSE(store.DescribeFile((dir.path() / "missing.bin").wstring()));
    EXPECT_FALSE(store.DescribeFile(dir.path().wstring()));
}

} // namespace
