#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include <algorithm>

#include <gtest/gtest.h>

#include "core/arp.h"
#include "core/log.h"
#include "tests/support.h"
#include "win32/console.h"
#include "win32/data_store.h"
#include "win32/launcher.h"
#include "win32/registry_settings.h"
#include "win32/roles.h"
#include "win32/win32.h"

#include <sddl.h>

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
    Win32LogFile logFile;
    Log log{logFile}; // on: "varnok.log" in the current folder
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

// One that runs past its time is ended there, and says so: it cannot change the PC's
// tables after the step it belongs to has moved on.
TEST_F(SystemPrograms, OneThatRunsPastItsLimitIsEnded) {
    const std::wstring marker = (dir.path() / "late").wstring();
    const ProgramRun run =
        RunAwaited(HelperProgram().wstring(), L"--sleep 1000 --touch " + marker, 200, off);
    EXPECT_TRUE(run.started);
    EXPECT_TRUE(run.ended);
    EXPECT_NE(run.output.find(L"was ended"), std::wstring::npos);
    ::Sleep(1500); // past the moment it would have left its marker
    EXPECT_FALSE(std::filesystem::exists(marker));
}

// Its output comes through a pipe that is read as it is written: a talkative program is
// never held up by it, and its last line is kept.
TEST_F(SystemPrograms, ATalkativeProgramIsReadToItsLastLine) {
    const ProgramRun run = RunAwaited(
        HelperProgram().wstring(), L"--spew 300000 --say \"The entry was refused.\"", 10000, off);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.ended);
    EXPECT_EQ(run.output, L"The entry was refused.");
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

// The record of changes under way is kept for the machine, where only administrators can
// write; an earlier version's record in the user's settings, which any of the user's
// programs could write, is removed unread.
TEST(PendingChangeRecord, KeptForTheMachineUntilRemoved) {
    const wchar_t* const kCompany = L"VarnokTestCompany";
    RegistrySettings settings(kCompany);
    MachineChangeRecord record(kCompany, settings);
    for (const PendingChange& change : record.All()) {
        record.Remove(change.address);
    }
    ASSERT_TRUE(record.All().empty());
    record.Add({Addr("172.16.5.9"), true});
    record.Add({Addr("172.16.5.10"), false});
    DWORD route = 0;
    DWORD size = sizeof route;
    EXPECT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\VarnokTestCompany\\Varnok\\Pending",
                             L"172.16.5.9", RRF_RT_REG_DWORD, nullptr, &route, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(route, 1u);
    settings.PutAddress(L"Pending", L"IP", Addr("255.255.255.255"));
    settings.PutInt(L"Pending", L"HostRoute", 1);
    RegistrySettings again(kCompany);
    std::vector<std::wstring> read;
    for (const PendingChange& change : MachineChangeRecord(kCompany, again).All()) {
        read.push_back(change.address.ToText() + (change.hostRoute ? L" route" : L""));
    }
    std::sort(read.begin(), read.end());
    EXPECT_EQ(read, (std::vector<std::wstring>{L"172.16.5.10", L"172.16.5.9 route"}));
    EXPECT_TRUE(settings.Bytes(L"Pending", L"IP").empty());
    EXPECT_EQ(settings.Int(L"Pending", L"HostRoute", 7), 7u);
    record.Remove(Addr("172.16.5.9"));
    record.Remove(Addr("172.16.5.10"));
    EXPECT_TRUE(record.All().empty());
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\VarnokTestCompany");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VarnokTestCompany");
}

// Reading a setting, or the record of changes under way, makes no key: only what is
// written is kept.
TEST(Settings, ReadingMakesNoKey) {
    const wchar_t* const kCompany = L"VarnokTestReadOnly";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VarnokTestReadOnly");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\VarnokTestReadOnly");
    RegistrySettings settings(kCompany);
    EXPECT_EQ(settings.Int(L"Pending", L"HostRoute", 7), 7u);
    EXPECT_EQ(settings.Text(L"Init", L"MAC", L"none"), L"none");
    EXPECT_TRUE(settings.Remove(L"Pending", L"IP"));
    EXPECT_TRUE(MachineChangeRecord(kCompany, settings).All().empty());
    MachineChangeRecord(kCompany, settings).Remove(Addr("10.1.2.3"));
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        HKEY key = nullptr;
        EXPECT_EQ(::RegOpenKeyExW(root, L"Software\\VarnokTestReadOnly", 0, KEY_READ, &key),
                  ERROR_FILE_NOT_FOUND);
        if (key) {
            ::RegCloseKey(key);
        }
    }
    EXPECT_TRUE(settings.PutInt(L"Init", L"SerialNo", 1234));
    EXPECT_EQ(settings.Int(L"Init", L"SerialNo", 0), 1234u);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VarnokTestReadOnly");
}

// The tables' lock is one for every Varnok: while one sequence holds it, another neither
// takes it without waiting nor gets past a wait until it is released; a wait is told once,
// bounded, and ends on a stop.
TEST(TablesLock, IsHeldByOneSequenceAtATimeAndEveryWaitIsBounded) {
    using Refusal = TablesLock::Acquisition::Refusal;
    const VarnokNamespace names;
    NamedTablesLock lock(names, 5000);
    TablesLock::Acquisition held = lock.Acquire({}, {});
    ASSERT_TRUE(held.held);
    std::atomic<int> stage{0};
    std::atomic<int> told{0};
    std::thread other([&] {
        EXPECT_EQ(lock.TryAcquire().refusal, Refusal::Busy);
        stage = 1;
        const TablesLock::Acquisition waited = lock.Acquire({}, [&told] { ++told; });
        EXPECT_TRUE(waited.held);
        stage = 2;
    });
    while (stage == 0) {
        std::this_thread::yield();
    }
    ::Sleep(400);
    EXPECT_EQ(stage, 1); // still waiting
    EXPECT_EQ(told, 1);
    held.held.reset();
    other.join();
    EXPECT_EQ(stage, 2);

    held = lock.Acquire({}, {});
    std::thread impatient([&names] {
        NamedTablesLock shortWait(names, 300);
        const auto start = Clock::now();
        const TablesLock::Acquisition busy = shortWait.Acquire({}, {});
        EXPECT_EQ(busy.refusal, Refusal::Busy);
        EXPECT_NE(busy.reason.find(L"Another Varnok"), std::wstring::npos);
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2000));
        std::stop_source stop;
        stop.request_stop();
        EXPECT_EQ(shortWait.Acquire(stop.get_token(), {}).refusal, Refusal::Stopped);
    });
    impatient.join();
    held.held.reset();
    EXPECT_TRUE(lock.TryAcquire().held);
}

// A mutex of that name that is not administrators' own (another program took the name
// first) is refused with a clear word, whoever holds it.
TEST(TablesLock, ANameSomeoneElseTookIsRefused) {
    PSECURITY_DESCRIPTOR foreign = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"O:WDD:(A;;GA;;;WD)", SDDL_REVISION_1, &foreign, nullptr));
    SECURITY_ATTRIBUTES attributes{sizeof attributes, foreign, FALSE};
    const UniqueHandle taken(::CreateMutexW(&attributes, FALSE, L"Global\\Varnok.Tables"));
    ::LocalFree(foreign);
    ASSERT_TRUE(taken);
    const VarnokNamespace names;
    if (names.Private()) {
        GTEST_SKIP() << "this system keeps Varnok's names in a private namespace";
    }
    const TablesLock::Acquisition refused = NamedTablesLock(names, 300).Acquire({}, {});
    if (refused.held) {
        GTEST_SKIP() << "this system keeps no other owner for a mutex made by this process";
    }
    EXPECT_EQ(refused.refusal, TablesLock::Acquisition::Refusal::Foreign);
    EXPECT_NE(refused.reason.find(L"Global\\Varnok.Tables"), std::wstring::npos) << refused.reason;
}

// Files of its own in the application-data folder: replaced whole, appended to with the
// header only once.
TEST(DataFiles, AreReplacedWholeAndAppendedToWithOneHeader) {
    Win32OwnFiles files;
    const std::wstring name = L"test-data-file.csv";
    EXPECT_FALSE(files.Remove(name));
    FileError error;
    EXPECT_FALSE(files.Read(name, error));
    EXPECT_FALSE(error); // missing is no error
    EXPECT_FALSE(files.Append(name, "h\r\n", "a\r\n"));
    EXPECT_FALSE(files.Append(name, "h\r\n", "b\r\n"));
    EXPECT_EQ(files.Read(name, error), "h\r\na\r\nb\r\n");
    EXPECT_FALSE(files.Replace(name, "whole"));
    EXPECT_EQ(files.Read(name, error), "whole");
    EXPECT_FALSE(files.Remove(name));
    EXPECT_FALSE(files.Read(name, error));
    const FileError nowhere = files.Append(L"no such folder\\x.csv", "", "a");
    EXPECT_TRUE(nowhere);
    EXPECT_FALSE(files.Words(nowhere).empty());
}

} // namespace
