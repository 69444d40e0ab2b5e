// Recording stand-ins for the operating-system edge, so the logic above it runs natively.
// Every call through a seam is appended to one trace, in order, as a short text:
//   run open|arp.exe|-d 10.0.0.7|hide      (RunProgram)
//   box SUCCESS!                           (ShowMessageBox)
//   msg 110                                (ShowMessageId)
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/address.h"

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
};

// The one world the fakes act on; Reset() before each test.
World& world();
void Reset();

} // namespace fakes
