// libFuzzer target: the transfer state machine fed with hostile datagrams and timer events.
//
// Input: 6 header bytes, then events.
//   [0] flags: 1 PUT (else GET), 2 netascii, 4 ask blksize, 8 ask windowsize, 16 ask tsize
//   [1..2] blksize asked (clamped to 8..65464)   [3] windowsize asked (1..255)
//   [4..5] size of the local file of a PUT
//   event: [kind] then, for datagrams, [length high][length low][bytes...]
//     kind % 5: 0 timer fires, 1 datagram from the server's transfer port, 2 from another
//     port of the server, 3 from another host, 4 the clock moves 7 ms
// Checks what must hold whatever arrives: nothing larger than 4 + blksize, no request over
// 512 bytes, nothing but ERROR 5 to strangers, no DATA in answer to a repeated ACK, and an
// end within a bounded number of timer events.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "tftp/transfer.h"

namespace {

using namespace tftp;

class Source : public DataSource {
public:
    explicit Source(std::size_t size) : size_(size) {}
    bool Seek(std::uint64_t offset) override {
        pos_ = static_cast<std::size_t>(offset);
        return pos_ <= size_;
    }
    std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t n) override {
        n = std::min(n, size_ - pos_);
        for (std::size_t i = 0; i < n; ++i) {
            buffer[i] = static_cast<std::uint8_t>("ab\r\n\0"[(pos_ + i) % 5]);
        }
        pos_ += n;
        return static_cast<std::ptrdiff_t>(n);
    }

private:
    std::size_t size_, pos_ = 0;
};

class Sink : public DataSink {
public:
    bool Write(const std::uint8_t*, std::size_t) override { return true; }
};

Peer At(std::uint8_t host, std::uint16_t port) {
    Peer p;
    p.address = {192, 0, 2, host};
    p.port = port;
    return p;
}

void Check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

// The transfer ID is whichever port of the server first drew a non-error answer; from
// then on everything but ERROR 5 must go there.
void CheckOutgoing(const Transfer& t, const std::vector<Datagram>& out, bool repeatedAck,
                   std::optional<Peer>& tid) {
    const Peer server = At(1, 69);
    for (const Datagram& d : out) {
        Check(d.bytes.size() >= 4);
        const int op = (d.bytes[0] << 8) | d.bytes[1];
        if (op == kRrq || op == kWrq) {
            Check(d.to == server);
            Check(d.bytes.size() <= kMaxRequestSize);
            continue;
        }
        Check(d.bytes.size() <= 4 + t.BlockSize());
        const bool error5 = op == kError && d.bytes[2] == 0 && d.bytes[3] == kUnknownTid;
        if (!error5) {
            Check(d.to.SameHost(server));
            if (!tid) {
                tid = d.to;
            }
            Check(d.to == *tid);
        }
        if (op == kData) {
            Check(!repeatedAck);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) {
        return 0;
    }
    Settings s;
    s.direction = (data[0] & 1) ? Direction::Put : Direction::Get;
    s.mode = (data[0] & 2) ? Mode::Netascii : Mode::Octet;
    s.remoteName = "fuzz.bin";
    s.server = At(1, 69);
    if (data[0] & 4) {
        s.blockSize = static_cast<std::uint16_t>(
            std::clamp<int>((data[1] << 8) | data[2], kMinBlockSize, kMaxBlockSize));
    }
    if (data[0] & 8) {
        s.windowSize = static_cast<std::uint16_t>(std::max<int>(data[3], 1));
    }
    s.tsize = (data[0] & 16) != 0;
    const std::size_t file = static_cast<std::size_t>((data[4] << 8) | data[5]);
    s.localSize = file;
    Source source(file);
    Sink sink;
    Transfer t(s, &source, &sink);
    Millis now = 0;
    std::optional<Peer> tid;
    t.Start(now);
    CheckOutgoing(t, t.TakeOutgoing(), false, tid);

    std::string lastDatagram;
    int lastKind = -1;
    std::size_t pos = 6;
    while (pos < size && !t.Finished()) {
        const int kind = data[pos++] % 5;
        if (kind == 0) {
            now = std::max(now, t.Deadline());
            t.Tick(now);
            CheckOutgoing(t, t.TakeOutgoing(), false, tid);
            lastKind = -1;
            continue;
        }
        if (kind == 4) {
            now += 7;
            t.Tick(now);
            CheckOutgoing(t, t.TakeOutgoing(), false, tid);
            continue;
        }
        if (pos + 2 > size) {
            break;
        }
        const std::size_t length =
            std::min<std::size_t>((data[pos] << 8) | data[pos + 1], size - pos - 2);
        pos += 2;
        const std::uint8_t* packet = data + pos;
        pos += length;
        const Peer from = kind == 1 ? At(1, 3000) : kind == 2 ? At(1, 3001) : At(2, 3000);
        const std::string bytes(reinterpret_cast<const char*>(packet), length);
        // The same ACK twice in a row from one port may never draw DATA the second time.
        const bool repeatedAck = s.direction == Direction::Put && length >= 4 && packet[0] == 0 &&
                                 packet[1] == kAck && kind == lastKind && bytes == lastDatagram;
        t.Receive(now, from, packet, length);
        CheckOutgoing(t, t.TakeOutgoing(), repeatedAck, tid);
        lastKind = kind;
        lastDatagram = bytes;
    }
    // Left alone, every transfer ends: the stall limits bound it.
    for (int ticks = 0; !t.Finished(); ++ticks) {
        Check(ticks < 64);
        now = std::max(now, t.Deadline());
        t.Tick(now);
        CheckOutgoing(t, t.TakeOutgoing(), false, tid);
    }
    return 0;
}
