// The assignment sequence against the recording system: the steps in order, the crash
// record around them, and the outcome returned.
#include "core/setup.h"

#include <gtest/gtest.h>

#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::Addr;
using Trace = std::vector<std::wstring>;

constexpr wchar_t kArpDelete[] = L"sys arp.exe|-d 172.16.5.9";
constexpr wchar_t kArpAdd[] = L"sys arp.exe|-s 172.16.5.9 00-50-c2-11-8b-b8";
constexpr wchar_t kRouteAdd[] = L"sys route.exe|ADD 172.16.5.9 MASK 255.255.255.255 0.0.0.0";
constexpr wchar_t kRouteDelete[] = L"sys route.exe|DELETE 172.16.5.9 MASK 255.255.255.255";
const Trace kPrepared{L"icmp load", L"icmp create"};
const Trace kReleased{L"icmp close", L"icmp free"};
const Trace kFirstEcho{L"echo 172.16.5.9"};
const Trace kLaterEcho{L"pause 1000", L"echo 172.16.5.9"};

Trace Join(std::initializer_list<Trace> parts) {
    Trace all;
    for (const Trace& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

struct Path {
    const char* name;
    const char* localAddress; // the PC's first address; the unit is 172.16.5.9/24
    std::function<void(fakes::World&)> arrange;
    Trace trace; // between the record's writing and its clearing
    Failure failure;
};

void PrintTo(const Path& path, std::ostream* out) {
    *out << path.name;
}

class AssignmentPath : public ::testing::TestWithParam<Path> {};

TEST_P(AssignmentPath, RunsItsStepsInOrder) {
    fakes::Reset();
    fakes::world().localAddress = Addr(GetParam().localAddress);
    GetParam().arrange(fakes::world());
    fakes::RecordingSystem system;
    ::Setup setup(system, L"00:50:c2:11:8b:b8", Addr("172.16.5.9"), Addr("255.255.255.0"),
                  Addr("172.16.5.1"));
    const Outcome outcome = setup.Run();
    EXPECT_EQ(outcome.failure, GetParam().failure);
    // The record is written before the first change and cleared after the last.
    const bool route = GetParam().trace.size() > 0 && GetParam().trace[0] == kRouteAdd;
    Trace expected{route ? L"record 172.16.5.9 route" : L"record 172.16.5.9"};
    expected.insert(expected.end(), GetParam().trace.begin(), GetParam().trace.end());
    expected.push_back(L"record clear");
    EXPECT_EQ(fakes::world().trace, expected);
    EXPECT_FALSE(fakes::world().pending);
    for (const EchoPayload& payload : fakes::world().echoPayloads) {
        EXPECT_EQ(payload, (EchoPayload{0,    0,    0,   0,   0,   0, 0,   0,  0, 0,
                                        0x98, 0x76, 255, 255, 255, 0, 172, 16, 5, 1}));
    }
}

auto FailStartOf(const wchar_t* parameterPrefix) {
    return [parameterPrefix](fakes::World& w) {
        w.launchSucceeds = [parameterPrefix](const fakes::Launch& launch) {
            return launch.parameters.rfind(parameterPrefix, 0) != 0;
        };
    };
}

const EchoReply kSuccess{true, 0};

INSTANTIATE_TEST_SUITE_P(
    Paths, AssignmentPath,
    ::testing::Values(
        Path{"local_answered", "172.16.5.20", [](fakes::World& w) { w.echoReplies = {kSuccess}; },
             Join({{kArpDelete, kArpAdd}, kPrepared, kFirstEcho, {kArpDelete}, kReleased}),
             Failure::None},
        Path{"other_subnet_answered", "10.0.0.1",
             [](fakes::World& w) { w.echoReplies = {kSuccess}; },
             Join({{kRouteAdd, kArpDelete, kArpAdd},
                   kPrepared,
                   kFirstEcho,
                   {kArpDelete, kRouteDelete},
                   kReleased}),
             Failure::None},
        Path{"answered_on_third_attempt", "172.16.5.20",
             [](fakes::World& w) {
                 w.echoReplies = {EchoReply{}, EchoReply{true, 11003}, kSuccess};
             },
             Join({{kArpDelete, kArpAdd},
                   kPrepared,
                   kFirstEcho,
                   kLaterEcho,
                   kLaterEcho,
                   {kArpDelete},
                   kReleased}),
             Failure::None},
        Path{"not_answered_other_subnet", "10.0.0.1", [](fakes::World&) {},
             Join({{kRouteAdd, kArpDelete, kArpAdd},
                   kPrepared,
                   kFirstEcho,
                   kLaterEcho,
                   kLaterEcho,
                   {kArpDelete, kRouteDelete},
                   kReleased}),
             Failure::NoAnswer},
        Path{"icmp_library_missing", "10.0.0.1", [](fakes::World& w) { w.icmpLoads = false; },
             Trace{kRouteAdd, kArpDelete, kArpAdd, L"icmp load", kArpDelete, kRouteDelete},
             Failure::EchoLibraryMissing},
        Path{"icmp_handle_fails", "172.16.5.20",
             [](fakes::World& w) { w.icmpHandleCreates = false; },
             Join({{kArpDelete, kArpAdd}, kPrepared, {L"icmp free", kArpDelete}}),
             Failure::EchoHandleFailed},
        // The host route is removed again even though the ARP entry could not be made.
        Path{"arp_add_not_started_other_subnet", "10.0.0.1", FailStartOf(L"-s "),
             Trace{kRouteAdd, kArpDelete, kArpAdd, kRouteDelete}, Failure::ArpNotStarted},
        Path{"arp_add_not_started_local", "172.16.5.20", FailStartOf(L"-s "),
             Trace{kArpDelete, kArpAdd}, Failure::ArpNotStarted},
        // Nothing at all is started after a failed route add.
        Path{"route_add_not_started", "10.0.0.1", FailStartOf(L"ADD "), Trace{kRouteAdd},
             Failure::RouteNotStarted},
        // The deletes decide nothing: failing to start them changes no outcome.
        Path{"deletes_not_started", "10.0.0.1",
             [](fakes::World& w) {
                 w.echoReplies = {kSuccess};
                 w.launchSucceeds = [](const fakes::Launch& launch) {
                     return launch.parameters.rfind(L"-d ", 0) != 0 &&
                            launch.parameters.rfind(L"DELETE ", 0) != 0;
                 };
             },
             Join({{kRouteAdd, kArpDelete, kArpAdd},
                   kPrepared,
                   kFirstEcho,
                   {kArpDelete, kRouteDelete},
                   kReleased}),
             Failure::None},
        // Without any local address the unit is treated as off-subnet: a host route.
        Path{"no_local_address", "0.0.0.0",
             [](fakes::World& w) {
                 w.localAddress.reset();
                 w.echoReplies = {kSuccess};
             },
             Join({{kRouteAdd, kArpDelete, kArpAdd},
                   kPrepared,
                   kFirstEcho,
                   {kArpDelete, kRouteDelete},
                   kReleased}),
             Failure::None}),
    [](const ::testing::TestParamInfo<Path>& info) { return std::string(info.param.name); });

class Assignment : public ::testing::Test {
protected:
    void SetUp() override {
        fakes::Reset();
        fakes::world().localAddress = Addr("10.0.0.1");
    }
    Outcome Run(std::stop_token stop = {}) {
        return ::Setup(system, L"00:50:c2:11:8b:b8", Addr("172.16.5.9"), Addr("255.255.255.0"),
                       Addr("172.16.5.1"))
            .Run(stop);
    }
    fakes::RecordingSystem system;
};

TEST_F(Assignment, AFailureSaysWhy) {
    fakes::world().echoReplies = {EchoReply{true, 11003}};
    Outcome outcome = Run();
    EXPECT_EQ(outcome.code, 11003u); // the last error status, no reply after it
    EXPECT_EQ(outcome.detail, L"Ping: Destination host unreachable");

    fakes::Reset();
    fakes::world().localAddress = Addr("10.0.0.1");
    FailStartOf(L"ADD ")(fakes::world());
    outcome = Run();
    EXPECT_EQ(outcome.detail, L"The specified file was not found.");
}

TEST_F(Assignment, AStopSkipsTheEchoesNotYetSentButNeverTheCleanUp) {
    std::stop_source source;
    fakes::world().onEcho = [&] { source.request_stop(); };
    EXPECT_EQ(Run(source.get_token()).failure, Failure::NoAnswer);
    EXPECT_EQ(fakes::world().trace,
              Join({{L"record 172.16.5.9 route", kRouteAdd, kArpDelete, kArpAdd},
                    kPrepared,
                    kFirstEcho,
                    {kArpDelete, kRouteDelete},
                    kReleased,
                    {L"record clear"}}));
}

TEST_F(Assignment, ARecordLeftByAKilledRunIsUndoneAtStart) {
    const struct {
        std::optional<PendingChange> pending;
        Trace trace;
    } cases[] = {
        {std::nullopt, {}},
        {PendingChange{Addr("172.16.5.9"), true}, {kArpDelete, kRouteDelete, L"record clear"}},
        {PendingChange{Addr("172.16.5.9"), false}, {kArpDelete, L"record clear"}},
    };
    for (const auto& c : cases) {
        fakes::Reset();
        fakes::world().pending = c.pending;
        UndoPendingChange(system);
        EXPECT_EQ(fakes::world().trace, c.trace);
        EXPECT_FALSE(fakes::world().pending);
    }
}

TEST(DashForm, TurnsEveryColonIntoADash) {
    EXPECT_EQ(Setup::DashForm(L"00:50:c2:11:8b:b8"), L"00-50-c2-11-8b-b8");
    EXPECT_EQ(Setup::DashForm(L"Ogiltig"), L"Ogiltig");
    EXPECT_EQ(Setup::DashForm(L"::"), L"--");
}

} // namespace
