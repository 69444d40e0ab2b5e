// Asking the segment who holds an address.
#include "core/address_holder.h"

#include <cwctype>

#include "core/log.h"

std::optional<std::wstring> AddressHolder(Echoes& echoes, PcTables& tables, Clock& clock, Log& log,
                                          const UnitPath& path, const IPv4Address& address) {
    std::optional<IPv4Address> source;
    unsigned long index = 0;
    if (path.adapter) {
        source = path.source;
        index = path.adapter->index;
    }
    EchoOpening opening = echoes.Open(source);
    if (!opening.channel) {
        return std::nullopt;
    }
    // A plain echo: data without the configuration's marker, so no unit takes it as one.
    const EchoPayload plain{};
    const std::uint64_t start = clock.Milliseconds();
    opening.channel->Send(address, plain, kHolderAnswerMs, {});
    opening.channel.reset();
    std::optional<std::wstring> mac = tables.NeighbourMac(address, index);
    if (mac) {
        for (wchar_t& c : *mac) {
            c = static_cast<wchar_t>(std::towlower(c));
        }
    }
    if (log.On()) {
        log.Write(L"who holds " + address.ToText() + L": " + (mac ? *mac : L"nobody") + L" (" +
                  std::to_wstring(clock.Milliseconds() - start) + L" ms)");
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
