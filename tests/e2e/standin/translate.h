// What the arp.exe and route.exe stand-ins do to the PC's Linux tables: the command line
// a Windows program would get, turned into the `ip` command that makes the same change.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace standin {

// `tool` is "arp" or "route"; `arguments` as the program got them; `interface` the PC's
// side of the segment. Nothing for a command line the stand-in does not know.
//   arp -s ADDR aa-bb-cc-dd-ee-ff     ip neigh replace ADDR lladdr aa:bb:.. dev IF nud permanent
//   arp -d ADDR                       ip neigh del ADDR dev IF
//   route ADD ADDR MASK M GATEWAY     ip route add ADDR/len dev IF   (GATEWAY 0.0.0.0: on link)
//                                     ip route add ADDR/len via GATEWAY dev IF
//   route DELETE ADDR                 ip route del ADDR/32 dev IF
std::optional<std::vector<std::string>> IpCommand(const std::string& tool,
                                                  const std::vector<std::string>& arguments,
                                                  const std::string& interface);

// The record line for one start: the tool and its arguments, blank-separated.
std::string RecordLine(const std::string& tool, const std::vector<std::string>& arguments);

} // namespace standin
