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
// The same, completed through an event, so that a wait for it can be given up.
using IcmpSendEcho2Fn = DWORD(WINAPI*)(HANDLE, HANDLE, FARPROC, PVOID, ULONG, LPVOID, WORD,
                                       IpOptionInformation*, LPVOID, DWORD, DWORD);
// The same with a source address (iphlpapi.dll; ICMP.DLL does not have it).
using IcmpSendEcho2ExFn = DWORD(WINAPI*)(HANDLE, HANDLE, FARPROC, PVOID, ULONG, ULONG, LPVOID, WORD,
                                         IpOptionInformation*, LPVOID, DWORD, DWORD);
using IcmpParseRepliesFn = DWORD(WINAPI*)(LPVOID, DWORD);

// Room for 8192 bytes of replies plus one reply record, as the library's documentation
// asks (a record and eight bytes more than the request's data at the least).
constexpr DWORD kReplyBufferSize = 8220;
// How long a request the handle's closing cancelled may take to let go of its buffer.
constexpr DWORD kCancelledWaitMs = 100;
// Beyond the echo's own timeout, for the completion to arrive.
constexpr DWORD kCompletionSlackMs = 2000;
// How often a wait for an echo looks whether it was stopped.
constexpr DWORD kStopLookMs = 50;

ULONG InNetworkOrder(const IPv4Address& address) {
    ULONG value;
    std::memcpy(&value, address.octet.data(), sizeof value);
    return value;
}

struct IcmpCalls {
    IcmpCloseHandleFn close = nullptr;
    IcmpSendEchoFn send = nullptr;        // blocking: where nothing else is exported
    IcmpSendEcho2Fn sendAsync = nullptr;  // without a source
    IcmpSendEcho2ExFn sendFrom = nullptr; // with a source
    IcmpParseRepliesFn parse = nullptr;   // for either of the two above
};

// What the system reads and writes while an echo is under way: it must stay where it is
// until the request has completed.
struct EchoRequestMemory {
    EchoPayload request{};
    IpOptionInformation options{};
    std::vector<unsigned char> replies = std::vector<unsigned char>(kReplyBufferSize, 0);
};

EchoReply FirstReply(const unsigned char* replies, DWORD count) {
    EchoReply reply;
    if (count > 0) {
        IcmpEchoReply first;
        std::memcpy(&first, replies, sizeof first);
        reply.received = true;
        reply.status = first.status;
    }
    return reply;
}

// One open ICMP handle and the library reference it came from; the handle is closed
// before the library goes. With a source, the echoes leave from it.
class IcmpChannel : public EchoChannel {
public:
    IcmpChannel(UniqueModule library, HANDLE handle, const IcmpCalls& calls,
                IPv4Address source = {})
        : library_(std::move(library)), handle_(handle), calls_(calls),
          source_(InNetworkOrder(source)) {}
    ~IcmpChannel() override { Close(); }
    IcmpChannel(const IcmpChannel&) = delete;
    IcmpChannel& operator=(const IcmpChannel&) = delete;

    EchoReply Send(const IPv4Address& destination, const EchoPayload& payload, unsigned timeoutMs,
                   std::stop_token stop) override {
        if (!handle_ || stop.stop_requested()) {
            return {};
        }
        auto memory = std::make_unique<EchoRequestMemory>();
        memory->request = payload;
        memory->options.ttl = 64;
        const UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!calls_.parse || !done) {
            return SendBlocking(destination, *memory, timeoutMs);
        }
        const DWORD count = Start(destination, *memory, done.get(), timeoutMs);
        if (count == 0 && ::GetLastError() != ERROR_IO_PENDING) {
            return {};
        }
        if (count > 0 || AwaitUnlessStopped(done.get(), timeoutMs, stop)) {
            return FirstReply(memory->replies.data(),
                              calls_.parse(memory->replies.data(), kReplyBufferSize));
        }
        Abandon(std::move(memory), done.get());
        return {};
    }

private:
    DWORD Start(const IPv4Address& destination, EchoRequestMemory& memory, HANDLE done,
                unsigned timeoutMs) {
        const ULONG address = InNetworkOrder(destination);
        const WORD size = static_cast<WORD>(memory.request.size());
        return calls_.sendFrom
                   ? calls_.sendFrom(handle_, done, nullptr, nullptr, source_, address,
                                     memory.request.data(), size, &memory.options,
                                     memory.replies.data(), kReplyBufferSize, timeoutMs)
                   : calls_.sendAsync(handle_, done, nullptr, nullptr, address,
                                      memory.request.data(), size, &memory.options,
                                      memory.replies.data(), kReplyBufferSize, timeoutMs);
    }

    EchoReply SendBlocking(const IPv4Address& destination, EchoRequestMemory& memory,
                           unsigned timeoutMs) {
        if (!calls_.send) {
            return {};
        }
        return FirstReply(memory.replies.data(),
                          calls_.send(handle_, InNetworkOrder(destination), memory.request.data(),
                                      static_cast<WORD>(memory.request.size()), &memory.options,
                                      memory.replies.data(), kReplyBufferSize, timeoutMs));
    }

    // True once the echo has completed; false when `stop` came first, or no completion.
    // The stop is looked at between short waits: a stop_callback's removal can wait
    // forever for a lost wake-up with GCC 12 on MinGW.
    static bool AwaitUnlessStopped(HANDLE done, unsigned timeoutMs, std::stop_token stop) {
        for (DWORD waited = 0; waited < timeoutMs + kCompletionSlackMs; waited += kStopLookMs) {
            if (::WaitForSingleObject(done, kStopLookMs) == WAIT_OBJECT_0) {
                return true;
            }
            if (stop.stop_requested()) {
                return false;
            }
        }
        return false;
    }

    // The echo given up: closing the handle cancels the request, after which the system
    // lets go of its memory. Should it not say so in time, the memory stays for the rest
    // of the process rather than be written to after it was freed.
    void Abandon(std::unique_ptr<EchoRequestMemory> memory, HANDLE done) {
        Close();
        if (::WaitForSingleObject(done, kCancelledWaitMs) != WAIT_OBJECT_0) {
            static_cast<void>(memory.release());
        }
    }

    void Close() {
        if (handle_) {
            calls_.close(handle_);
            handle_ = nullptr;
        }
    }

    UniqueModule library_;
    HANDLE handle_;
    IcmpCalls calls_;
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
    IcmpCalls calls;
    calls.close = Resolve<IcmpCloseHandleFn>(library.get(), "IcmpCloseHandle");
    calls.sendFrom = Resolve<IcmpSendEcho2ExFn>(library.get(), "IcmpSendEcho2Ex");
    calls.parse = Resolve<IcmpParseRepliesFn>(library.get(), "IcmpParseReplies");
    if (!create || !calls.close || !calls.sendFrom || !calls.parse) {
        return nullptr;
    }
    const HANDLE handle = create();
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return std::make_unique<IcmpChannel>(std::move(library), handle, calls, source);
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
    IcmpCalls calls;
    calls.close = Resolve<IcmpCloseHandleFn>(library.get(), "IcmpCloseHandle");
    calls.send = Resolve<IcmpSendEchoFn>(library.get(), "IcmpSendEcho");
    // Where the library has them, echoes that a stop can end.
    calls.sendAsync = Resolve<IcmpSendEcho2Fn>(library.get(), "IcmpSendEcho2");
    calls.parse =
        calls.sendAsync ? Resolve<IcmpParseRepliesFn>(library.get(), "IcmpParseReplies") : nullptr;
    if (!create || !calls.close || !calls.send) {
        return {EchoOpenFailure::LibraryMissing, nullptr};
    }
    const HANDLE handle = create();
    if (handle == INVALID_HANDLE_VALUE) {
        return {EchoOpenFailure::HandleFailed, nullptr};
    }
    return {EchoOpenFailure::None,
            std::make_unique<IcmpChannel>(std::move(library), handle, calls)};
}
