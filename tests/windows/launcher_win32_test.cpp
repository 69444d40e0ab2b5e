#include "win32/launcher.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "core/log.h"
#include "tests/support.h"
#include "win32/data_store.h"
#include "win32/win32.h"

namespace {

using testing_support::ReadFileBytes;

class Launcher : public ::testing::Test {
protected:
    testing_support::ScopedTempDir dir;
    Win32LogFile logFile;
    Log log{logFile}; // on: "varnok.log" in the current folder
    Log off;
};

std::wstring SystemProgram(const wchar_t* name) {
    wchar_t system[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system, n) + L"\\" + name;
}

TEST_F(Launcher, AnExistingProgramStartsAndNothingIsLogged) {
    EXPECT_TRUE(RunAwaited(SystemProgram(L"cmd.exe"), L"/c exit 0", 5000, log).started);
    EXPECT_FALSE(std::filesystem::exists("varnok.log"));
}

TEST_F(Launcher, AMissingProgramFailsAndLogsWhy) {
    EXPECT_FALSE(RunAwaited(L"no-such-program-here.exe", L"", 5000, log).started);
    EXPECT_EQ(ReadFileBytes("varnok.log"), "The specified file was not found.\r\n");
}

TEST_F(Launcher, AMissingProgramWithTheLogOffLeavesNoFile) {
    EXPECT_FALSE(RunAwaited(L"no-such-program-here.exe", L"", 5000, off).started);
    EXPECT_FALSE(std::filesystem::exists("varnok.log"));
}

TEST_F(Launcher, LogsIntoTheCurrentDirectoryNotTheProgramsFolder) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::filesystem::path programFolder = std::filesystem::path(self).parent_path();
    ASSERT_NE(programFolder, std::filesystem::current_path());
    RunAwaited(L"no-such-program-here.exe", L"", 5000, log);
    EXPECT_TRUE(std::filesystem::exists("varnok.log"));
    EXPECT_FALSE(std::filesystem::exists(programFolder / "varnok.log"));
}

TEST_F(Launcher, ALockedLogDropsTheEntryAndChangesNothingElse) {
    {
        std::ofstream existing("varnok.log", std::ios::binary);
        existing << "kept\r\n";
    }
    // Another program holds the file without sharing it: the entry is lost, the start's
    // answer is the same as with a writable log.
    UniqueHandle lock = OwnFile(::CreateFileW(L"varnok.log", GENERIC_READ, 0, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(lock);
    EXPECT_FALSE(RunAwaited(L"no-such-program-here.exe", L"", 5000, log).started);
    lock.reset();
    EXPECT_EQ(ReadFileBytes("varnok.log"), "kept\r\n");
}

} // namespace
