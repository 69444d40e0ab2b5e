// Shared texts.
#include "app/wording.h"

#include "res/string_ids.h"
#include "win32/win32.h"

std::wstring AddressFaultText(AddressFault fault) {
    static constexpr struct {
        AddressFault fault;
        unsigned text;
    } kTexts[] = {
        {AddressFault::IpMissing, IDS_IP_MISSING},
        {AddressFault::IpLoopback, IDS_IP_LOOPBACK},
        {AddressFault::IpNotUnicast, IDS_IP_NOT_UNICAST},
        {AddressFault::IpOwn, IDS_IP_OWN},
        {AddressFault::NetmaskMissing, IDS_NETMASK_MISSING},
        {AddressFault::NetmaskNotContiguous, IDS_NETMASK_NOT_CONTIGUOUS},
        {AddressFault::IpIsNetworkAddress, IDS_IP_NETWORK},
        {AddressFault::IpIsBroadcastAddress, IDS_IP_BROADCAST},
        {AddressFault::GatewayOutsideSubnet, IDS_GATEWAY_OUTSIDE},
        {AddressFault::GatewayIsIp, IDS_GATEWAY_IS_IP},
    };
    for (const auto& each : kTexts) {
        if (each.fault == fault) {
            return LoadStringText(each.text);
        }
    }
    return L"";
}

std::wstring ListProblemText(const ListProblem& problem) {
    const std::wstring text =
        problem.fault == AddressFault::None ? problem.text : AddressFaultText(problem.fault);
    return problem.line == 0 ? text : L"Line " + std::to_wstring(problem.line) + L": " + text;
}

std::wstring UnitStatusText(bool succeeded, const std::wstring& reason) {
    if (succeeded) {
        return LoadStringText(IDS_SUCCESS);
    }
    return LoadStringText(IDS_FAILED) + (reason.empty() ? L"" : L" " + reason);
}
