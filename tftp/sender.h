// The sending side of a PUT: the local file read block by block in the transfer's form,
// a window of blocks in flight, and going back to the first block the receiver lacks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "tftp/netascii.h"
#include "tftp/protocol.h"
#include "tftp/retransmission.h"

namespace tftp {

// Reads the local file one block at a time: as it is (octet) or netascii-encoded, which
// reads ahead in chunks of its own. Where a block began is a checkpoint to come back to.
class BlockReader {
public:
    struct Checkpoint {
        std::uint64_t offset = 0;
        NetasciiEncoder::State encoder;
    };

    BlockReader(Mode mode, DataSource* source) : mode_(mode), source_(source) {}

    // The next block, capacity bytes unless the file ends in it; false on a read error.
    bool Fill(std::vector<std::uint8_t>& payload, std::size_t capacity);
    // Back to where a block began; false when the file cannot seek there.
    bool Rewind(const Checkpoint& to);
    Checkpoint Position() const { return {offset_, encoder_.GetState()}; }
    std::uint64_t Offset() const { return offset_; }

private:
    bool FillOctet(std::vector<std::uint8_t>& payload, std::size_t capacity);
    bool FillNetascii(std::vector<std::uint8_t>& payload, std::size_t capacity);

    Mode mode_;
    DataSource* source_;
    std::uint64_t offset_ = 0; // source position of the reader
    NetasciiEncoder encoder_;
    std::vector<std::uint8_t> raw_; // read-ahead of the netascii encoder
    std::size_t rawPos_ = 0;
    bool sourceEnd_ = false;
};

class Sender {
public:
    Sender(Mode mode, DataSource* source) : reader_(mode, source) {}

    // From block 1, in blocks and windows of the sizes agreed.
    void Begin(std::size_t blockSize, std::size_t windowSize);
    // DATA to to for the window from the first block not acknowledged; false when the
    // file cannot be read (the blocks read before it are still in out).
    bool SendWindow(Millis now, const Peer& to, std::vector<Datagram>& out);
    // An ACK's block number. When it acknowledges blocks in flight the window moves on,
    // and the answered block's stamp comes back for timing; nothing for a duplicate or
    // stale ACK.
    std::optional<SendStamp> Acknowledge(std::uint16_t block);

    bool AllAcknowledged() const { return final_ != 0 && base_ == final_; }
    bool LastBlockSent() const { return final_ != 0 && sentEnd_ == final_; }
    // The file's size once its last block has been read; 0 before.
    std::uint64_t LocalBytes() const { return localBytes_; }

private:
    bool ProduceBlock(std::uint64_t block, std::vector<std::uint8_t>& payload);

    BlockReader reader_;
    std::size_t blockSize_ = kDefaultBlockSize;
    std::size_t windowSize_ = 1;
    // Blocks base_+1 .. sentEnd_ are in flight; final_ is the short block once known.
    std::uint64_t base_ = 0;
    std::uint64_t sentEnd_ = 0;
    std::uint64_t final_ = 0;
    std::uint64_t next_ = 1;                          // the block the reader is positioned at
    std::deque<BlockReader::Checkpoint> checkpoints_; // for base_+1 .. next_
    std::deque<SendStamp> sent_;                      // for base_+1 .. sentEnd_
    std::uint64_t localBytes_ = 0;
};

} // namespace tftp
