#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "core/arp.h"
#include "core/log.h"
#include "tests/support.h"
#include "win32/console.h"
#include "win32/data_store.h"
#include "win32/launcher.h"
#include "win32/registry_settings.h"
#include "win32/roles.h"

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
    testing_support::ScopedTempDir dir;
    Win32DataStore store;
    Log log{store}; // on: "varnok.log" in the current folder
    Log off;
};

TEST_F(SystemPrograms, ArpIsTheSystemsOwnNeverOneInTheCurrentFolder) {
    // A program named arp.exe in the current folder that would leave a marker.
    std::filesystem::copy_file(HelperProgram(), "arp.exe");
    const std::wstring marker = (dir.path() / "planted-arp-ran").wstring();
    Win32Tables tables(off);
    EXPECT_TRUE(Arp(tables, Addr("10.0.0.7"), L"00-50-c2-11-8b-b8").Delete().started);
    EXPECT_TRUE(RunSystemProgram(L"arp.exe", L"--touch " + marker, off).started);
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_TRUE(std::filesystem::exists(SystemProgramPath(L"arp.exe")));
}

TEST_F(SystemPrograms, AMissingSystemProgramIsNotStartedAndLogged) {
    const ProgramRun run = RunSystemProgram(L"no-such-tool.exe", L"ADD 10.0.0.7", log);
    EXPECT_FALSE(run.started);
    EXPECT_EQ(run.failure, L"The specified file was not found.");
    EXPECT_EQ(testing_support::ReadFileBytes("varnok.log"),
              "The specified file was not found.\r\n");
}

TEST_F(SystemPrograms, EachRunIsAwaitedBeforeTheNextStep) {
    const std::wstring marker = (dir.path() / "finished").wstring();
    EXPECT_TRUE(RunAwaited(HelperProgram().wstring(), L"--sleep 300 --touch " + marker, 10000, off)
                    .started);
    EXPECT_TRUE(std::filesystem::exists(marker)); // it had ended when the call returned
}

TEST_F(SystemPrograms, TheWaitEndsAfterItsLimit) {
    const std::wstring marker = (dir.path() / "late").wstring();
    const auto start = Clock::now();
    EXPECT_TRUE(
        RunAwaited(HelperProgram().wstring(), L"--sleep 4000 --touch " + marker, 200, off).started);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(SystemPrograms, TheStartCountsEvenWhenTheProgramFails) {
    const ProgramRun run = RunAwaited(HelperProgram().wstring(),
                                      L"--say \"The entry was refused.\" --exit 1", 10000, off);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.output, L"The entry was refused."); // for the reason when nothing changed
}

TEST_F(SystemPrograms, TheClientsExitCodeAndLastLineAreKept) {
    ClientStart start = StartCapturedProgram(
        HelperProgram().wstring(), L"--say \"Error code 2: refused\" --exit 3", off, false);
    ASSERT_TRUE(start.client);
    const std::optional<ClientEnd> end = start.client->Await(10000);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->exitCode, 3u);
    EXPECT_EQ(end->lastLine, L"Error code 2: refused");

    start = StartCapturedProgram(HelperProgram().wstring(), L"--sleep 20000", off, false);
    ASSERT_TRUE(start.client);
    EXPECT_FALSE(start.client->Await(100));
    start.client->End();
    EXPECT_TRUE(start.client->Await(5000));

    start = StartCapturedProgram((dir.path() / "missing.exe").wstring(), L"", off, false);
    EXPECT_FALSE(start.client);
    EXPECT_EQ(start.failure, L"The specified file was not found.");
}

// A client started to end with Varnok goes when its owner lets go of it (or Varnok ends):
// it never outlives the program. Another program started the same way without it runs on.
TEST_F(SystemPrograms, AClientTiedToVarnokEndsWithIt) {
    for (const bool tied : {true, false}) {
        SCOPED_TRACE(tied);
        const std::wstring marker = (dir.path() / (tied ? "tied" : "free")).wstring();
        ClientStart start = StartCapturedProgram(
            HelperProgram().wstring(), L"--sleep 800 --touch \"" + marker + L"\"", off, tied);
        ASSERT_TRUE(start.client);
        start.client.reset();
        ::Sleep(1800);
        EXPECT_EQ(std::filesystem::exists(marker), !tied);
    }
}

// Windows ends the process as soon as a closing console's handler returns: it first asks
// the work to stop and waits for its clean-up. Ctrl+C only asks.
TEST(ConsoleControl, AClosingConsoleWaitsForTheCleanUp) {
    Console console;
    std::atomic<bool> returned{false};
    std::thread handler([&] {
        console.HandleControl(CTRL_CLOSE_EVENT);
        returned = true;
    });
    while (!console.Interruption().stop_requested()) {
        std::this_thread::yield();
    }
    ::Sleep(200);
    EXPECT_FALSE(returned); // the work is still cleaning up
    console.Finished();
    handler.join();
    EXPECT_TRUE(returned);

    Console pressed;
    const auto start = Clock::now();
    EXPECT_TRUE(pressed.HandleControl(CTRL_C_EVENT));
    EXPECT_TRUE(pressed.Interruption().stop_requested());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
}

TEST(PendingChangeRecord, SurvivesInTheSettingsUntilCleared) {
    RegistrySettings settings(L"Strandel");
    SettingsChangeRecord record(settings);
    record.Clear();
    EXPECT_FALSE(record.Read());
    for (bool route : {true, false}) {
        record.Write({Addr("172.16.5.9"), route});
        RegistrySettings again(L"Strandel");
        const std::optional<PendingChange> read = SettingsChangeRecord(again).Read();
        ASSERT_TRUE(read);
        EXPECT_EQ(read->address.ToText(), L"172.16.5.9");
        EXPECT_EQ(read->hostRoute, route);
    }
    record.Clear();
    EXPECT_FALSE(record.Read());
}

// The tables' lock is one for every Varnok: while one sequence holds it, another neither
// takes it without waiting nor gets past a wait until it is released.
TEST(TablesLock, IsHeldByOneSequenceAtATime) {
    NamedTablesLock lock;
    std::unique_ptr<TablesLock::Held> held = lock.Acquire(true);
    ASSERT_TRUE(held);
    std::atomic<int> stage{0};
    std::thread other([&] {
        EXPECT_FALSE(lock.Acquire(false));
        stage = 1;
        const std::unique_ptr<TablesLock::Held> waited = lock.Acquire(true);
        EXPECT_TRUE(waited);
        stage = 2;
    });
    while (stage == 0) {
        std::this_thread::yield();
    }
    ::Sleep(100);
    EXPECT_EQ(stage, 1); // still waiting
    held.reset();
    other.join();
    EXPECT_EQ(stage, 2);
    EXPECT_TRUE(lock.Acquire(false));
}

// Files of its own in the application-data folder: replaced whole, appended to with the
// header only once.
TEST(DataFiles, AreReplacedWholeAndAppendedToWithOneHeader) {
    Win32DataStore store;
    const std::wstring name = L"test-data-file.csv";
    ::DeleteFileW(store.PathOf(name).c_str());
    EXPECT_FALSE(store.Read(name));
    std::wstring failure;
    EXPECT_TRUE(store.Append(name, "h\r\n", "a\r\n", failure));
    EXPECT_TRUE(store.Append(name, "h\r\n", "b\r\n", failure));
    EXPECT_EQ(store.Read(name), "h\r\na\r\nb\r\n");
    EXPECT_TRUE(store.Replace(name, "whole"));
    EXPECT_EQ(store.Read(name), "whole");
    ::DeleteFileW(store.PathOf(name).c_str());
    EXPECT_FALSE(store.Append(L"no such folder\\x.csv", "", "a", failure));
    EXPECT_FALSE(failure.empty());
}

} // namespace
