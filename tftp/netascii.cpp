// Netascii conversion in both directions.
#include "tftp/netascii.h"

namespace tftp {

namespace {
constexpr std::uint8_t kCr = '\r';
constexpr std::uint8_t kLf = '\n';
} // namespace

bool NetasciiEncoder::Flush(std::vector<std::uint8_t>& out, std::size_t capacity) {
    if (state_.pending && out.size() < capacity) {
        out.push_back(state_.byte);
        state_.pending = false;
    }
    return !state_.pending;
}

std::size_t NetasciiEncoder::Encode(const std::uint8_t* in, std::size_t inSize,
                                    std::vector<std::uint8_t>& out, std::size_t capacity) {
    std::size_t used = 0;
    if (!Flush(out, capacity)) {
        return 0;
    }
    while (used < inSize && out.size() < capacity) {
        const std::uint8_t c = in[used++];
        if (c == kLf || c == kCr) {
            out.push_back(kCr);
            state_ = {true, c == kLf ? kLf : std::uint8_t{0}};
            Flush(out, capacity);
        } else {
            out.push_back(c);
        }
    }
    return used;
}

void NetasciiDecoder::Decode(const std::uint8_t* in, std::size_t size,
                             std::vector<std::uint8_t>& out) {
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t c = in[i];
        if (cr_) {
            cr_ = false;
            if (c == kLf) {
                out.push_back(kLf);
                continue;
            }
            out.push_back(kCr);
            if (c == 0) {
                continue;
            }
            // A CR followed by anything else is not netascii; keep both bytes as sent.
        }
        if (c == kCr) {
            cr_ = true;
        } else {
            out.push_back(c);
        }
    }
}

void NetasciiDecoder::Finish(std::vector<std::uint8_t>& out) {
    if (cr_) {
        out.push_back(kCr);
        cr_ = false;
    }
}

} // namespace tftp
