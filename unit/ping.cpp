#include "unit/ping.h"

#include "common/log.h"
#include "common/messages.h"

namespace {
constexpr int kAttempts = 3;
constexpr unsigned kPauseMs = 1000;
} // namespace

Ping::Ping() {
    library_ = icmp::LoadIcmpLibrary();
    if (!library_) {
        ShowMessageId(IDS_ICMP_LOAD_FAILED);
        return;
    }
    createFile_ = icmp::ResolveExport(library_, "IcmpCreateFile");
    closeHandle_ = icmp::ResolveExport(library_, "IcmpCloseHandle");
    sendEcho_ = icmp::ResolveExport(library_, "IcmpSendEcho");
    if (!createFile_ || !closeHandle_ || !sendEcho_) {
        icmp::FreeIcmpLibrary(library_);
        library_ = nullptr;
        ShowMessageId(IDS_ICMP_LOAD_FAILED);
        return;
    }
    handle_ = icmp::CreateIcmpHandle(createFile_);
    if (!handle_) {
        icmp::FreeIcmpLibrary(library_);
        library_ = nullptr;
        ShowMessageId(IDS_ICMP_HANDLE_FAILED);
    }
}

Ping::~Ping() {
    if (handle_) {
        icmp::CloseIcmpHandle(closeHandle_, handle_);
    }
    if (library_) {
        icmp::FreeIcmpLibrary(library_);
    }
}

bool Ping::Ready() const {
    return createFile_ && closeHandle_ && sendEcho_ && library_ && handle_;
}

icmp::Payload Ping::ConfigurationPayload(const IPv4Address& netmask, const IPv4Address& gateway) {
    icmp::Payload payload{};
    payload[10] = 0x98;
    payload[11] = 0x76;
    for (std::size_t i = 0; i < 4; ++i) {
        payload[12 + i] = netmask.octet[i];
        payload[16 + i] = gateway.octet[i];
    }
    return payload;
}

bool Ping::Send(const IPv4Address& address, const IPv4Address& netmask,
                const IPv4Address& gateway) {
    if (!Ready()) {
        return false;
    }
    const icmp::Payload payload = ConfigurationPayload(netmask, gateway);
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        // Keep the window alive between echoes without ever waiting for a message.
        icmp::DispatchPendingMessage();
        if (attempt > 1) {
            icmp::Pause(kPauseMs);
        }
        const icmp::Reply reply = icmp::SendEcho(sendEcho_, handle_, address, payload);
        if (!reply.received) {
            continue;
        }
        if (reply.status == 0) {
            return true;
        }
        if (GetDebugFlag()) {
            WriteLogLine(L"ping ip=" + address.ToText() + L" netmask=" + netmask.ToText() +
                         L" gateway=" + gateway.ToText() + L" returned " +
                         StatusText(reply.status));
        }
    }
    return false;
}

std::wstring Ping::StatusText(unsigned long status) {
    static const wchar_t* const texts[] = {
        L"Ping: Buffer to small",                  // 11001
        L"Ping: Destination net unreachable",      // 11002
        L"Ping: Destination host unreachable",     // 11003
        L"Ping: Destination protocol unreachable", // 11004
        L"Ping: Destination port unreachable",     // 11005
        L"Ping: No resources",                     // 11006
        L"Ping: Bad option",                       // 11007
        L"Ping: Hardware error",                   // 11008
        L"Ping: Packet too big",                   // 11009
        L"Ping: Request timed out",                // 11010
        L"Ping: Bad request",                      // 11011
        L"Ping: Bad route",                        // 11012
        L"Ping: TTL expired transit",              // 11013
        L"Ping: TTL expired reassem",              // 11014
        L"Ping: Parameter problem",                // 11015
        L"Ping: Source quench",                    // 11016
        L"Ping: Option too big",                   // 11017
        L"Ping: Bad destination",                  // 11018
    };
    constexpr unsigned long first = 11001;
    if (status < first || status >= first + std::size(texts)) {
        return L"";
    }
    return texts[status - first];
}
