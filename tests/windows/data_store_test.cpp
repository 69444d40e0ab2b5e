// The data store on Windows: the diagnostic log in the current folder, and the image's
// size and SHA-256 for the record.
#include "win32/data_store.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "core/log.h"
#include "tests/support.h"
#include "win32/win32.h"

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
    const ImageOpening opened = store.OpenImage(image.wstring());
    ASSERT_TRUE(opened.held);
    EXPECT_EQ(opened.facts.size, 1000000u);
    EXPECT_EQ(opened.facts.sha256,
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_FALSE(store.OpenImage((dir.path() / "missing.bin").wstring()).held);
    EXPECT_FALSE(store.OpenImage(dir.path().wstring()).held);
}

// While it is sent, the image can be read (by the client) but not changed, replaced or
// removed; afterwards it can.
TEST(Image, HeldAgainstChangesWhileSent) {
    const ScopedTempDir dir;
    const std::filesystem::path path = dir.path() / "unit.bin";
    std::ofstream(path, std::ios::binary) << "image";
    const std::wstring image = path.wstring();
    Win32DataStore store;
    ImageOpening opened = store.OpenImage(image);
    ASSERT_TRUE(opened.held);
    const auto opens = [&](DWORD access, DWORD share) {
        return static_cast<bool>(OwnFile(
            ::CreateFileW(image.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr)));
    };
    EXPECT_TRUE(opens(GENERIC_READ, FILE_SHARE_READ));
    EXPECT_FALSE(opens(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_FALSE(::DeleteFileW(image.c_str()));
    opened.held.reset();
    EXPECT_TRUE(opens(GENERIC_WRITE, FILE_SHARE_READ));
}

} // namespace

namespace {

// A spreadsheet holding a file open (reading it, letting others only read): appending
// fails, and the file's lines can still be taken aside and removed.
TEST(VarnoksFiles, AFileHeldOpenRefusesAppendsAndTakingIsOneStep) {
    Win32DataStore store;
    const std::wstring name = L"test-held-file.csv";
    store.Remove(name);
    std::wstring failure;
    ASSERT_TRUE(store.Append(name, "h\r\n", "a\r\n", failure));
    {
        const UniqueHandle spreadsheet =
            OwnFile(::CreateFileW(store.PathOf(name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(spreadsheet);
        EXPECT_FALSE(store.Append(name, "h\r\n", "b\r\n", failure));
        EXPECT_FALSE(failure.empty());
    }
    EXPECT_EQ(store.Take(name), "h\r\na\r\n");
    EXPECT_FALSE(store.Exists(name));
    EXPECT_FALSE(store.Take(name));  // taken once only
    EXPECT_TRUE(store.Remove(name)); // gone already: fine
}

} // namespace
