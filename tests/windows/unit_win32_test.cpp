#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "common/launcher.h"
#include "common/launcher_win32.h"
#include "common/log.h"
#include "tests/support.h"
#include "unit/arp.h"
#include "unit/route.h"

namespace {

using testing_support::Addr;
using Clock = std::chrono::steady_clock;

std::filesystem::path HelperProgram() {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::filesystem::path(self).parent_path() / "varnok_test_helper.exe";
}

class SystemPrograms : public ::testing::Test {
protected:
    void TearDown() override { ClearDebugFlagForTesting(); }
    testing_support::ScopedTempDir dir;
};

TEST_F(SystemPrograms, ArpIsTheSystemsOwnNeverOneInTheCurrentFolder) {
    // A program named arp.exe in the current folder that would leave a marker.
    std::filesystem::copy_file(HelperProgram(), "arp.exe");
    const std::wstring marker = (dir.path() / "planted-arp-ran").wstring();
    EXPECT_TRUE(Arp(Addr("10.0.0.7"), L"00-50-c2-11-8b-b8").Delete());
    EXPECT_TRUE(RunSystemProgram(L"arp.exe", L"--touch " + marker));
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_TRUE(std::filesystem::exists(SystemProgramPath(L"arp.exe")));
}

TEST_F(SystemPrograms, AMissingSystemProgramIsNotStartedAndLogged) {
    SetDebugFlag();
    EXPECT_FALSE(RunSystemProgram(L"no-such-tool.exe", L"ADD 10.0.0.7"));
    EXPECT_EQ(testing_support::ReadFileBytes("varnok.log"),
              "The specified file was not found.\r\n");
}

TEST_F(SystemPrograms, EachRunIsAwaitedBeforeTheNextStep) {
    const std::wstring marker = (dir.path() / "finished").wstring();
    EXPECT_GT(StartAndWait(HelperProgram().wstring(), L"--sleep 300 --touch " + marker, 10000), 32);
    EXPECT_TRUE(std::filesystem::exists(marker)); // it had ended when the call returned
}

TEST_F(SystemPrograms, TheWaitEndsAfterItsLimit) {
    const std::wstring marker = (dir.path() / "late").wstring();
    const auto start = Clock::now();
    EXPECT_GT(StartAndWait(HelperProgram().wstring(), L"--sleep 4000 --touch " + marker, 200), 32);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(SystemPrograms, TheStartCountsEvenWhenTheProgramFails) {
    EXPECT_GT(StartAndWait(HelperProgram().wstring(), L"--exit 1", 10000), 32);
}

} // namespace
