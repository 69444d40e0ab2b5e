// What the user is told: the program's own box and its log line, and an outcome's boxes.
#include "app/notices.h"

#include <gtest/gtest.h>

#include "core/log.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::ReadFileBytes;
using Trace = std::vector<std::wstring>;

class Messages : public ::testing::Test {
protected:
    void SetUp() override { fakes::Reset(); }
    void TearDown() override { ClearDebugFlagForTesting(); }
    testing_support::ScopedTempDir dir;
    fakes::RecordingNotices notices;
};

TEST_F(Messages, AMessageIsLoggedBeforeTheBoxAppears) {
    SetDebugFlag();
    std::string logAtBox;
    fakes::world().onBox = [&](const std::wstring&) { logAtBox = ReadFileBytes("varnok.log"); };
    notices.Message(L"No file selected");
    EXPECT_EQ(logAtBox, "No file selected\r\n");
    EXPECT_EQ(fakes::world().trace, Trace{L"box No file selected"});
}

TEST_F(Messages, WithTheLogOffOnlyTheBoxAppears) {
    notices.Message(L"IP address is missing");
    EXPECT_EQ(fakes::world().trace, Trace{L"box IP address is missing"});
    EXPECT_FALSE(std::filesystem::exists("varnok.log"));
}

TEST_F(Messages, LongTextsAreCutAt1023Characters) {
    notices.Message(std::wstring(1023, L'x'));
    notices.Message(std::wstring(5000, L'y'));
    EXPECT_EQ(fakes::world().trace,
              (Trace{L"box " + std::wstring(1023, L'x'), L"box " + std::wstring(1023, L'y')}));
}

TEST_F(Messages, AnOutcomeShowsTheIcmpFailureFirstThenSuccessOrFailure) {
    const struct {
        Failure failure;
        Trace boxes;
    } cases[] = {
        {Failure::None, {L"msg 108"}},
        {Failure::EchoLibraryMissing, {L"msg 111", L"msg 110"}},
        {Failure::EchoHandleFailed, {L"msg 109", L"msg 110"}},
        {Failure::NoAnswer, {L"msg 110"}},
        {Failure::RouteNotStarted, {L"msg 110"}},
        {Failure::ClientFailed, {L"msg 110"}},
        {Failure::ClientTimedOut, {L"msg 110"}},
    };
    for (const auto& c : cases) {
        fakes::Reset();
        ShowOutcome(notices, Outcome{c.failure});
        EXPECT_EQ(fakes::world().trace, c.boxes) << static_cast<int>(c.failure);
    }
}

} // namespace
