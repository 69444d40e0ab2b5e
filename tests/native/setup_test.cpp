#include "unit/setup.h"

#include <gtest/gtest.h>

#include "tests/fakes/fakes.h"
#include "tests/support.h"

namespace {

using testing_support::Addr;
using Trace = std::vector<std::wstring>;

constexpr wchar_t kArpDelete[] = L"sys arp.exe|-d 172.16.5.9";
constexpr wchar_t kArpAdd[] = L"sys arp.exe|-s 172.16.5.9 00-50-c2-11-8b-b8";
constexpr wchar_t kRouteAdd[] = L"sys route.exe|ADD 172.16.5.9 MASK 255.255.255.255 0.0.0.0";
constexpr wchar_t kRouteDelete[] = L"sys route.exe|DELETE 172.16.5.9";
const Trace kPrepared{L"icmp load", L"icmp create"};
const Trace kReleased{L"icmp close", L"icmp free"};
const Trace kFirstEcho{L"dispatch", L"echo 172.16.5.9"};
const Trace kLaterEcho{L"dispatch", L"pause 1000", L"echo 172.16.5.9"};

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
    Trace trace;
};

void PrintTo(const Path& path, std::ostream* out) { *out << path.name; }

class AssignmentPath : public ::testing::TestWithParam<Path> {};

TEST_P(AssignmentPath, RunsItsStepsInOrder) {
    fakes::Reset();
    fakes::world().localAddress = Addr(GetParam().localAddress);
    GetParam().arrange(fakes::world());
    ::Setup setup(L"00:50:c2:11:8b:b8", Addr("172.16.5.9"), Addr("255.255.255.0"),
                  Addr("172.16.5.1"));
    setup.Run();
    EXPECT_EQ(fakes::world().trace, GetParam().trace);
    for (const icmp::Payload& payload : fakes::world().echoPayloads) {
        EXPECT_EQ(payload, (icmp::Payload{0,    0,    0,   0,   0,   0, 0,   0,  0, 0,
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

const icmp::Reply kSuccess{true, 0};

INSTANTIATE_TEST_SUITE_P(
    Paths, AssignmentPath,
    ::testing::Values(
        Path{"local_answered", "172.16.5.20",
             [](fakes::World& w) { w.echoReplies = {kSuccess}; },
             Join({{L"cursor wait", kArpDelete, kArpAdd},
                   kPrepared,
                   kFirstEcho,
                   {kArpDelete},
                   kReleased,
                   {L"msg 108", L"cursor normal"}})},
        Path{"other_subnet_answered", "10.0.0.1",
             [](fakes::World& w) { w.echoReplies = {kSuccess}; },
             Join({{L"cursor wait", kRouteAdd, kArpDelete, kArpAdd},
                   kPrepared,
                   kFirstEcho,
                   {kArpDelete, kRouteDelete},
                   kReleased,
                   {L"msg 108", L"cursor normal"}})},
        Path{"answered_on_third_attempt", "172.16.5.20",
             [](fakes::World& w) {
                 w.echoReplies = {icmp::Reply{}, icmp::Reply{true, 11003}, kSuccess};
             },
             Join({{L"cursor wait", kArpDelete, kArpAdd},
                   kPrepared,
                   kFirstEcho,
                   kLaterEcho,
                   kLaterEcho,
                   {kArpDelete},
                   kReleased,
                   {L"msg 108", L"cursor normal"}})},
        Path{"not_answered_other_subnet", "10.0.0.1", [](fakes::World&) {},
             Join({{L"cursor wait", kRouteAdd, kArpDelete, kArpAdd},
                   kPrepared,
                   kFirstEcho,
                   kLaterEcho,
                   kLaterEcho,
                   {kArpDelete, kRouteDelete},
                   kReleased,
                   {L"msg 110", L"cursor normal"}})},
        Path{"icmp_library_missing", "10.0.0.1", [](fakes::World& w) { w.icmpLoads = false; },
             Join({{L"cursor wait", kRouteAdd, kArpDelete, kArpAdd, L"icmp load", L"msg 111",
                    kArpDelete, kRouteDelete, L"msg 110", L"cursor normal"}})},
        Path{"icmp_handle_fails", "172.16.5.20",
             [](fakes::World& w) { w.icmpHandleCreates = false; },
             Join({{L"cursor wait", kArpDelete, kArpAdd},
                   kPrepared,
                   {L"icmp free", L"msg 109", kArpDelete, L"msg 110", L"cursor normal"}})},
        // The host route is removed again even though the ARP entry could not be made.
        Path{"arp_add_not_started_other_subnet", "10.0.0.1", FailStartOf(L"-s "),
             Trace{L"cursor wait", kRouteAdd, kArpDelete, kArpAdd, kRouteDelete, L"msg 110",
                   L"cursor normal"}},
        Path{"arp_add_not_started_local", "172.16.5.20", FailStartOf(L"-s "),
             Trace{L"cursor wait", kArpDelete, kArpAdd, L"msg 110", L"cursor normal"}},
        // Nothing at all is started after a failed route add.
        Path{"route_add_not_started", "10.0.0.1", FailStartOf(L"ADD "),
             Trace{L"cursor wait", kRouteAdd, L"msg 110", L"cursor normal"}},
        // The deletes decide nothing: failing to start them changes no outcome.
        Path{"deletes_not_started", "10.0.0.1",
             [](fakes::World& w) {
                 w.echoReplies = {kSuccess};
                 w.launchSucceeds = [](const fakes::Launch& launch) {
                     return launch.parameters.rfind(L"-d ", 0) != 0 &&
                            launch.parameters.rfind(L"DELETE ", 0) != 0;
                 };
             },
             Join({{L"cursor wait", kRouteAdd, kArpDelete, kArpAdd},
                   kPrepared,
                   kFirstEcho,
                   {kArpDelete, kRouteDelete},
                   kReleased,
                   {L"msg 108", L"cursor normal"}})},
        // Without any local address the unit is treated as off-subnet: a host route.
        Path{"no_local_address", "0.0.0.0",
             [](fakes::World& w) {
                 w.localAddress.reset();
                 w.echoReplies = {kSuccess};
             },
             Join({{L"cursor wait", kRouteAdd, kArpDelete, kArpAdd},
                   kPrepared,
                   kFirstEcho,
                   {kArpDelete, kRouteDelete},
                   kReleased,
                   {L"msg 108", L"cursor normal"}})}),
    [](const ::testing::TestParamInfo<Path>& info) { return std::string(info.param.name); });

TEST(DashForm, TurnsEveryColonIntoADash) {
    EXPECT_EQ(Setup::DashForm(L"00:50:c2:11:8b:b8"), L"00-50-c2-11-8b-b8");
    EXPECT_EQ(Setup::DashForm(L"Ogiltig"), L"Ogiltig");
    EXPECT_EQ(Setup::DashForm(L"::"), L"--");
}

} // namespace
