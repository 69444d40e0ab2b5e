// The operating system's ICMP library as the configuration ping needs it: each function
// is one platform call. Entry points and handles travel as opaque values so that the
// ping's own logic stays portable and testable.
#pragma once

#include <array>
#include <cstdint>

#include "common/address.h"

namespace icmp {

using Library = void*;         // a loaded ICMP.DLL, or null
using EntryPoint = void (*)(); // a resolved export, or null
using Handle = void*;          // from IcmpCreateFile; null stands for "none"
using Payload = std::array<std::uint8_t, 20>;

// Loads ICMP.DLL from the system directory only (never from the program's folder).
Library LoadIcmpLibrary();
EntryPoint ResolveExport(Library library, const char* exportName);
void FreeIcmpLibrary(Library library);

// IcmpCreateFile; null when it gave the invalid handle value.
Handle CreateIcmpHandle(EntryPoint icmpCreateFile);
void CloseIcmpHandle(EntryPoint icmpCloseHandle, Handle handle);

// One echo with TTL 64, an 8220-byte zero-filled reply buffer and a 5000 ms timeout.
struct Reply {
    bool received = false;    // IcmpSendEcho returned at least one reply record
    unsigned long status = 0; // the first record's status; 0 is success
};
Reply SendEcho(EntryPoint icmpSendEcho, Handle handle, const IPv4Address& destination,
               const Payload& payload);

// Takes and dispatches one window message if one is already waiting; never waits.
void DispatchPendingMessage();
// The pause between attempts (alertable).
void Pause(unsigned milliseconds);

} // namespace icmp
