// The simulated unit on the wire: a raw packet socket on one interface of the unit's
// network namespace. It configures that interface with what the configuration echo
// carries (through `ip`), so that from then on the kernel answers like a unit that has
// its address. Run inside the namespace:
//   unitsim --interface IF --records FILE [--ready FILE] [--answer echo|error|never]
//           [--answer-from N] [--window SECONDS] [--holds ADDRESS/PREFIX]
// With --window, configuration echoes that come more than SECONDS after the start go
// unanswered, as with a unit whose power reset is that long ago. With --holds, the unit
// starts with that address, as one commissioned before.
#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/unitsim/unit.h"

extern char** environ;

namespace {

using namespace unitsim;

int Usage() {
    std::fprintf(stderr, "usage: unitsim --interface IF --records FILE [--ready FILE] "
                         "[--answer echo|error|never] [--answer-from N] [--window SECONDS] "
                         "[--holds ADDRESS/PREFIX]\n");
    return 2;
}

bool RunIp(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    std::string ip = "ip";
    argv.push_back(ip.data());
    std::vector<std::string> copy = arguments;
    for (std::string& a : copy) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t child;
    if (posix_spawnp(&child, "ip", nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Takes the address as a unit does after its power reset: whatever it held goes.
void Configure(const std::string& interface, const Configuration& c) {
    const int prefix = PrefixLength(c.netmask) == 0 ? 32 : PrefixLength(c.netmask);
    RunIp({"-4", "addr", "flush", "dev", interface});
    if (!RunIp(
            {"addr", "add", IpText(c.address) + "/" + std::to_string(prefix), "dev", interface})) {
        std::fprintf(stderr, "unitsim: could not take %s\n", IpText(c.address).c_str());
    }
    if (c.gateway != Ip4{}) {
        RunIp(
            {"route", "replace", "default", "via", IpText(c.gateway), "dev", interface, "onlink"});
    }
}

// "10.0.0.50/24" as the configuration a unit commissioned before holds.
std::optional<Configuration> HeldConfiguration(const std::string& text) {
    const std::size_t slash = text.find('/');
    Configuration c;
    if (slash == std::string::npos ||
        inet_pton(AF_INET, text.substr(0, slash).c_str(), c.address.data()) != 1) {
        return std::nullopt;
    }
    const int prefix = std::atoi(text.c_str() + slash + 1);
    if (prefix < 1 || prefix > 32) {
        return std::nullopt;
    }
    const std::uint32_t mask = htonl(0xffffffffu << (32 - prefix));
    std::memcpy(c.netmask.data(), &mask, 4);
    return c;
}

void AppendLine(const std::string& file, const std::string& line) {
    std::ofstream out(file, std::ios::app);
    out << line << '\n';
}

} // namespace

int main(int argc, char** argv) {
    std::string interface, records, ready;
    UnitOptions options;
    std::optional<Configuration> held;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--interface") {
            interface = value;
        } else if (name == "--records") {
            records = value;
        } else if (name == "--ready") {
            ready = value;
        } else if (name == "--window") {
            options.windowMs = std::atoll(value.c_str()) * 1000;
        } else if (name == "--holds") {
            held = HeldConfiguration(value);
            if (!held) {
                return Usage();
            }
        } else if (name == "--answer-from") {
            options.answerFrom = std::atoi(value.c_str());
        } else if (name == "--answer" && value == "echo") {
            options.answer = Answer::Echo;
        } else if (name == "--answer" && value == "error") {
            options.answer = Answer::Error;
        } else if (name == "--answer" && value == "never") {
            options.answer = Answer::Never;
        } else {
            return Usage();
        }
    }
    if (argc % 2 == 0 || interface.empty() || records.empty()) {
        return Usage();
    }

    const int fd = socket(AF_PACKET, SOCK_RAW, htons(ETH_P_ALL));
    if (fd < 0) {
        std::perror("unitsim: packet socket");
        return 1;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, interface.c_str(), IFNAMSIZ - 1);
    if (ioctl(fd, SIOCGIFHWADDR, &request) < 0) {
        std::perror("unitsim: interface");
        return 1;
    }
    std::memcpy(options.mac.data(), request.ifr_hwaddr.sa_data, 6);
    sockaddr_ll link{};
    link.sll_family = AF_PACKET;
    link.sll_protocol = htons(ETH_P_ALL);
    link.sll_ifindex = static_cast<int>(if_nametoindex(interface.c_str()));
    if (link.sll_ifindex == 0 || bind(fd, reinterpret_cast<sockaddr*>(&link), sizeof link) < 0) {
        std::perror("unitsim: bind");
        return 1;
    }
    if (held) {
        Configure(interface, *held);
    }
    if (!ready.empty()) {
        AppendLine(ready, MacText(options.mac));
    }

    const auto started = std::chrono::steady_clock::now();
    SimulatedUnit unit(options);
    std::vector<std::uint8_t> frame(65536);
    for (;;) {
        sockaddr_ll from{};
        socklen_t fromSize = sizeof from;
        const ssize_t n = recvfrom(fd, frame.data(), frame.size(), 0,
                                   reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::perror("unitsim: receive");
            return 1;
        }
        if (from.sll_pkttype == PACKET_OUTGOING) {
            continue; // our own replies and the kernel's
        }
        const long long sinceStart = std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - started)
                                         .count();
        const long long at = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
        const Reaction reaction =
            unit.Receive(frame.data(), static_cast<std::size_t>(n), sinceStart, at);
        if (reaction.configure) {
            Configure(interface, *reaction.configure);
        }
        if (!reaction.send.empty() && sendto(fd, reaction.send.data(), reaction.send.size(), 0,
                                             reinterpret_cast<sockaddr*>(&link), sizeof link) < 0) {
            std::perror("unitsim: send");
        }
        if (!reaction.record.empty()) {
            AppendLine(records, reaction.record);
        }
    }
}
