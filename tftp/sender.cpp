// The PUT side: reading blocks, and the go-back-N window of RFC 7440.
#include "tftp/sender.h"

#include <algorithm>

#include "tftp/packet.h"

namespace tftp {

bool BlockReader::Fill(std::vector<std::uint8_t>& payload, std::size_t capacity) {
    payload.clear();
    return mode_ == Mode::Octet ? FillOctet(payload, capacity) : FillNetascii(payload, capacity);
}

bool BlockReader::FillOctet(std::vector<std::uint8_t>& payload, std::size_t capacity) {
    while (payload.size() < capacity && !sourceEnd_) {
        const std::size_t have = payload.size();
        payload.resize(capacity);
        const std::ptrdiff_t n = source_->Read(payload.data() + have, capacity - have);
        payload.resize(have + static_cast<std::size_t>(std::max<std::ptrdiff_t>(n, 0)));
        if (n < 0) {
            return false;
        }
        sourceEnd_ = n == 0;
        offset_ += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool BlockReader::FillNetascii(std::vector<std::uint8_t>& payload, std::size_t capacity) {
    while (encoder_.Flush(payload, capacity) && payload.size() < capacity) {
        if (rawPos_ == raw_.size()) {
            if (sourceEnd_) {
                break;
            }
            raw_.resize(4096);
            rawPos_ = 0;
            const std::ptrdiff_t n = source_->Read(raw_.data(), raw_.size());
            raw_.resize(static_cast<std::size_t>(std::max<std::ptrdiff_t>(n, 0)));
            if (n < 0) {
                return false;
            }
            sourceEnd_ = n == 0;
            continue;
        }
        const std::size_t used =
            encoder_.Encode(raw_.data() + rawPos_, raw_.size() - rawPos_, payload, capacity);
        rawPos_ += used;
        offset_ += used;
    }
    return true;
}

bool BlockReader::Rewind(const Checkpoint& to) {
    if (!source_->Seek(to.offset)) {
        return false;
    }
    offset_ = to.offset;
    encoder_.SetState(to.encoder);
    raw_.clear();
    rawPos_ = 0;
    sourceEnd_ = false;
    return true;
}

void Sender::Begin(std::size_t blockSize, std::size_t windowSize) {
    blockSize_ = blockSize;
    windowSize_ = windowSize;
    base_ = 0;
    sentEnd_ = 0;
    next_ = 1;
    checkpoints_.assign(1, BlockReader::Checkpoint{});
}

bool Sender::ProduceBlock(std::uint64_t block, std::vector<std::uint8_t>& payload) {
    if (block != next_) {
        // Going back: rewind the reader to where this block began.
        if (!reader_.Rewind(checkpoints_[block - base_ - 1])) {
            return false;
        }
        checkpoints_.resize(block - base_);
        next_ = block;
    }
    if (!reader_.Fill(payload, blockSize_)) {
        return false;
    }
    if (payload.size() < blockSize_) {
        // The short block ends the file, even a 0-byte one after a full last block.
        final_ = block;
        localBytes_ = reader_.Offset();
    }
    next_ = block + 1;
    checkpoints_.push_back(reader_.Position());
    return true;
}

bool Sender::SendWindow(Millis now, const Peer& to, std::vector<Datagram>& out) {
    const std::uint64_t oldEnd = sentEnd_;
    std::vector<std::uint8_t> payload;
    for (std::uint64_t b = base_ + 1; b <= base_ + windowSize_ && (final_ == 0 || b <= final_);
         ++b) {
        if (!ProduceBlock(b, payload)) {
            return false;
        }
        out.push_back({to, DataPacket(b, payload)});
        const std::size_t index = static_cast<std::size_t>(b - base_ - 1);
        const SendStamp stamp{now, b <= oldEnd};
        if (index < sent_.size()) {
            sent_[index] = stamp;
        } else {
            sent_.push_back(stamp);
        }
        sentEnd_ = std::max(sentEnd_, b);
    }
    return true;
}

std::optional<SendStamp> Sender::Acknowledge(std::uint16_t block) {
    // Blocks are numbered modulo 65536; an ACK counts only if it lies in the window.
    const std::uint64_t ahead = static_cast<std::uint16_t>(block - base_);
    if (ahead == 0 || ahead > sentEnd_ - base_) {
        return std::nullopt;
    }
    const SendStamp answered = sent_[ahead - 1];
    base_ += ahead;
    sent_.erase(sent_.begin(), sent_.begin() + static_cast<std::ptrdiff_t>(ahead));
    checkpoints_.erase(checkpoints_.begin(),
                       checkpoints_.begin() + static_cast<std::ptrdiff_t>(ahead));
    return answered;
}

} // namespace tftp
