// The client's firewall rule.
#include "core/firewall.h"

#include "core/log.h"

bool AllowClientThroughFirewall(Firewall& firewall, const std::wstring& clientPath, Log& log) {
    FirewallRule wanted;
    wanted.program = clientPath;
    wanted.enabled = true;
    wanted.allowsUdpIn = true;
    wanted.allProfiles = true;
    wanted.localSubnetOnly = true;
    if (firewall.FindRule(kClientRuleName) != wanted &&
        !firewall.PutRule(kClientRuleName, wanted)) {
        log.Write(L"the firewall rule for " + wanted.program + L" could not be made");
        return false;
    }
    if (firewall.LocalRulesHeeded() == RulesHeeded::No) {
        log.Write(L"the firewall ignores the rules made on this PC (group policy, or all "
                  L"incoming connections blocked)");
        return false;
    }
    return true;
}

std::wstring WithFirewallHint(const std::wstring& reason, const std::wstring& clientPath) {
    // The client's words when no reply ever came (tftp/transfer.cpp).
    if (reason.rfind(L"Timeout: no answer from host", 0) != 0) {
        return reason;
    }
    return reason + L"\nA firewall may be blocking the TFTP server's reply to " + clientPath + L".";
}
