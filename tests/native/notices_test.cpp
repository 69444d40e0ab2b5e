// What the user is told: the program's own box and its log line, and an outcome's boxes.
#include "app/notices.h"

#include <gtest/gtest.h>

#include "core/log.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using Trace = std::vector<std::wstring>;

// The box with an address logs the line a box of its text and address would have shown.
TEST(Messages, AMessageIsLoggedBeforeTheBoxAppears) {
    const struct {
        const char* name;
        void (*show)(Notices&);
        const char* logged;
        const wchar_t* shown;
    } cases[] = {
        {"a message", [](Notices& n) { n.Message(L"No file selected"); }, "No file selected\r\n",
         L"box No file selected"},
        {"with an address",
         [](Notices& n) { n.MessageWithAddress(L"Open it in your browser:", L"http://10.0.0.5"); },
         "Open it in your browser: http://10.0.0.5\r\n",
         L"addressbox Open it in your browser:|http://10.0.0.5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Pc pc(fakes::LogSwitch::On);
        std::string logAtBox;
        pc.notices.onBox = [&](const std::wstring&) { logAtBox = pc.store.LogBytes(); };
        c.show(pc.notices);
        EXPECT_EQ(logAtBox, c.logged);
        EXPECT_EQ(pc.trace.Lines(), Trace{c.shown});
    }
}

TEST(Messages, WithTheLogOffOnlyTheBoxAppears) {
    fakes::Pc pc;
    pc.notices.Message(L"IP address is missing");
    EXPECT_EQ(pc.trace.Lines(), Trace{L"box IP address is missing"});
    EXPECT_EQ(pc.store.LogBytes(), "");
}

TEST(Messages, LongTextsAreCutAt1023Characters) {
    fakes::Pc pc;
    pc.notices.Message(std::wstring(1023, L'x'));
    pc.notices.Message(std::wstring(5000, L'y'));
    EXPECT_EQ(pc.trace.Lines(),
              (Trace{L"box " + std::wstring(1023, L'x'), L"box " + std::wstring(1023, L'y')}));
}

TEST(Messages, AnOutcomeShowsTheIcmpFailureFirstThenSuccessOrFailure) {
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
        fakes::Pc pc;
        ShowOutcome(pc.notices, Outcome{c.failure});
        EXPECT_EQ(pc.trace.Lines(), c.boxes) << static_cast<int>(c.failure);
    }
}

// The address page's box says why on its second line where only the reason tells it: a
// missing entry or route, an internal error, and a lock on the PC's tables that was not had.
TEST(Messages, AnAssignmentsBoxSaysWhyWhereNothingElseWould) {
    const struct {
        Failure failure;
        Trace boxes;
    } cases[] = {
        {Failure::None, {L"msg 108"}},
        {Failure::NoAnswer, {L"msg 110"}},
        {Failure::RouteNotMade, {L"msg 110|why"}},
        {Failure::ArpEntryNotMade, {L"msg 110|why"}},
        {Failure::InternalError, {L"msg 110|why"}},
        {Failure::TablesUnavailable, {L"msg 110|why"}},
        {Failure::AddressInUse, {L"box why"}},
    };
    for (const auto& c : cases) {
        fakes::Pc pc;
        ShowAssignmentOutcome(pc.notices, Outcome{c.failure, L"why"});
        EXPECT_EQ(pc.trace.Lines(), c.boxes) << static_cast<int>(c.failure);
    }
}

} // namespace
