// The firewall rule behind the Firewall role: Windows Firewall's rule set through
// INetFwPolicy2. COM is started on the calling thread for each call where it is not yet.
#pragma once

#include <optional>
#include <string>

#include "core/firewall.h"

std::optional<FirewallRule> FindWindowsFirewallRule(const std::wstring& name);
bool PutWindowsFirewallRule(const std::wstring& name, const FirewallRule& rule);
// Whether the firewall heeds the rules made on this PC.
RulesHeeded WindowsFirewallHeedsLocalRules();
