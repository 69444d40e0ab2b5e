// Windows Firewall's rules through INetFwPolicy2 and INetFwRule.
#include "win32/firewall.h"

#include <netfw.h>

#include "win32/com.h"

namespace {

UniqueBstr Bstr(const std::wstring& text) {
    return UniqueBstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

bool OpenPolicy(ComOwner<INetFwPolicy2>& policy) {
    return SUCCEEDED(::CoCreateInstance(__uuidof(NetFwPolicy2), nullptr, CLSCTX_INPROC_SERVER,
                                        __uuidof(INetFwPolicy2), policy.put_void()));
}

bool OpenRules(ComOwner<INetFwRules>& rules) {
    ComOwner<INetFwPolicy2> policy;
    return OpenPolicy(policy) && SUCCEEDED(policy->get_Rules(rules.put())) && rules;
}

bool FindRule(INetFwRules* rules, const std::wstring& name, ComOwner<INetFwRule>& rule) {
    const UniqueBstr text = Bstr(name);
    return SUCCEEDED(rules->Item(text.get(), rule.put())) && rule;
}

// The remote addresses of the local subnet, as the firewall names them (in any letter case).
constexpr wchar_t kLocalSubnet[] = L"LocalSubnet";

// Sets every property the rule must have; true when the firewall took them all.
bool Shape(INetFwRule* rule, const std::wstring& name, const FirewallRule& wanted) {
    const UniqueBstr ruleName = Bstr(name);
    const UniqueBstr program = Bstr(wanted.program);
    const UniqueBstr remote = Bstr(wanted.localSubnetOnly ? kLocalSubnet : L"*");
    const UniqueBstr description = Bstr(L"Lets the replies of a unit's TFTP server reach the "
                                        L"client that Varnok uploads images with.");
    return SUCCEEDED(rule->put_Name(ruleName.get())) &&
           SUCCEEDED(rule->put_Description(description.get())) &&
           SUCCEEDED(rule->put_ApplicationName(program.get())) &&
           SUCCEEDED(rule->put_Protocol(NET_FW_IP_PROTOCOL_UDP)) &&
           SUCCEEDED(rule->put_Direction(NET_FW_RULE_DIR_IN)) &&
           SUCCEEDED(rule->put_RemoteAddresses(remote.get())) &&
           SUCCEEDED(rule->put_Action(NET_FW_ACTION_ALLOW)) &&
           SUCCEEDED(rule->put_Profiles(wanted.allProfiles ? NET_FW_PROFILE2_ALL : 0)) &&
           SUCCEEDED(rule->put_Enabled(wanted.enabled ? VARIANT_TRUE : VARIANT_FALSE));
}

} // namespace

std::optional<FirewallRule> FindWindowsFirewallRule(const std::wstring& name) {
    const ComScope com; // whichever thread asks: the command line's too
    ComOwner<INetFwRules> rules;
    ComOwner<INetFwRule> rule;
    if (!OpenRules(rules) || !FindRule(rules.get(), name, rule)) {
        return std::nullopt;
    }
    FirewallRule found;
    BSTR program = nullptr;
    if (SUCCEEDED(rule->get_ApplicationName(&program)) && program) {
        found.program.assign(program, ::SysStringLen(program));
    }
    const UniqueBstr programOwner(program);
    LONG protocol = 0;
    NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_OUT;
    NET_FW_ACTION action = NET_FW_ACTION_BLOCK;
    LONG profiles = 0;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    found.allowsUdpIn =
        SUCCEEDED(rule->get_Protocol(&protocol)) && protocol == NET_FW_IP_PROTOCOL_UDP &&
        SUCCEEDED(rule->get_Direction(&direction)) && direction == NET_FW_RULE_DIR_IN &&
        SUCCEEDED(rule->get_Action(&action)) && action == NET_FW_ACTION_ALLOW;
    found.allProfiles = SUCCEEDED(rule->get_Profiles(&profiles)) &&
                        (profiles & NET_FW_PROFILE2_ALL) == NET_FW_PROFILE2_ALL;
    found.enabled = SUCCEEDED(rule->get_Enabled(&enabled)) && enabled == VARIANT_TRUE;
    BSTR remote = nullptr;
    const bool readRemote = SUCCEEDED(rule->get_RemoteAddresses(&remote)) && remote;
    const UniqueBstr remoteOwner(remote);
    found.localSubnetOnly =
        readRemote && ::CompareStringOrdinal(remote, static_cast<int>(::SysStringLen(remote)),
                                             kLocalSubnet, -1, TRUE) == CSTR_EQUAL;
    return found;
}

bool PutWindowsFirewallRule(const std::wstring& name, const FirewallRule& wanted) {
    const ComScope com;
    ComOwner<INetFwRules> rules;
    if (!OpenRules(rules)) {
        return false;
    }
    // A rule of that name is put right in place (its path may be an older one).
    if (ComOwner<INetFwRule> existing; FindRule(rules.get(), name, existing)) {
        return Shape(existing.get(), name, wanted);
    }
    ComOwner<INetFwRule> rule;
    if (FAILED(::CoCreateInstance(__uuidof(NetFwRule), nullptr, CLSCTX_INPROC_SERVER,
                                  __uuidof(INetFwRule), rule.put_void()))) {
        return false;
    }
    return Shape(rule.get(), name, wanted) && SUCCEEDED(rules->Add(rule.get()));
}

RulesHeeded WindowsFirewallHeedsLocalRules() {
    const ComScope com;
    ComOwner<INetFwPolicy2> policy;
    NET_FW_MODIFY_STATE state = NET_FW_MODIFY_STATE_OK;
    if (!OpenPolicy(policy) || FAILED(policy->get_LocalPolicyModifyState(&state))) {
        return RulesHeeded::Unknown;
    }
    // A group policy over the PC's own rules, or all incoming traffic blocked whatever
    // the rules say.
    return state == NET_FW_MODIFY_STATE_OK ? RulesHeeded::Yes : RulesHeeded::No;
}
