// ICMP.DLL, loaded at run time, and the message pump between echo attempts.
#include "unit/icmp.h"

#include <cstring>
#include <vector>

#include "common/win32.h"

namespace {

// The library's own declarations, which MinGW and the SDK spread over several headers.
struct IpOptionInformation {
    UCHAR ttl;
    UCHAR tos;
    UCHAR flags;
    UCHAR optionsSize;
    PUCHAR optionsData;
};
struct IcmpEchoReply {
    ULONG address;
    ULONG status;
    ULONG roundTripTime;
    USHORT dataSize;
    USHORT reserved;
    PVOID data;
    IpOptionInformation options;
};
using IcmpCreateFileFn = HANDLE(WINAPI*)();
using IcmpCloseHandleFn = BOOL(WINAPI*)(HANDLE);
using IcmpSendEchoFn = DWORD(WINAPI*)(HANDLE, ULONG, LPVOID, WORD, IpOptionInformation*, LPVOID,
                                      DWORD, DWORD);

// Room for 8192 bytes of replies plus one reply record, as the library's documentation
// asks (a record and eight bytes more than the request's data at the least).
constexpr DWORD kReplyBufferSize = 8220;
constexpr DWORD kTimeoutMs = 5000;

template <typename Fn> Fn As(icmp::EntryPoint entry) {
    return reinterpret_cast<Fn>(entry);
}

} // namespace

namespace icmp {

Library LoadIcmpLibrary() {
    // From the system directory only: a DLL of that name beside Varnok never loads.
    return ::LoadLibraryExW(L"ICMP.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

EntryPoint ResolveExport(Library library, const char* exportName) {
    return reinterpret_cast<EntryPoint>(
        ::GetProcAddress(static_cast<HMODULE>(library), exportName));
}

void FreeIcmpLibrary(Library library) {
    ::FreeLibrary(static_cast<HMODULE>(library));
}

Handle CreateIcmpHandle(EntryPoint icmpCreateFile) {
    const HANDLE handle = As<IcmpCreateFileFn>(icmpCreateFile)();
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

void CloseIcmpHandle(EntryPoint icmpCloseHandle, Handle handle) {
    As<IcmpCloseHandleFn>(icmpCloseHandle)(handle);
}

Reply SendEcho(EntryPoint icmpSendEcho, Handle handle, const IPv4Address& destination,
               const Payload& payload) {
    IpOptionInformation options{};
    options.ttl = 64;
    std::vector<unsigned char> replies(kReplyBufferSize, 0);
    Payload request = payload; // the library takes a non-const pointer
    ULONG address;
    std::memcpy(&address, destination.octet.data(), sizeof address); // network order
    const DWORD count = As<IcmpSendEchoFn>(icmpSendEcho)(
        handle, address, request.data(), static_cast<WORD>(request.size()), &options,
        replies.data(), kReplyBufferSize, kTimeoutMs);
    Reply reply;
    if (count > 0) {
        IcmpEchoReply first;
        std::memcpy(&first, replies.data(), sizeof first);
        reply.received = true;
        reply.status = first.status;
    }
    return reply;
}

void DispatchPendingMessage() {
    MSG message;
    if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        return;
    }
    if (message.message == WM_QUIT) {
        // Not ours to consume: put it back for the loop that owns it.
        ::PostQuitMessage(static_cast<int>(message.wParam));
        return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

void Pause(unsigned milliseconds) {
    ::SleepEx(milliseconds, TRUE);
}

} // namespace icmp
