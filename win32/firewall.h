// The firewall rule behind the Firewall role: Windows
// Firewall's rule set through INetFwPolicy2. COM must be started on the calling thread.
#pragma once

#include <optional>
#include <string>

#include "core/firewall.h"

std::optional<FirewallRule> FindWindowsFirewallRule(const std::wstring& name);
bool PutWindowsFirewallRule(const std::wstring& name, const FirewallRule& rule);
