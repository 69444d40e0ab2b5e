#include <algorithm>

#include <gtest/gtest.h>

#include "common/log.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"
#include "ui/arguments.h"
#include "upload/tftp.h"
#include "upload/transfer.h"

namespace {

using testing_support::Addr;

TEST(ClientCommandLine, QuotesOnlyPathsThatWouldSplit) {
    const struct {
        const wchar_t* path;
        const wchar_t* parameters;
    } cases[] = {
        {LR"(C:\fw\unit.bin)", LR"(-i 10.0.0.5 PUT C:\fw\unit.bin)"},
        {LR"(C:\My Files\unit.bin)", LR"(-i 10.0.0.5 PUT "C:\My Files\unit.bin")"},
        {L"C:\\fw\\tab\there.ROM", L"-i 10.0.0.5 PUT \"C:\\fw\\tab\there.ROM\""},
        {L"   ", L"-i 10.0.0.5 PUT \"   \""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TFTP::PutParameters(Addr("10.0.0.5"), c.path), c.parameters);
    }
}

// A progress bar as the control behaves: the step returns the position before it and
// the position never passes the range's top.
struct Bar {
    int position = 1;
    int top;
    int StepIt() {
        const int before = position;
        position = std::min(position + 1, top);
        return before;
    }
};

// Ticks until the wait ends; `stuck` keeps the bar from moving.
int TicksUntilDone(unsigned limit, bool stuck) {
    Bar bar{1, static_cast<int>(limit)};
    unsigned ticksLeft = limit;
    for (int tick = 1; tick < 1000; ++tick) {
        const int before = stuck ? 1 : bar.StepIt();
        if (TransferTick(1, 1, before, limit, ticksLeft) == TickOutcome::Done) {
            return tick;
        }
    }
    return -1;
}

TEST(TransferTicks, FirmwareWaitsThirtyTicksAndWebPagesFifteen) {
    EXPECT_EQ(TicksUntilDone(kFirmwareTicks, false), 30);
    EXPECT_EQ(TicksUntilDone(kWebPageTicks, false), 15);
}

TEST(TransferTicks, TheTickCountBoundsTheWaitWhenTheBarStands) {
    EXPECT_EQ(TicksUntilDone(kFirmwareTicks, true), 31);
    EXPECT_EQ(TicksUntilDone(kWebPageTicks, true), 16);
}

TEST(TransferTicks, AnotherTimersTickChangesNothing) {
    unsigned ticksLeft = 12;
    EXPECT_EQ(TransferTick(7, 1, 3, 30, ticksLeft), TickOutcome::NotOurs);
    EXPECT_EQ(TransferTick(1, 0, 3, 30, ticksLeft), TickOutcome::NotOurs);
    EXPECT_EQ(ticksLeft, 12u);
}

TEST(TransferOutcome, SuccessOnlyForAClientThatEndedWell) {
    EXPECT_TRUE(UploadSucceeded(true, 0ul));
    EXPECT_FALSE(UploadSucceeded(true, 1ul));
    EXPECT_FALSE(UploadSucceeded(true, std::nullopt));
    EXPECT_FALSE(UploadSucceeded(false, std::nullopt));
    EXPECT_FALSE(UploadSucceeded(false, 0ul));
}

TEST(StartArguments, DebugInAnyCaseAsAWholeArgumentAfterTheProgramsName) {
    const struct {
        std::vector<std::wstring> arguments;
        bool debug;
    } cases[] = {
        {{L"Varnok.exe"}, false},
        {{L"Varnok.exe", L"debug"}, true},
        {{L"Varnok.exe", L"DEBUG"}, true},
        {{L"Varnok.exe", L"x", L"y", L"DeBuG"}, true},
        {{L"Varnok.exe", L"-debug", L"debug=1", L"debugx", L"debu", L""}, false},
        {{L"debug"}, false},                     // the program's own name
        {{L"Varnok.exe", L"d\u0130bug"}, false}, // only ASCII letters fold
    };
    for (const auto& c : cases) {
        ClearDebugFlagForTesting();
        ApplyArguments(c.arguments);
        EXPECT_EQ(GetDebugFlag(), c.debug) << testing::PrintToString(c.arguments);
    }
    ClearDebugFlagForTesting();
}

} // namespace

namespace {

class ClientStart : public ::testing::Test {
protected:
    void SetUp() override { fakes::Reset(); }
};

TEST_F(ClientStart, TheClientIsWrittenOutOnceAndStartedByItsFullPath) {
    TFTP tftp(136);
    EXPECT_TRUE(tftp.Put(Addr("10.0.0.5"), LR"(C:\fw\unit.bin)"));
    EXPECT_EQ(fakes::world().trace,
              (std::vector<std::wstring>{
                  L"extract 136", LR"(start C:\work\tftp.exe|-i 10.0.0.5 PUT C:\fw\unit.bin)"}));
    EXPECT_EQ(tftp.Client().ExitCode(), 0ul);
}

TEST_F(ClientStart, AClientThatCannotStartIsNotWatched) {
    fakes::world().launchSucceeds = [](const fakes::Launch&) { return false; };
    TFTP tftp(136);
    EXPECT_FALSE(tftp.Put(Addr("10.0.0.5"), L"unit.bin"));
    EXPECT_FALSE(tftp.Client().Started());
    EXPECT_EQ(tftp.Client().ExitCode(), std::nullopt);
}

} // namespace
