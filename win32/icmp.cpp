// ICMP.DLL, loaded at run time.
#include "win32/icmp.h"

#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
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
// How often a wait for an echo looks whether it was stopped.
constexpr DWORD kStopLookMs = 50;

ULONG InNetworkOrder(const IPv4Address& address) {
    ULONG value;
    std::memcpy(&value, address.octet.data(), sizeof value);
    return value;
}

// One open ICMP handle and the library it came from; the handle is closed before the
// library goes, once nothing uses it any more. With `sendFrom` the echoes leave from
// `source`.
class IcmpHandle {
public:
    IcmpHandle(UniqueModule library, HANDLE handle, IcmpCloseHandleFn close, IcmpSendEchoFn send,
               IcmpSendEcho2ExFn sendFrom, IPv4Address source)
        : library_(std::move(library)), handle_(handle), close_(close), send_(send),
          sendFrom_(sendFrom), source_(InNetworkOrder(source)) {}
    ~IcmpHandle() { close_(handle_); }
    IcmpHandle(const IcmpHandle&) = delete;
    IcmpHandle& operator=(const IcmpHandle&) = delete;

    // One echo, waited for until its reply or its timeout.
    EchoReply Send(const IPv4Address& destination, const EchoPayload& payload,
                   unsigned timeoutMs) const {
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

// An echo under way on a thread of its own: its reply, and the event that says it came.
struct EchoCall {
    EchoReply reply;
    UniqueHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// The echoes of one channel. Each waits on a thread of its own, which holds the handle
// and the library until its echo is over: a stop (the console closed, "Stop", the window
// closed) then ends the wait for it at once, and the echo runs out its time unheeded.
// (The library's asynchronous form, with an event, was tried first: under Wine a run of a
// dozen units hung with it.)
class IcmpChannel : public EchoChannel {
public:
    explicit IcmpChannel(std::shared_ptr<const IcmpHandle> icmp) : icmp_(std::move(icmp)) {}

    EchoReply Send(const IPv4Address& destination, const EchoPayload& payload, unsigned timeoutMs,
                   std::stop_token stop) override {
        if (stop.stop_requested()) {
            return {};
        }
        auto call = std::make_shared<EchoCall>();
        if (!stop.stop_possible() || !call->done ||
            !StartEcho(call, destination, payload, timeoutMs)) {
            return icmp_->Send(destination, payload, timeoutMs);
        }
        for (;;) {
            if (::WaitForSingleObject(call->done.get(), kStopLookMs) == WAIT_OBJECT_0) {
                return call->reply;
            }
            if (stop.stop_requested()) {
                return {};
            }
        }
    }

private:
    bool StartEcho(const std::shared_ptr<EchoCall>& call, const IPv4Address& destination,
                   const EchoPayload& payload, unsigned timeoutMs) {
        try {
            std::thread([icmp = icmp_, call, destination, payload, timeoutMs] {
                call->reply = icmp->Send(destination, payload, timeoutMs);
                ::SetEvent(call->done.get());
            }).detach();
            return true;
        } catch (const std::system_error&) {
            return false; // no thread to be had: the echo is waited for here
        }
    }

    std::shared_ptr<const IcmpHandle> icmp_;
};

template <typename Fn> Fn Resolve(HMODULE library, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

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
    return std::make_unique<IcmpChannel>(
        std::make_shared<IcmpHandle>(std::move(library), handle, close, nullptr, sendFrom, source));
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
            std::make_unique<IcmpChannel>(std::make_shared<IcmpHandle>(
                std::move(library), handle, close, send, nullptr, IPv4Address{}))};
}
