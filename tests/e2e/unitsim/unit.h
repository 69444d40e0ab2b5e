// The simulated unit's behaviour, apart from sockets and the system's tables: which
// frames it acts on, what it answers and what it records. A unit just switched on has
// no address and listens only for the configuration echo sent to its own MAC.
#pragma once

#include <optional>
#include <string>

#include "tests/e2e/unitsim/frames.h"

namespace unitsim {

enum class Answer {
    Echo,  // take the configuration and answer with an echo reply
    Error, // answer every configuration echo with "host unreachable", take nothing
    Never, // stay silent
};

struct UnitOptions {
    Mac mac{};
    Answer answer = Answer::Echo;
    int answerFrom = 1; // configuration echoes before this one go unanswered
    // A real unit takes its configuration only so long after its power reset: echoes
    // after this many milliseconds from its start go unanswered. 0: no such limit.
    long long windowMs = 0;
};

// What one received frame leads to; everything empty for a frame the unit ignores.
struct Reaction {
    std::optional<Configuration> configure; // take this address, netmask and gateway
    Bytes send;                             // a frame to put on the wire
    std::string record;                     // one JSON line, without line end
};

class SimulatedUnit {
public:
    explicit SimulatedUnit(const UnitOptions& options) : options_(options) {}

    // `sinceStartMs`: the time since the unit was switched on; `atMs`: the wall clock's time
    // (milliseconds since 1970), which the record carries so that a scenario can hold it
    // against the moment the unit's link came up.
    Reaction Receive(const std::uint8_t* frame, std::size_t size, long long sinceStartMs = 0,
                     long long atMs = 0);

    // The address taken from the last configuration answered, if any.
    const std::optional<Ip4>& Address() const { return address_; }

private:
    UnitOptions options_;
    int echoes_ = 0; // configuration echoes received so far
    std::optional<Ip4> address_;
};

} // namespace unitsim
