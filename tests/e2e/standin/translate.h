// What the arp.exe and route.exe stand-ins do to the PC's Linux tables: the command line
// a Windows program would get, turned into the `ip` command that makes the same change.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace standin {

// The PC's Linux links as Windows programs name them: by an address on the link (arp's
// interface address) or by the interface index (route's IF); `fallback` when none is named.
struct Links {
    Links(std::string fallbackLink) : fallback(std::move(fallbackLink)) {}
    std::string fallback;
    std::map<std::string, std::string> named; // "10.77.0.1" or "5" -> "pc0"
};
// "10.77.0.1=pc0 5=pc0 ..." (VARNOK_E2E_LINKS).
Links ParseLinks(const std::string& fallback, const std::string& pairs);

// `tool` is "arp" or "route"; `arguments` as the program got them. Nothing for a command
// line the stand-in does not know, or a link it cannot name.
//   arp -s ADDR aa-bb-cc-dd-ee-ff [IFADDR]  ip neigh replace ADDR lladdr aa:bb:.. dev IF nud
//   permanent arp -d ADDR [IFADDR]                    ip neigh del ADDR dev IF route ADD ADDR MASK
//   M GATEWAY [IF N]    ip route add ADDR/len dev IF (GATEWAY 0.0.0.0: on link)
//                                           ip route add ADDR/len via GATEWAY dev IF
//   route DELETE ADDR [MASK M]              ip route del ADDR/len dev IF
std::optional<std::vector<std::string>>
IpCommand(const std::string& tool, std::vector<std::string> arguments, const Links& links);

// The record line for one start: the tool and its arguments, blank-separated.
std::string RecordLine(const std::string& tool, const std::vector<std::string>& arguments);

} // namespace standin
