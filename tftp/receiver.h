// The receiving side of a GET: which block comes next, how many have arrived since the
// last ACK, and the file written as it arrives (netascii decoded).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "tftp/netascii.h"
#include "tftp/protocol.h"
#include "tftp/retransmission.h"

namespace tftp {

class Receiver {
public:
    Receiver(Mode mode, DataSink* sink) : mode_(mode), sink_(sink) {}

    // The block number the next DATA must carry, modulo 65536.
    std::uint16_t Wanted() const { return static_cast<std::uint16_t>(expected_ & 0xffff); }
    // The last block written: what every ACK names.
    std::uint64_t LastStored() const { return expected_ - 1; }
    // Another block than the wanted one arrived; true when it is to draw an ACK.
    bool OutOfPlace(std::size_t windowSize) { return outOfPlace_++ % windowSize == 0; }
    // The ACK the wanted block answers, when it is the first block since that ACK.
    std::optional<SendStamp> AnsweredAck() const;
    // Writes the wanted block; last: the file ends with it. False when the file cannot be
    // written.
    bool Store(const std::uint8_t* payload, std::size_t size, bool last);
    bool WindowFull(std::size_t windowSize) const { return inWindow_ >= windowSize; }
    // An ACK went for a window: the next block's round trip is timed from now.
    void AckSent(Millis now);
    // An ACK went again, or none can be timed yet: the next block gives no sample.
    void AckResent();
    std::uint64_t LocalBytes() const { return localBytes_; }

private:
    Mode mode_;
    DataSink* sink_;
    std::uint64_t expected_ = 1; // the next block wanted
    std::size_t inWindow_ = 0;   // blocks since the last ACK
    std::size_t outOfPlace_ = 0;
    SendStamp ackSent_;
    NetasciiDecoder decoder_;
    std::vector<std::uint8_t> decoded_;
    std::uint64_t localBytes_ = 0;
};

} // namespace tftp
