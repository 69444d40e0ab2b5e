// The GET side: blocks written in order, and when they are acknowledged.
#include "tftp/receiver.h"

namespace tftp {

std::optional<SendStamp> Receiver::AnsweredAck() const {
    if (inWindow_ != 0) {
        return std::nullopt;
    }
    return ackSent_;
}

bool Receiver::Store(const std::uint8_t* payload, std::size_t size, bool last) {
    const std::uint8_t* bytes = payload;
    std::size_t count = size;
    if (mode_ == Mode::Netascii) {
        decoded_.clear();
        decoder_.Decode(payload, size, decoded_);
        if (last) {
            decoder_.Finish(decoded_);
        }
        bytes = decoded_.data();
        count = decoded_.size();
    }
    if (count != 0 && !sink_->Write(bytes, count)) {
        return false;
    }
    localBytes_ += count;
    ++expected_;
    ++inWindow_;
    outOfPlace_ = 0;
    return true;
}

void Receiver::AckSent(Millis now) {
    inWindow_ = 0;
    ackSent_ = {now, false};
}

void Receiver::AckResent() {
    inWindow_ = 0;
    ackSent_.resent = true;
}

} // namespace tftp
