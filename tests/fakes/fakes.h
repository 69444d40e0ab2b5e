// Recording stand-ins for the operating-system edge, so the logic above it runs natively.
// Every call through a seam is appended to one trace, in order, as a short text:
//   run open|arp.exe|-d 10.0.0.7|hide      (RunProgram)
//   box SUCCESS!                           (ShowMessageBox)
//   msg 110                                (ShowMessageId)
//   sys arp.exe|-d 10.0.0.7                (RunSystemProgram)
//   cursor wait / cursor normal            (ScopedWaitCursor)
//   icmp load / icmp create / icmp close / icmp free
//   dispatch / pause 1000 / echo 10.0.0.7
//   setup 00:50:c2:11:8b:b8|10.0.0.5|255.255.255.0|10.0.0.1   (Setup::Run, ui_fakes.cpp)
//   appbox Enter a positive integer. / beep                  (input checks, ui_fakes.cpp)
//   extract 136 / start C:\work\tftp.exe|-i ...              (process_fakes.cpp)
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/address.h"
#include "unit/icmp.h"

namespace fakes {

struct Launch {
    std::wstring operation, file, parameters;
    bool show = false;
};

struct World {
    std::vector<std::wstring> trace;
    std::vector<Launch> launches;
    // Decides RunProgram's answer for each start; all starts succeed by default.
    std::function<bool(const Launch&)> launchSucceeds = [](const Launch&) { return true; };
    // Runs inside ShowMessageBox before it records, to look at the world at that moment.
    std::function<void(const std::wstring&)> onBox;
    std::optional<IPv4Address> localAddress;

    // The ICMP library: what preparing it gives, and one scripted reply per echo
    // (no reply at all once the script is used up).
    bool icmpLoads = true;
    std::set<std::string> icmpMissingExports;
    bool icmpHandleCreates = true;
    std::deque<icmp::Reply> echoReplies;
    std::vector<icmp::Payload> echoPayloads;

    // What a started program ends with; nothing means it is still running.
    std::optional<unsigned long> programExitCode = 0ul;

    // Runs inside the recording Setup::Run, to look at the world at that moment.
    std::function<void()> onSetupRun;
};

// The one world the fakes act on; Reset() before each test.
World& world();
void Reset();

} // namespace fakes
