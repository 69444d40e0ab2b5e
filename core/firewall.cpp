// The client's firewall rule.
#include "core/firewall.h"

#include "core/log.h"

bool AllowClientThroughFirewall(Firewall& firewall, const std::wstring& clientPath, Log& log) {
    FirewallRule wanted;
    wanted.program = clientPath;
    wanted.enabled = true;
    wanted.allowsUdpIn = true;
    wanted.allProfiles = true;
    if (firewall.FindRule(kClientRuleName) == wanted) {
        return true;
    }
    if (firewall.PutRule(kClientRuleName, wanted)) {
        return true;
    }
    log.Write(L"the firewall rule for " + wanted.program + L" could not be made");
    return false;
}

std::wstring WithFirewallHint(const std::wstring& reason, const std::wstring& clientPath) {
    // The client's words when no reply ever came (tftp/transfer.cpp).
    if (reason.rfind(L"Timeout: no answer from host", 0) != 0) {
        return reason;
    }
    return reason + L"\nA firewall may be blocking the TFTP server's reply to " + clientPath + L".";
}
