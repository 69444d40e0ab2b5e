// Asking the segment who holds an address.
#include "core/address_holder.h"

#include <chrono>
#include <cwctype>

#include "core/log.h"

std::optional<std::wstring> AddressHolder(System& system, const UnitPath& path,
                                          const IPv4Address& address) {
    std::optional<IPv4Address> source;
    unsigned long index = 0;
    if (path.adapter) {
        source = path.source;
        index = path.adapter->index;
    }
    EchoOpening opening = system.OpenEcho(source);
    if (!opening.channel) {
        return std::nullopt;
    }
    // A plain echo: data without the configuration's marker, so no unit takes it as one.
    const EchoPayload plain{};
    const auto start = std::chrono::steady_clock::now();
    opening.channel->Send(address, plain, kHolderAnswerMs);
    opening.channel.reset();
    std::optional<std::wstring> mac = system.NeighbourMac(address, index);
    if (mac) {
        for (wchar_t& c : *mac) {
            c = static_cast<wchar_t>(std::towlower(c));
        }
    }
    if (GetDebugFlag()) {
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        WriteLogLine(L"who holds " + address.ToText() + L": " + (mac ? *mac : L"nobody") + L" (" +
                     std::to_wstring(spent.count()) + L" ms)");
    }
    return mac;
}

std::wstring AddressInUseText(const IPv4Address& address, const std::wstring& mac) {
    return L"The address " + address.ToText() + L" is already in use by the device with MAC " +
           mac + L".";
}

bool SameMac(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto norm = [](wchar_t c) {
            return c == L':' ? L'-' : static_cast<wchar_t>(std::towlower(c));
        };
        if (norm(a[i]) != norm(b[i])) {
            return false;
        }
    }
    return true;
}
