// Recording implementations of the seams declared by the portable headers.
#include "tests/fakes/fakes.h"

#include <stdexcept>

#include "common/cursor.h"
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

bool RunSystemProgram(const std::wstring& file, const std::wstring& parameters) {
    const fakes::Launch launch{L"open", file, parameters, false};
    world().launches.push_back(launch);
    world().trace.push_back(L"sys " + file + L"|" + parameters);
    return ReportStartResult(world().launchSucceeds(launch) ? 33 : 2);
}

ScopedWaitCursor::ScopedWaitCursor() : previous_(nullptr) {
    world().trace.push_back(L"cursor wait");
}

ScopedWaitCursor::~ScopedWaitCursor() {
    world().trace.push_back(L"cursor normal");
}

namespace icmp {

namespace {
int libraryToken;
void EntryToken() {}
int handleToken;
} // namespace

Library LoadIcmpLibrary() {
    world().trace.push_back(L"icmp load");
    return world().icmpLoads ? &libraryToken : nullptr;
}

EntryPoint ResolveExport(Library library, const char* exportName) {
    if (library != &libraryToken) {
        throw std::logic_error("export resolved from a library that is not loaded");
    }
    return world().icmpMissingExports.count(exportName) ? nullptr : &EntryToken;
}

void FreeIcmpLibrary(Library library) {
    if (library != &libraryToken) {
        throw std::logic_error("freeing a library that is not loaded");
    }
    world().trace.push_back(L"icmp free");
}

Handle CreateIcmpHandle(EntryPoint) {
    world().trace.push_back(L"icmp create");
    return world().icmpHandleCreates ? &handleToken : nullptr;
}

void CloseIcmpHandle(EntryPoint, Handle handle) {
    if (handle != &handleToken) {
        throw std::logic_error("closing a handle that is not open");
    }
    world().trace.push_back(L"icmp close");
}

Reply SendEcho(EntryPoint, Handle, const IPv4Address& destination, const Payload& payload) {
    world().trace.push_back(L"echo " + destination.ToText());
    world().echoPayloads.push_back(payload);
    if (world().echoReplies.empty()) {
        return Reply{};
    }
    const Reply reply = world().echoReplies.front();
    world().echoReplies.pop_front();
    return reply;
}

void DispatchPendingMessage() {
    world().trace.push_back(L"dispatch");
}

void Pause(unsigned milliseconds) {
    world().trace.push_back(L"pause " + std::to_wstring(milliseconds));
}

} // namespace icmp
