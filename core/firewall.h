// The firewall rule that lets the TFTP server's replies reach the client. The server
// answers from a new port, which a firewall takes for unsolicited inbound traffic and
// drops: without the rule, uploads from a default Windows PC time out.
#pragma once

#include <optional>
#include <string>

class Log;

constexpr wchar_t kClientRuleName[] = L"Varnok TFTP client";

enum class RulesHeeded { Yes, No, Unknown };

// An inbound firewall rule for one program.
struct FirewallRule {
    std::wstring program; // its full path
    bool enabled = false;
    bool allowsUdpIn = false; // inbound, UDP, allow
    bool allProfiles = false; // domain, private and public
    // From the local subnet alone: the units are on the segment, and nothing from beyond a
    // router has any reason to reach the client.
    bool localSubnetOnly = false;

    bool operator==(const FirewallRule&) const = default;
};

// The PC's firewall; Windows Firewall on Windows (win32/roles.h).
class Firewall {
public:
    virtual ~Firewall() = default;
    // The rule called `name`; nothing when there is none or it cannot be read.
    virtual std::optional<FirewallRule> FindRule(const std::wstring& name) = 0;
    // Creates the rule called `name`, or makes it `rule`; false when the firewall refused.
    virtual bool PutRule(const std::wstring& name, const FirewallRule& rule) = 0;
    // Whether it heeds the PC's own rules at all: a domain's group policy may override
    // them, or "block all incoming connections" ignore them.
    virtual RulesHeeded LocalRulesHeeded() = 0;
};

// Makes the rule exist as it should, for the client at `clientPath`: inbound UDP allowed
// from the local subnet only, all profiles, enabled. Creates it once, corrects it when it differs
// (the path changed). False (and logged) when the firewall refused, or ignores the PC's own rules;
// an upload goes on regardless.
bool AllowClientThroughFirewall(Firewall& firewall, const std::wstring& clientPath, Log& log);

// The second line of a failed upload: `reason`, and when the server never answered
// while the rule could not be made, that a firewall may be the cause.
std::wstring WithFirewallHint(const std::wstring& reason, const std::wstring& clientPath);
