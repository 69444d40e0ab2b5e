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
// The tables read back after each change.
constexpr wchar_t kEntryCheck[] = L"has entry 172.16.5.9 00-50-c2-11-8b-b8 on 0";
constexpr wchar_t kRouteCheck[] = L"has route 172.16.5.9 on 0";
const Trace kPrepared{L"icmp load", L"icmp create"};
const Trace kReleased{L"icmp close", L"icmp free"};
const Trace kFirstEcho{L"echo 172.16.5.9"};
const Trace kLaterEcho{L"pause 1000", L"echo 172.16.5.9"};
// Asking the segment who holds the address: nobody does here.
const Trace kProbe{L"icmp load",  L"icmp create", L"echo 172.16.5.9 wait 1000",
                   L"icmp close", L"icmp free",   L"neighbour 172.16.5.9 on 0"};

Trace Join(std::initializer_list<Trace> parts) {
    Trace all;
    for (const Trace& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

struct Path {
    const char* name;
    bool hostRoute; // the unit, 172.16.5.9/24, is off the PC's subnets
    std::function<void(fakes::Pc&)> arrange;
    Trace trace; // between the record's writing and its clearing
    Failure failure;
    bool keptOnRecord = false; // the clean-up was not seen to take effect
};

void PrintTo(const Path& path, std::ostream* out) {
    *out << path.name;
}

class AssignmentPath : public ::testing::TestWithParam<Path> {};

TEST_P(AssignmentPath, RunsItsStepsInOrder) {
    fakes::Pc pc;
    GetParam().arrange(pc);
    UnitPath path; // no adapter: the command texts without interface arguments
    path.hostRoute = GetParam().hostRoute;
    ::Setup setup(pc.Assignment(), L"00:50:c2:11:8b:b8", Addr("172.16.5.9"), Addr("255.255.255.0"),
                  Addr("172.16.5.1"), path);
    const Outcome outcome = setup.Run();
    EXPECT_EQ(outcome.failure, GetParam().failure);
    // The record is written before the first change and cleared after the last.
    const bool route = GetParam().trace.size() > 0 && GetParam().trace[0] == kRouteAdd;
    Trace expected{route ? L"record 172.16.5.9 route" : L"record 172.16.5.9"};
    expected.insert(expected.end(), GetParam().trace.begin(), GetParam().trace.end());
    if (!GetParam().keptOnRecord) {
        expected.push_back(L"record clear");
    }
    EXPECT_EQ(pc.trace.Lines(), expected);
    EXPECT_EQ(pc.changes.pending.empty(), !GetParam().keptOnRecord);
    for (const EchoPayload& payload : pc.echoes.payloads) {
        EXPECT_EQ(payload, (EchoPayload{0,    0,    0,   0,   0,   0, 0,   0,  0, 0,
                                        0x98, 0x76, 255, 255, 255, 0, 172, 16, 5, 1}));
    }
}

auto FailStartOf(const wchar_t* parameterPrefix) {
    return [parameterPrefix](fakes::Pc& w) {
        w.tables.starts = [parameterPrefix](const std::wstring& parameters) {
            return parameters.rfind(parameterPrefix, 0) != 0;
        };
    };
}

auto EndLateThe(const wchar_t* parameterPrefix) {
    return [parameterPrefix](fakes::Pc& w) {
        w.echoes.replies = {EchoReply{true, 0}};
        w.tables.runsTooLong = [parameterPrefix](const std::wstring& parameters) {
            return parameters.rfind(parameterPrefix, 0) == 0;
        };
    };
}

auto IgnoreThe(const wchar_t* parameterPrefix) {
    return [parameterPrefix](fakes::Pc& w) {
        w.echoes.replies = {EchoReply{true, 0}};
        w.tables.ignores = [parameterPrefix](const std::wstring& parameters) {
            return parameters.rfind(parameterPrefix, 0) == 0;
        };
    };
}

const EchoReply kSuccess{true, 0};

INSTANTIATE_TEST_SUITE_P(
    Paths, AssignmentPath,
    ::testing::Values(
        Path{
            "local_answered", false, [](fakes::Pc& w) { w.echoes.replies = {kSuccess}; },
            Join({{kArpDelete}, kProbe, {kArpAdd, kEntryCheck}, kPrepared, kFirstEcho, {kArpDelete, kEntryCheck},
                  kReleased}),
            Failure::None},
        Path{"other_subnet_answered", true, [](fakes::Pc& w) { w.echoes.replies = {kSuccess}; },
             Join({{kRouteAdd, kRouteCheck, kArpDelete},
                   kProbe,
                   {kArpAdd, kEntryCheck},
                   kPrepared,
                   kFirstEcho,
                   {kArpDelete, kEntryCheck, kRouteDelete, kRouteCheck},
                   kReleased}),
             Failure::None},
        Path{"answered_on_third_attempt", false,
             [](fakes::Pc& w) {
                 w.echoes.replies = {EchoReply{}, EchoReply{true, 11003}, kSuccess};
             },
             Join({{kArpDelete},
                   kProbe,
                   {kArpAdd, kEntryCheck},
                   kPrepared,
                   kFirstEcho,
                   kLaterEcho,
                   kLaterEcho,
                   {kArpDelete, kEntryCheck},
                   kReleased}),
             Failure::None},
        Path{"not_answered_other_subnet", true, [](fakes::Pc&) {},
             Join({{kRouteAdd, kRouteCheck, kArpDelete},
                   kProbe,
                   {kArpAdd, kEntryCheck},
                   kPrepared,
                   kFirstEcho,
                   kLaterEcho,
                   kLaterEcho,
                   {kArpDelete, kEntryCheck, kRouteDelete, kRouteCheck},
                   kReleased}),
             Failure::NoAnswer},
        Path{"icmp_library_missing", true, [](fakes::Pc& w) { w.echoes.loads = false; },
             Trace{kRouteAdd, kRouteCheck, kArpDelete, L"icmp load", kArpAdd, kEntryCheck,
                   L"icmp load", kArpDelete, kEntryCheck, kRouteDelete, kRouteCheck},
             Failure::EchoLibraryMissing},
        Path{"icmp_handle_fails", false, [](fakes::Pc& w) { w.echoes.handleCreates = false; },
             Join({{kArpDelete},
                   kPrepared,
                   {L"icmp free", kArpAdd, kEntryCheck},
                   kPrepared,
                   {L"icmp free", kArpDelete, kEntryCheck}}),
             Failure::EchoHandleFailed},
        // The host route is removed again even though the ARP entry could not be made.
        Path{"arp_add_not_started_other_subnet", true, FailStartOf(L"-s "),
             Join({{kRouteAdd, kRouteCheck, kArpDelete}, kProbe, {kArpAdd, kRouteDelete, kRouteCheck}}),
             Failure::ArpNotStarted},
        Path{"arp_add_not_started_local", false, FailStartOf(L"-s "),
             Join({{kArpDelete}, kProbe, {kArpAdd}}), Failure::ArpNotStarted},
        // Started, but the table shows nothing made (access denied, an adapter that takes no
        // static entries): the step fails, and what was made goes again.
        Path{"route_not_made", true, IgnoreThe(L"ADD "), Trace{kRouteAdd, kRouteCheck, kRouteDelete, kRouteCheck},
             Failure::RouteNotMade},
        Path{"arp_entry_not_made_other_subnet", true, IgnoreThe(L"-s "),
             Join({{kRouteAdd, kRouteCheck, kArpDelete},
                   kProbe,
                   {kArpAdd, kEntryCheck, kArpDelete, kEntryCheck, kRouteDelete, kRouteCheck}}),
             Failure::ArpEntryNotMade},
        // One that ran past its 10 s was ended, and fails its step whatever it did: its
        // change is removed again.
        Path{"route_add_ended_late", true, EndLateThe(L"ADD "), Trace{kRouteAdd, kRouteDelete, kRouteCheck},
             Failure::RouteNotMade},
        Path{"arp_add_ended_late", false, EndLateThe(L"-s "),
             Join({{kArpDelete}, kProbe, {kArpAdd, kArpDelete, kEntryCheck}}), Failure::ArpEntryNotMade},
        // Nothing at all is started after a failed route add.
        Path{"route_add_not_started", true, FailStartOf(L"ADD "), Trace{kRouteAdd},
             Failure::RouteNotStarted},
        // The deletes decide no outcome, but are read back: each is tried again, and what
        // is still there stays on record for the next start to remove.
        Path{"deletes_not_started", true,
             [](fakes::Pc& w) {
                 w.echoes.replies = {kSuccess};
                 w.tables.starts = [](const std::wstring& parameters) {
                     return parameters.rfind(L"-d ", 0) != 0 &&
                            parameters.rfind(L"DELETE ", 0) != 0;
                 };
             },
             Join({{kRouteAdd, kRouteCheck, kArpDelete},
                   kProbe,
                   {kArpAdd, kEntryCheck},
                   kPrepared,
                   kFirstEcho,
                   {kArpDelete, kEntryCheck, kArpDelete, kEntryCheck},
                   {kRouteDelete, kRouteCheck, kRouteDelete, kRouteCheck},
                   kReleased}),
             Failure::None, true}),
    [](const ::testing::TestParamInfo<Path>& info) { return std::string(info.param.name); });

class Assignment : public ::testing::Test {
protected:
    static Outcome Run(fakes::Pc& pc, std::stop_token stop = {}, UnitPath path = {}) {
        return ::Setup(pc.Assignment(), L"00:50:c2:11:8b:b8", Addr("172.16.5.9"),
                       Addr("255.255.255.0"), Addr("172.16.5.1"), path)
            .Run(stop);
    }
    fakes::Pc pc;
};

TEST_F(Assignment, AFailureSaysWhy) {
    pc.echoes.replies = {EchoReply{true, 11003}};
    Outcome outcome = Run(pc);
    EXPECT_EQ(outcome.code, 11003u); // the last error status, no reply after it
    EXPECT_EQ(outcome.detail, L"Ping: Destination host unreachable");

    fakes::Pc routeFails;
    FailStartOf(L"ADD ")(routeFails);
    outcome = Run(routeFails);
    EXPECT_EQ(outcome.detail, L"The specified file was not found.");

    // A program that ran without changing anything: which entry is missing, in its words.
    fakes::Pc entryRefused;
    IgnoreThe(L"-s ")(entryRefused);
    entryRefused.tables.ignoredOutput = L"The ARP entry addition failed: Access is denied.";
    outcome = Run(entryRefused);
    EXPECT_EQ(outcome.detail, L"The static ARP entry for 172.16.5.9 (00-50-c2-11-8b-b8) was not "
                              L"made (arp.exe: The ARP entry addition failed: Access is denied.).");
    fakes::Pc routeIgnored;
    IgnoreThe(L"ADD ")(routeIgnored);
    EXPECT_EQ(Run(routeIgnored).detail, L"The host route to 172.16.5.9 was not made.");
    EXPECT_TRUE(routeIgnored.tables.hostRoutes.empty());
}

// A stop during an echo gives that echo up at once (a closing console leaves 5 s, an echo to
// nobody waits as long), skips the rest, and never the clean-up.
TEST_F(Assignment, AStopGivesUpTheEchoUnderWayAndSkipsTheRestButNeverTheCleanUp) {
    std::stop_source source;
    pc.echoes.onEcho = [&] { source.request_stop(); };
    EXPECT_EQ(Run(pc, source.get_token()).failure, Failure::NoAnswer);
    EXPECT_EQ(pc.trace.Lines(),
              Join({{L"record 172.16.5.9 route", kRouteAdd, kRouteCheck, kArpDelete},
                    kProbe,
                    {kArpAdd, kEntryCheck},
                    kPrepared,
                    kFirstEcho,
                    {L"echo given up", kArpDelete, kEntryCheck, kRouteDelete, kRouteCheck},
                    kReleased,
                    {L"record clear"}}));
}

// What a killed run left is undone at the next start, and only what Varnok makes: a
// static entry with a unit's MAC, a host route on the link. Another program's entry or
// route at that address stays; a record while another Varnok holds the lock is that one's
// change under way.
TEST(UndoAtStart, OnlyVarnoksOwnKindOfEntryAndRouteGo) {
    const PendingChange withRoute{Addr("172.16.5.9"), true};
    const wchar_t* const kUnitMac = L"00-50-c2-11-8b-b8";
    const wchar_t* const kVpnMac = L"00-aa-bb-cc-dd-ee";
    const wchar_t* const kLookEntry = L"static entry 172.16.5.9";
    // After the removal, the tables are read back: the record goes only once they show
    // nothing of the change left.
    const Trace kReadBack{kLookEntry, kRouteCheck};
    const Trace kClear{L"record clear"};
    const struct {
        const char* name;
        std::vector<PendingChange> pending;
        const wchar_t* entryMac; // a permanent entry there, with this MAC
        bool route;              // an on-link host route there
        std::function<void(fakes::Pc&)> arrange;
        Trace trace;
        bool kept; // the record stays for the next start
    } cases[] = {
        {"nothing on record", {}, nullptr, false, {}, {}, false},
        {"entry and route",
         {withRoute},
         kUnitMac,
         true,
         {},
         Join({{kLookEntry, kArpDelete, kRouteCheck, kRouteDelete}, kReadBack, kClear}),
         false},
        {"entry only",
         {PendingChange{Addr("172.16.5.9"), false}},
         kUnitMac,
         false,
         {},
         Join({{kLookEntry, kArpDelete, kLookEntry}, kClear}),
         false},
        {"another program's entry, a route that is gone",
         {withRoute},
         kVpnMac,
         false,
         {},
         Join({{kLookEntry, kRouteCheck}, kReadBack, kClear}),
         false},
        {"another Varnok's change under way",
         {withRoute},
         kUnitMac,
         true,
         [](fakes::Pc& pc) { pc.lock.lockedElsewhere = true; },
         {},
         true},
        {"an entry that stays (arp.exe changing nothing)",
         {withRoute},
         kUnitMac,
         false,
         [](fakes::Pc& pc) {
             pc.tables.ignores = [](const std::wstring& parameters) {
                 return parameters.rfind(L"-d ", 0) == 0;
             };
         },
         Join({{kLookEntry, kArpDelete, kRouteCheck}, kReadBack}),
         true},
        {"tables that cannot be read",
         {withRoute},
         kUnitMac,
         true,
         [](fakes::Pc& pc) { pc.tables.unreadable = true; },
         Join({{kLookEntry, kRouteCheck}, kReadBack}),
         true},
        // A record that names no unit's address (anybody's programs could once write
        // one) touches none of Windows' own routes: forgotten.
        {"the PC's own address",
         {PendingChange{Addr("172.16.5.1"), true}},
         nullptr,
         false,
         [](fakes::Pc& pc) {
             pc.tables.ownAddresses = {Addr("172.16.5.1")};
             pc.tables.hostRoutes.insert(L"172.16.5.1");
         },
         kClear,
         false},
        {"its subnet's broadcast",
         {PendingChange{Addr("172.16.5.255"), true}},
         nullptr,
         false,
         [](fakes::Pc& pc) {
             pc.tables.adapters = {
                 {L"e", L"Ethernet", 4, {{Addr("172.16.5.1"), Addr("255.255.255.0")}}}};
             pc.tables.hostRoutes.insert(L"172.16.5.255");
         },
         kClear,
         false},
        {"255.255.255.255",
         {PendingChange{Addr("255.255.255.255"), true}},
         nullptr,
         false,
         {},
         kClear,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Pc pc;
        pc.changes.pending = c.pending;
        if (c.entryMac) {
            pc.tables.staticEntries[L"172.16.5.9"] = c.entryMac;
        }
        if (c.route) {
            pc.tables.hostRoutes.insert(L"172.16.5.9");
        }
        if (c.arrange) {
            c.arrange(pc);
        }
        UndoPendingChange(pc.tables, pc.changes, pc.lock, pc.log);
        EXPECT_EQ(pc.trace.Lines(), c.trace);
        EXPECT_EQ(pc.changes.pending.empty(), !c.kept);
    }
}

// The lock on the tables, when another sequence holds it: the run waits and is told so,
// and when it cannot have it (another Varnok for too long, a program that is not Varnok's,
// a name the system refuses, or a stop), nothing is changed and it says why.
TEST(TablesLockWait, NothingChangesWithoutTheLock) {
    using Refusal = TablesLock::Acquisition::Refusal;
    const struct {
        Refusal elsewhere;
        bool stop;
        Failure failure;
    } cases[] = {
        {Refusal::None, false, Failure::NoAnswer}, // had after the wait: the run goes on
        {Refusal::Busy, false, Failure::TablesUnavailable},
        {Refusal::Foreign, false, Failure::TablesUnavailable},
        {Refusal::Unavailable, false, Failure::TablesUnavailable},
        {Refusal::None, true, Failure::Interrupted},
    };
    for (const auto& c : cases) {
        fakes::Pc pc;
        pc.lock.lockedElsewhere = true;
        pc.lock.elsewhere = c.elsewhere;
        int told = 0;
        AssignmentRoles roles = pc.Assignment();
        roles.waitingForTables = [&told] { ++told; };
        std::stop_source source;
        if (c.stop) {
            source.request_stop();
        }
        const Outcome outcome = ::Setup(roles, L"00:50:c2:11:8b:b8", Addr("172.16.5.9"),
                                        Addr("255.255.255.0"), Addr("0.0.0.0"), {})
                                    .Run(source.get_token());
        EXPECT_EQ(outcome.failure, c.failure);
        EXPECT_EQ(told, 1);
        if (c.failure != Failure::NoAnswer) {
            EXPECT_EQ(pc.trace.Lines(), Trace{L"lock waits"}); // nothing else
            EXPECT_FALSE(outcome.detail.empty());
        }
    }
}

// On a laptop every step names the unit's adapter, and the segment is asked who holds
// the address before anything binds it.
TEST_F(Assignment, BindsEveryStepToTheAdapterAndStopsForAnotherHolder) {
    const Adapter wired{L"{wired}", L"Ethernet", 5, {{Addr("10.0.0.1"), Addr("255.0.0.0")}}};
    const struct {
        const char* name;
        const wchar_t* holder; // the MAC the neighbour table shows, if any
        Failure failure;
        Trace trace;
    } cases[] = {
        {"nobody holds it",
         nullptr,
         Failure::None,
         {L"sys route.exe|ADD 172.16.5.9 MASK 255.255.255.255 0.0.0.0 IF 5",
          L"has route 172.16.5.9 on 5",
          L"sys arp.exe|-d 172.16.5.9 10.0.0.1",
          L"icmp load from 10.0.0.1",
          L"icmp create",
          L"echo 172.16.5.9 wait 1000",
          L"icmp close",
          L"icmp free",
          L"neighbour 172.16.5.9 on 5",
          L"sys arp.exe|-s 172.16.5.9 00-50-c2-11-8b-b8 10.0.0.1",
          L"has entry 172.16.5.9 00-50-c2-11-8b-b8 on 5",
          L"icmp load from 10.0.0.1",
          L"icmp create",
          L"echo 172.16.5.9",
          L"sys arp.exe|-d 172.16.5.9 10.0.0.1",
          L"has entry 172.16.5.9 00-50-c2-11-8b-b8 on 5",
          kRouteDelete,
          L"has route 172.16.5.9 on 5",
          L"icmp close",
          L"icmp free"}},
        // Re-addressing the same unit: its own MAC answers (in whatever case).
        {"the unit holds it", L"00-50-C2-11-8B-B8", Failure::None, {}},
        {"a PLC holds it",
         L"02-aa-bb-cc-dd-ee",
         Failure::AddressInUse,
         {L"sys route.exe|ADD 172.16.5.9 MASK 255.255.255.255 0.0.0.0 IF 5",
          L"has route 172.16.5.9 on 5", L"sys arp.exe|-d 172.16.5.9 10.0.0.1",
          L"icmp load from 10.0.0.1", L"icmp create", L"echo 172.16.5.9 wait 1000", L"icmp close",
          L"icmp free", L"neighbour 172.16.5.9 on 5", kRouteDelete, L"has route 172.16.5.9 on 5"}},
    };
    for (const auto& c : cases) {
        fakes::Pc each;
        each.echoes.replies = {kSuccess};
        if (c.holder) {
            each.tables.neighbours[L"172.16.5.9"] = c.holder;
        }
        const Outcome outcome = Run(each, {}, PathThrough(wired, Addr("172.16.5.9")));
        EXPECT_EQ(outcome.failure, c.failure) << c.name;
        Trace trace = each.trace.Lines();
        trace.erase(trace.begin()); // the record's writing
        trace.pop_back();           // and its clearing
        if (!c.trace.empty()) {
            EXPECT_EQ(trace, c.trace) << c.name;
        }
        if (c.failure == Failure::AddressInUse) {
            EXPECT_EQ(outcome.detail, L"The address 172.16.5.9 is already in use by the device "
                                      L"with MAC 02-aa-bb-cc-dd-ee.");
            EXPECT_TRUE(each.echoes.payloads.empty()); // no configuration was sent
        }
    }
}

TEST(DashForm, TurnsEveryColonIntoADash) {
    EXPECT_EQ(Setup::DashForm(L"00:50:c2:11:8b:b8"), L"00-50-c2-11-8b-b8");
    EXPECT_EQ(Setup::DashForm(L"Ogiltig"), L"Ogiltig");
    EXPECT_EQ(Setup::DashForm(L"::"), L"--");
}

} // namespace
