// Recording implementations of the seams declared by the portable headers.
#include "tests/fakes/fakes.h"

#include "common/launcher.h"
#include "common/messages.h"

namespace fakes {

World& world() {
    static World w;
    return w;
}

void Reset() {
    world() = World{};
}

} // namespace fakes

using fakes::world;

bool RunProgram(const std::wstring& operation, const std::wstring& file,
                const std::wstring& parameters, bool show) {
    const fakes::Launch launch{operation, file, parameters, show};
    world().launches.push_back(launch);
    world().trace.push_back(L"run " + operation + L"|" + file + L"|" + parameters + L"|" +
                            (show ? L"show" : L"hide"));
    // The real launcher turns a failed start into a shell code; 2 is "file not found".
    return ReportStartResult(world().launchSucceeds(launch) ? 33 : 2);
}

int ShowMessageBox(const std::wstring& text) {
    if (world().onBox) {
        world().onBox(text);
    }
    world().trace.push_back(L"box " + text);
    return 1; // IDOK
}

void ShowMessageId(unsigned id) {
    world().trace.push_back(L"msg " + std::to_wstring(id));
}

std::optional<IPv4Address> FirstLocalAddress() {
    return world().localAddress;
}
