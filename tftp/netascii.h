// Netascii (RFC 764 line ends, as TFTP uses them): on the wire every LF travels as CR LF
// and every CR that is not the start of such a pair as CR NUL. Both directions are
// streaming, because a pair may be split across two DATA blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tftp {

class NetasciiEncoder {
public:
    // The second byte of a pair that did not fit into the previous block.
    struct State {
        bool pending = false;
        std::uint8_t byte = 0;
    };

    // Encodes from in[0..inSize) into out until out holds capacity bytes. Returns how
    // many input bytes were consumed; the encoder may keep one output byte pending.
    std::size_t Encode(const std::uint8_t* in, std::size_t inSize, std::vector<std::uint8_t>& out,
                       std::size_t capacity);
    // Moves a pending byte into out if there is room; true when nothing is left pending.
    bool Flush(std::vector<std::uint8_t>& out, std::size_t capacity);

    State GetState() const { return state_; }
    void SetState(State s) { state_ = s; }

private:
    State state_;
};

class NetasciiDecoder {
public:
    // Appends the local form of in[0..size) to out.
    void Decode(const std::uint8_t* in, std::size_t size, std::vector<std::uint8_t>& out);
    // At the end of the file: a CR still waiting for its partner stands for itself.
    void Finish(std::vector<std::uint8_t>& out);

private:
    bool cr_ = false;
};

} // namespace tftp
