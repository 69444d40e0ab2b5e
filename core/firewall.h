// The firewall rule that lets the TFTP server's replies reach the client. The server
// answers from a new port, which a firewall takes for unsolicited inbound traffic and
// drops: without the rule, uploads from a default Windows PC time out.
#pragma once

#include "core/system.h"

constexpr wchar_t kClientRuleName[] = L"Varnok TFTP client";

// Makes the rule exist as it should, for the client's path: inbound UDP allowed, all
// profiles, enabled. Creates it once, corrects it when it differs (the path changed). False
// when the firewall refused; an upload goes on regardless.
bool AllowClientThroughFirewall(System& system);

// The second line of a failed upload: `reason`, and when the server never answered
// while the rule could not be made, that a firewall may be the cause.
std::wstring WithFirewallHint(const std::wstring& reason, const std::wstring& clientPath);
