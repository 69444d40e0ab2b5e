// libFuzzer entry: every frame the simulated unit receives goes through this path.
#include <cstddef>
#include <cstdint>

#include "tests/e2e/unitsim/unit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    unitsim::SimulatedUnit unit({{0x00, 0x50, 0xc2, 0x11, 0x8b, 0xb8}, unitsim::Answer::Echo, 1});
    unit.Receive(data, size);
    if (const auto request = unitsim::ParseEchoRequest(data, size)) {
        unitsim::BuildHostUnreachable(*request, {});
    }
    return 0;
}
