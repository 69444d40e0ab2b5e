// ICMP.DLL, loaded at run time.
#include "win32/icmp.h"

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "win32/win32.h"

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

// One open ICMP handle and the library reference it came from; the handle is closed
// before the library goes.
class IcmpChannel : public EchoChannel {
public:
    IcmpChannel(UniqueModule library, HANDLE handle, IcmpCloseHandleFn close, IcmpSendEchoFn send)
        : library_(std::move(library)), handle_(handle), close_(close), send_(send) {}
    ~IcmpChannel() override { close_(handle_); }
    IcmpChannel(const IcmpChannel&) = delete;
    IcmpChannel& operator=(const IcmpChannel&) = delete;

    EchoReply Send(const IPv4Address& destination, const EchoPayload& payload) override {
        IpOptionInformation options{};
        options.ttl = 64;
        std::vector<unsigned char> replies(kReplyBufferSize, 0);
        EchoPayload request = payload; // the library takes a non-const pointer
        ULONG address;
        std::memcpy(&address, destination.octet.data(), sizeof address); // network order
        const DWORD count =
            send_(handle_, address, request.data(), static_cast<WORD>(request.size()), &options,
                  replies.data(), kReplyBufferSize, kTimeoutMs);
        EchoReply reply;
        if (count > 0) {
            IcmpEchoReply first;
            std::memcpy(&first, replies.data(), sizeof first);
            reply.received = true;
            reply.status = first.status;
        }
        return reply;
    }

private:
    UniqueModule library_;
    HANDLE handle_;
    IcmpCloseHandleFn close_;
    IcmpSendEchoFn send_;
};

template <typename Fn> Fn Resolve(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

} // namespace

EchoOpening OpenIcmpEcho() {
    // From the system directory only: a DLL of that name beside Varnok never loads.
    UniqueModule library(::LoadLibraryExW(L"ICMP.DLL", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!library) {
        return {EchoOpenFailure::LibraryMissing, nullptr};
    }
    const auto create = Resolve<IcmpCreateFileFn>(library.get(), "IcmpCreateFile");
    const auto close = Resolve<IcmpCloseHandleFn>(library.get(), "IcmpCloseHandle");
    const auto send = Resolve<IcmpSendEchoFn>(library.get(), "IcmpSendEcho");
    if (!create || !close || !send) {
        return {EchoOpenFailure::LibraryMissing, nullptr};
    }
    const HANDLE handle = create();
    if (handle == INVALID_HANDLE_VALUE) {
        return {EchoOpenFailure::HandleFailed, nullptr};
    }
    return {EchoOpenFailure::None,
            std::make_unique<IcmpChannel>(std::move(library), handle, close, send)};
}
