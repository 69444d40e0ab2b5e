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
// The same with a source address (iphlpapi.dll; ICMP.DLL does not have it).
using IcmpSendEcho2ExFn = DWORD(WINAPI*)(HANDLE, HANDLE, FARPROC, PVOID, ULONG, ULONG, LPVOID, WORD,
                                         IpOptionInformation*, LPVOID, DWORD, DWORD);

// Room for 8192 bytes of replies plus one reply record, as the library's documentation
// asks (a record and eight bytes more than the request's data at the least).
constexpr DWORD kReplyBufferSize = 8220;

ULONG InNetworkOrder(const IPv4Address& address) {
    ULONG value;
    std::memcpy(&value, address.octet.data(), sizeof value);
    return value;
}

// One open ICMP handle and the library reference it came from; the handle is closed
// before the library goes. With `sendFrom` the echoes leave from `source`.
class IcmpChannel : public EchoChannel {
public:
    IcmpChannel(UniqueModule library, HANDLE handle, IcmpCloseHandleFn close, IcmpSendEchoFn send,
                IcmpSendEcho2ExFn sendFrom = nullptr, IPv4Address source = {})
        : library_(std::move(library)), handle_(handle), close_(close), send_(send),
          sendFrom_(sendFrom), source_(InNetworkOrder(source)) {}
    ~IcmpChannel() override { close_(handle_); }
    IcmpChannel(const IcmpChannel&) = delete;
    IcmpChannel& operator=(const IcmpChannel&) = delete;

    EchoReply Send(const IPv4Address& destination, const EchoPayload& payload,
                   unsigned timeoutMs) override {
        IpOptionInformation options{};
        options.ttl = 64;
        std::vector<unsigned char> replies(kReplyBufferSize, 0);
        EchoPayload request = payload; // the library takes a non-const pointer
        const ULONG address = InNetworkOrder(destination);
        const WORD size = static_cast<WORD>(request.size());
        const DWORD count = sendFrom_ ? sendFrom_(handle_, nullptr, nullptr, nullptr, source_,
                                                  address, request.data(), size, &options,
                                                  replies.data(), kReplyBufferSize, timeoutMs)
                                      : send_(handle_, address, request.data(), size, &options,
                                              replies.data(), kReplyBufferSize, timeoutMs);
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
    IcmpSendEcho2ExFn sendFrom_;
    ULONG source_;
};

template <typename Fn> Fn Resolve(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

} // namespace

namespace {

// Echoes from `source`, through iphlpapi.dll; nothing where it lacks the calls.
std::unique_ptr<EchoChannel> OpenEchoFrom(const IPv4Address& source) {
    UniqueModule library(::LoadLibraryExW(L"iphlpapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!library) {
        return nullptr;
    }
    const auto create = Resolve<IcmpCreateFileFn>(library.get(), "IcmpCreateFile");
    const auto close = Resolve<IcmpCloseHandleFn>(library.get(), "IcmpCloseHandle");
    const auto sendFrom = Resolve<IcmpSendEcho2ExFn>(library.get(), "IcmpSendEcho2Ex");
    if (!create || !close || !sendFrom) {
        return nullptr;
    }
    const HANDLE handle = create();
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return std::make_unique<IcmpChannel>(std::move(library), handle, close, nullptr, sendFrom,
                                         source);
}

} // namespace

EchoOpening OpenIcmpEcho(const std::optional<IPv4Address>& source) {
    if (source) {
        if (std::unique_ptr<EchoChannel> channel = OpenEchoFrom(*source)) {
            return {EchoOpenFailure::None, std::move(channel)};
        }
        // Without a source the system picks the adapter: the echo still goes out.
    }
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
