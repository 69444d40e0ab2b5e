// The firewall rule behind System::FindFirewallRule and PutFirewallRule: Windows
// Firewall's rule set through INetFwPolicy2. COM must be started on the calling thread.
#pragma once

#include <optional>
#include <string>

#include "core/system.h"

std::optional<FirewallRule> FindWindowsFirewallRule(const std::wstring& name);
bool PutWindowsFirewallRule(const std::wstring& name, const FirewallRule& rule);
