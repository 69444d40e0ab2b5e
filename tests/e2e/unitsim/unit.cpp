#include "tests/e2e/unitsim/unit.h"

namespace unitsim {

namespace {

std::string RecordLine(int attempt, const EchoRequest& request, const Configuration& c,
                       const char* answer, long long atMs) {
    return "{\"attempt\":" + std::to_string(attempt) + ",\"address\":\"" + IpText(c.address) +
           "\",\"netmask\":\"" + IpText(c.netmask) + "\",\"gateway\":\"" + IpText(c.gateway) +
           "\",\"from\":\"" + MacText(request.sourceMac) + "\",\"answer\":\"" + answer +
           "\",\"at\":" + std::to_string(atMs) + "}";
}

} // namespace

Reaction SimulatedUnit::Receive(const std::uint8_t* frame, std::size_t size, long long sinceStartMs,
                                long long atMs) {
    Reaction reaction;
    const std::optional<EchoRequest> request = ParseEchoRequest(frame, size);
    if (!request || request->destinationMac != options_.mac) {
        return reaction;
    }
    const std::optional<Configuration> configuration = ConfigurationOf(*request);
    if (!configuration) {
        return reaction; // an ordinary echo: the kernel answers once an address is held
    }
    const int attempt = ++echoes_;
    if (address_ == configuration->address) {
        // The address is held: the kernel has answered this echo already.
        reaction.record = RecordLine(attempt, *request, *configuration, "kernel", atMs);
        return reaction;
    }
    if (options_.windowMs > 0 && sinceStartMs > options_.windowMs) {
        reaction.record = RecordLine(attempt, *request, *configuration, "late", atMs);
        return reaction;
    }
    if (options_.answer == Answer::Never || attempt < options_.answerFrom) {
        reaction.record = RecordLine(attempt, *request, *configuration, "none", atMs);
        return reaction;
    }
    if (options_.answer == Answer::Error) {
        reaction.send = BuildHostUnreachable(*request, options_.mac);
        reaction.record = RecordLine(attempt, *request, *configuration, "error", atMs);
        return reaction;
    }
    reaction.configure = configuration;
    reaction.send = BuildEchoReply(*request, options_.mac);
    reaction.record = RecordLine(attempt, *request, *configuration, "echo", atMs);
    address_ = configuration->address;
    return reaction;
}

} // namespace unitsim
