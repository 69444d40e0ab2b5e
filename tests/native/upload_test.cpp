#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

#include "core/address_check.h"
#include "core/command.h"
#include "core/commissioning.h"
#include "core/firewall.h"
#include "core/kept_values.h"
#include "core/log.h"
#include "core/ticks.h"
#include "core/upload.h"
#include "tests/fakes/fakes.h"
#include "tests/support.h"

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
        EXPECT_EQ(PutParameters(Addr("10.0.0.5"), c.path), c.parameters);
    }
}

// The unit's time to write an image: 30 s for firmware, 15 s for web pages, the update
// page's bar a step a second, over once the last second has passed.
TEST(FixedWait, FirmwareThirtySecondsWebPagesFifteenAStepASecond) {
    const struct {
        ImageKind kind;
        unsigned seconds;
    } cases[] = {{ImageKind::Firmware, 30}, {ImageKind::WebPages, 15}};
    for (const auto& c : cases) {
        const unsigned ticks = FixedWaitTicks(c.kind);
        EXPECT_EQ(ticks, c.seconds);
        const UploadDeadline deadline(5000, ticks * 1000);
        for (unsigned second = 0; second < ticks; ++second) {
            EXPECT_EQ(deadline.StepsPassed(5000 + second * 1000, ticks), second);
            EXPECT_FALSE(deadline.Over(5000 + second * 1000 + 999));
        }
        EXPECT_TRUE(deadline.Over(5000 + ticks * 1000));
    }
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
        EXPECT_EQ(ParseCommand(c.arguments).debug, c.debug) << testing::PrintToString(c.arguments);
    }
}

} // namespace

namespace {

struct UploadCase {
    const char* name;
    std::function<void(fakes::Pc&)> arrange;
    Failure failure;
    std::vector<std::wstring> traceAfterPing; // after the echo channel is released
    bool answered;
};

TEST(Upload, OutcomeFollowsThePingAndTheClientsEnd) {
    const std::wstring start = LR"(start C:\work\tftp.exe|-i 10.0.0.5 PUT C:\fw\unit.bin)";
    const UploadCase cases[] = {
        {"exit 0", [](fakes::Pc&) {}, Failure::None, {start}, true},
        {"exit 1",
         [](fakes::Pc& w) { w.client.exitCode = 1ul; },
         Failure::ClientFailed,
         {start},
         true},
        {"never ends",
         [](fakes::Pc& w) { w.client.exitCode.reset(); },
         Failure::ClientTimedOut,
         {start, L"client ended"},
         true},
        {"not started",
         [](fakes::Pc& w) { w.client.starts = false; },
         Failure::ClientNotStarted,
         {start},
         true},
        {"no answer", [](fakes::Pc& w) { w.echoes.replies.clear(); }, Failure::NoAnswer, {}, false},
        {"no ICMP.DLL",
         [](fakes::Pc& w) { w.echoes.loads = false; },
         Failure::EchoLibraryMissing,
         {},
         false},
    };
    for (const UploadCase& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Pc pc;
        pc.echoes.replies = {EchoReply{true, 0}};
        pc.client.lastLine = L"Error code 2: Access violation";
        c.arrange(pc);
        bool answered = false;
        const Outcome outcome = RunUpload(pc.Upload(),
                                          {Addr("10.0.0.5"),
                                           Addr("255.255.255.0"),
                                           Addr("10.0.0.1"),
                                           LR"(C:\fw\unit.bin)",
                                           30000,
                                           {}},
                                          [&] {
                                              answered = true;
                                              pc.trace.Record(L"answered");
                                          });
        EXPECT_EQ(outcome.failure, c.failure);
        EXPECT_EQ(answered, c.answered);
        std::vector<std::wstring> trace = pc.trace.Lines();
        const auto released = std::find(trace.begin(), trace.end(), L"answered");
        trace.erase(trace.begin(), released == trace.end() ? trace.end() : released + 1);
        EXPECT_EQ(trace, c.traceAfterPing);
        if (c.failure == Failure::ClientFailed) {
            EXPECT_EQ(outcome.code, 1u);
            EXPECT_EQ(outcome.detail, L"Error code 2: Access violation");
        }
    }
}

// The client's firewall rule before each upload: made once, put right when it differs,
// and a firewall that refuses never stops the upload.
TEST(Upload, MakesTheClientsFirewallRuleAndHintsWhenItCannot) {
    const FirewallRule wanted{LR"(C:\work\tftp.exe)", true, true, true, true};
    FirewallRule elsewhere = wanted;
    elsewhere.program = LR"(D:\old\tftp.exe)";
    FirewallRule disabled = wanted;
    disabled.enabled = false;
    FirewallRule fromAnywhere = wanted; // as an earlier version made it
    fromAnywhere.localSubnetOnly = false;
    const struct {
        const char* name;
        std::optional<FirewallRule> before;
        bool accepts;
        bool puts;
        const wchar_t* reason; // of a client that never heard from the server
    } cases[] = {
        {"no rule yet", std::nullopt, true, true, L"Timeout: no answer from host"},
        {"rule in place", wanted, true, false, L"Timeout: no answer from host"},
        {"older path", elsewhere, true, true, L"Timeout: no answer from host"},
        {"disabled by someone", disabled, true, true, L"Timeout: no answer from host"},
        {"from any address", fromAnywhere, true, true, L"Timeout: no answer from host"},
        {"firewall refuses", std::nullopt, false, true,
         L"Timeout: no answer from host\nA firewall may be blocking the TFTP server's reply to "
         LR"(C:\work\tftp.exe.)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Pc pc;
        pc.firewall.rule = c.before;
        pc.firewall.accepts = c.accepts;
        pc.echoes.replies = {EchoReply{true, 0}};
        pc.client.exitCode = 1ul;
        pc.client.lastLine = L"Timeout: no answer from host";
        const Outcome outcome = RunUpload(
            pc.Upload(),
            {Addr("10.0.0.5"), Addr("255.255.255.0"), Addr("10.0.0.1"), L"a.bin", 0, {}}, {});
        const std::vector<std::wstring> trace = pc.trace.Lines();
        EXPECT_EQ(std::count(trace.begin(), trace.end(),
                             LR"(firewall put Varnok TFTP client|C:\work\tftp.exe)"),
                  c.puts ? 1 : 0);
        EXPECT_EQ(outcome.failure, Failure::ClientFailed); // the upload itself still ran
        EXPECT_EQ(outcome.detail, c.reason);
        if (c.accepts) {
            EXPECT_EQ(pc.firewall.rule, wanted);
        }
    }
    // Other failures are the client's own: no hint.
    EXPECT_EQ(WithFirewallHint(L"Error code 2: Access violation", L"C:\\t.exe"),
              L"Error code 2: Access violation");
}

TEST(Upload, TheClientsLastLineIsItsLastNonEmptyOne) {
    const struct {
        const char* output;
        const wchar_t* line;
    } cases[] = {
        {"", L""},
        {"one", L"one"},
        {"sent 4096 bytes\r\nError code 2: refused\r\n\r\n", L"Error code 2: refused"},
        {"a\nb  \n  \n", L"b"},
        {"\n\n", L""},
        {"x\r  tail", L"tail"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LastOutputLine(c.output), c.line) << c.output;
    }
}

} // namespace

namespace {

TEST(Upload, APastedPathLosesItsBlanksAndQuotes) {
    const struct {
        const wchar_t *typed, *clean;
    } cases[] = {
        {LR"(C:\fw\unit.bin)", LR"(C:\fw\unit.bin)"},
        {LR"("C:\My Files\unit.bin")", LR"(C:\My Files\unit.bin)"}, // Explorer's "Copy as path"
        {L"  \t\"C:\\a b\\c.ROM\"  ", L"C:\\a b\\c.ROM"},
        {LR"("C:\half)", LR"("C:\half)"}, // one quote is part of the name, not a pair
        {L"\"\"", L""},
        {L"   ", L""},
        {L"-h", L"-h"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CleanPath(c.typed), c.clean) << testing::PrintToString(std::wstring(c.typed));
    }
}

TEST(Upload, AFailedUploadSaysWhyOnItsSecondLine) {
    EXPECT_EQ(UploadFailureReason({Failure::ClientFailed, L"Error code 2: Access violation", 1}),
              L"Error code 2: Access violation");
    EXPECT_EQ(UploadFailureReason({Failure::ClientFailed, L"", 3}),
              L"The TFTP client ended with code 3.");
    EXPECT_EQ(
        UploadFailureReason({Failure::ClientNotStarted, L"The specified file was not found."}),
        L"The TFTP client could not be started: The specified file was not found.");
    EXPECT_EQ(UploadFailureReason({Failure::NoAnswer}), L"");
    EXPECT_EQ(UploadFailureReason({}), L"");
}

TEST(Upload, WithTheLogOnTheClientsOutputIsLogged) {
    fakes::Pc pc(fakes::LogSwitch::On);
    pc.echoes.replies = {EchoReply{true, 0}};
    pc.client.output = L"sent 3 blocks\r\n\r\nError: refused\n";
    RunUpload(pc.Upload(),
              {Addr("10.0.0.5"), Addr("255.255.255.0"), Addr("10.0.0.1"), L"C:\\a", 0, {}},
              nullptr);
    EXPECT_EQ(pc.store.LogBytes(), "tftp: sent 3 blocks\r\ntftp: Error: refused\r\n");
}

} // namespace

namespace {

const UploadRequest kFirmware{
    Addr("10.0.0.5"), Addr("255.255.255.0"), Addr("10.0.0.1"), LR"(C:\fw\unit.bin)", 30000, {}};

// The record tells what happened: the line is written once the outcome is final, and an
// upload cut short says so, whether the client was still sending or the unit writing.
TEST(Upload, TheRecordLineWaitsForTheFinalOutcome) {
    const struct {
        const char* name;
        bool clientEnds;
        bool stopWhenAnswered;
        bool waited;
        Failure failure;
        const char* reason;
    } cases[] = {
        {"written", true, false, true, Failure::None, ",SUCCESS,,"},
        {"closed while the unit wrote", true, false, false, Failure::Interrupted,
         ",FAILED,Interrupted before the unit had written the image.,"},
        {"closed while it was sent", false, true, false, Failure::Interrupted,
         ",FAILED,Interrupted while the image was being sent.,"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Pc pc;
        pc.echoes.replies = {EchoReply{true, 0}};
        pc.store.userFiles[kFirmware.path] = "image";
        if (!c.clientEnds) {
            pc.client.exitCode.reset();
        }
        std::stop_source stop;
        const SentImage sent = SendImage(
            pc.Upload(), pc.store, kFirmware,
            [&] {
                if (c.stopWhenAnswered) {
                    stop.request_stop();
                }
            },
            stop.get_token());
        EXPECT_EQ(pc.store.File(kRecordFile), ""); // not yet
        EXPECT_EQ(pc.trace.Last(), c.clientEnds
                                       ? LR"(start C:\work\tftp.exe|-i 10.0.0.5 PUT C:\fw\unit.bin)"
                                       : L"client ended");
        const Done done = RecordUpload(pc.record, sent, c.waited);
        EXPECT_EQ(done.outcome.failure, c.failure);
        const std::string record = pc.store.File(kRecordFile);
        EXPECT_NE(record.find(c.reason), std::string::npos) << record;
        EXPECT_NE(record.find(",unit.bin,5,"), std::string::npos)
            << record; // size from the held file
    }
}

// On a laptop with Wi-Fi and a wired port, the upload's check echo leaves through the
// unit's adapter, as an Apply's does: the one whose subnet holds the unit, else the one
// chosen last; with neither, the system picks. The record names it.
TEST(Upload, TheCheckEchoLeavesThroughTheUnitsAdapter) {
    const std::vector<Adapter> adapters{
        {L"wifi", L"Wi-Fi", 3, {{Addr("192.168.1.20"), Addr("255.255.255.0")}}},
        {L"wired", L"Ethernet", 7, {{Addr("10.0.0.2"), Addr("255.255.255.0")}}}};
    const struct {
        const char* unit;
        const wchar_t* chosen; // the adapter chosen last in the window
        const wchar_t* echoFrom;
        const char* adapter; // as the record names it
    } cases[] = {
        {"10.0.0.5", L"", L"icmp load from 10.0.0.2", ",Ethernet (10.0.0.2),"},
        {"10.9.0.5", L"wired", L"icmp load from 10.0.0.2", ",Ethernet (10.0.0.2),"},
        {"10.9.0.5", L"", L"icmp load", ",,"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit);
        fakes::Pc pc;
        pc.echoes.replies = {EchoReply{true, 0}};
        pc.store.userFiles[kFirmware.path] = "image";
        pc.settings.PutText(L"Adapter", L"Chosen", c.chosen);
        UploadRequest request = kFirmware;
        request.address = Addr(c.unit);
        request.unitPath = UnaskedPath(adapters, pc.settings, request.address);
        const SentImage sent = SendImage(pc.Upload(), pc.store, request, nullptr);
        RecordUpload(pc.record, sent, true);
        const std::vector<std::wstring> lines = pc.trace.Lines();
        const auto echo = std::find_if(lines.begin(), lines.end(), [](const std::wstring& line) {
            return line.rfind(L"icmp load", 0) == 0;
        });
        ASSERT_NE(echo, lines.end());
        EXPECT_EQ(*echo, c.echoFrom);
        const std::string record = pc.store.File(kRecordFile);
        EXPECT_NE(record.find(c.adapter), std::string::npos) << record;
    }
}

TEST(Upload, AnImageThatCannotBeHeldIsNotSent) {
    fakes::Pc pc;
    pc.echoes.replies = {EchoReply{true, 0}};
    const SentImage sent = SendImage(pc.Upload(), pc.store, kFirmware, nullptr);
    EXPECT_EQ(sent.outcome.failure, Failure::ImageUnreadable);
    EXPECT_EQ(sent.outcome.detail, LR"(The image C:\fw\unit.bin cannot be read: )"
                                   L"The system cannot find the file specified");
    EXPECT_EQ(pc.trace.Lines(), std::vector<std::wstring>{}); // no ping, no client
}

// A firewall that ignores the PC's own rules (a domain's policy, "block all incoming"):
// a rule that was made does not make an upload that never heard from the server plain.
TEST(Upload, AFirewallThatIgnoresLocalRulesGetsTheHint) {
    for (const RulesHeeded heeded : {RulesHeeded::Yes, RulesHeeded::No, RulesHeeded::Unknown}) {
        fakes::Pc pc;
        pc.firewall.heedsLocalRules = heeded;
        pc.echoes.replies = {EchoReply{true, 0}};
        pc.client.exitCode = 1ul;
        pc.client.lastLine = L"Timeout: no answer from host";
        const Outcome outcome = RunUpload(pc.Upload(), kFirmware, nullptr);
        EXPECT_EQ(outcome.detail.find(L"A firewall may be blocking") != std::wstring::npos,
                  heeded == RulesHeeded::No);
    }
}

TEST(Upload, TheAddressOfAnUploadIsCheckedAsTheAddressPagesIs) {
    const std::vector<IPv4Address> own{Addr("10.0.0.20"), Addr("127.0.0.1")};
    const struct {
        const char *address, *netmask;
        AddressFault fault;
    } cases[] = {
        {"10.0.0.5", "255.255.255.0", AddressFault::None},
        {"10.0.0.255", "255.255.255.0", AddressFault::IpIsBroadcastAddress},
        {"10.0.0.0", "255.255.255.0", AddressFault::IpIsNetworkAddress},
        {"10.0.0.255", "0.0.0.0", AddressFault::None}, // the unit's netmask is not known
        {"127.0.0.5", "255.0.0.0", AddressFault::IpLoopback},
        {"224.0.0.1", "255.255.255.0", AddressFault::IpNotUnicast},
        {"10.0.0.20", "255.255.255.0", AddressFault::IpOwn},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckUnitAddress(Addr(c.address), Addr(c.netmask), own), c.fault) << c.address;
    }
}

} // namespace
