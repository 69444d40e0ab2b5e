// The TFTP protocol of one transfer (RFC 1350 with the option extensions of RFC 2347,
// 2348, 2349 and 7440) as a state machine. It owns no socket and no clock: the driver
// hands it datagrams with their source and the current time, and takes back what to send
// and when it next wants to be woken. That keeps every protocol rule testable without a
// network, and lets the fuzzer drive it directly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "tftp/netascii.h"

namespace tftp {

using Millis = std::int64_t;

enum Opcode : std::uint16_t { kRrq = 1, kWrq = 2, kData = 3, kAck = 4, kError = 5, kOack = 6 };

enum ErrorCode : std::uint16_t {
    kNotDefined = 0,
    kFileNotFound = 1,
    kAccessViolation = 2,
    kDiskFull = 3,
    kIllegalOperation = 4,
    kUnknownTid = 5,
    kFileExists = 6,
    kNoSuchUser = 7,
    kOptionRefused = 8,
};

constexpr std::size_t kDefaultBlockSize = 512;
constexpr std::size_t kMaxRequestSize = 512;
constexpr std::uint16_t kMinBlockSize = 8;
constexpr std::uint16_t kMaxBlockSize = 65464;

// A UDP endpoint in a form the state machine can compare; the driver converts.
struct Peer {
    std::uint8_t family = 4; // 4 or 6
    std::array<std::uint8_t, 16> address{};
    std::uint32_t scope = 0;
    std::uint16_t port = 0;

    bool SameHost(const Peer& o) const {
        return family == o.family && address == o.address && scope == o.scope;
    }
    friend bool operator==(const Peer&, const Peer&) = default;
};

struct Datagram {
    Peer to;
    std::vector<std::uint8_t> bytes;
};

enum class Direction { Get, Put };
enum class Mode { Octet, Netascii };

struct Settings {
    Direction direction = Direction::Put;
    Mode mode = Mode::Octet;
    std::string remoteName;
    Peer server;                  // port 69 normally
    std::uint16_t blockSize = 0;  // 0: not requested
    std::uint16_t windowSize = 0; // 0: not requested
    bool tsize = false;           // octet mode only
    std::uint64_t localSize = 0;  // the tsize value a PUT announces
    Millis initialTimeout = 1000; // before the first round-trip sample
    Millis stallLimit = 15000;    // silence that ends a transfer
    Millis lastAckLimit = 60000;  // silence allowed after the final DATA of a PUT
    Millis linger = 1000;         // a GET stays to re-acknowledge a repeated last DATA
};

// Where a PUT reads the local file from. Go-back-N resends re-read blocks, so the
// state machine needs to seek rather than keep a whole window in memory.
class DataSource {
public:
    virtual ~DataSource() = default;
    virtual bool Seek(std::uint64_t offset) = 0;
    // Bytes read, 0 at the end, negative on a read error.
    virtual std::ptrdiff_t Read(std::uint8_t* buffer, std::size_t size) = 0;
};

// Where a GET writes the received file.
class DataSink {
public:
    virtual ~DataSink() = default;
    virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
};

enum class Outcome { Running, Succeeded, Failed };

class Transfer {
public:
    // source for a PUT, sink for a GET; the other may be null.
    Transfer(const Settings& settings, DataSource* source, DataSink* sink);

    void Start(Millis now);
    void Receive(Millis now, const Peer& from, const std::uint8_t* data, std::size_t size);
    // Call when now has reached Deadline(); earlier calls do nothing.
    void Tick(Millis now);

    // When the machine next wants Tick; meaningless once Finished().
    Millis Deadline() const { return deadline_; }
    std::vector<Datagram> TakeOutgoing();

    // A GET is complete (the file whole) before it is finished: it lingers.
    bool Complete() const { return complete_; }
    bool Finished() const { return phase_ == Phase::Done || phase_ == Phase::Failed; }
    Outcome Result() const;
    const std::string& Error() const { return error_; }

    std::uint64_t LocalBytes() const { return localBytes_; }
    std::size_t BlockSize() const { return blockSize_; }
    std::size_t WindowSize() const { return windowSize_; }
    bool OptionsAccepted() const { return optionsAccepted_; }
    std::optional<std::uint64_t> TransferSize() const { return tsize_; }
    unsigned Retransmissions() const { return retransmissions_; }
    // Notes for -v: what was negotiated, retried, ignored.
    std::vector<std::string> TakeNotes();

private:
    enum class Phase { Requesting, AwaitingFirstData, Transferring, Lingering, Done, Failed };

    struct Checkpoint {
        std::uint64_t offset = 0;
        NetasciiEncoder::State encoder;
    };
    struct Sent {
        Millis at = 0;
        bool resent = false;
    };

    bool OptionsWanted() const;
    std::vector<std::uint8_t> BuildRequest(bool withOptions) const;
    void SendRequest(Millis now);
    void Send(const Peer& to, std::vector<std::uint8_t> bytes);
    void SendError(const Peer& to, std::uint16_t code, const std::string& message);
    void SendAck(std::uint64_t block);
    void Fail(std::string message);
    void Progress(Millis now, Millis limit);
    void ArmTimer(Millis now);
    void Sample(Millis rtt);

    void HandleFirstReply(Millis now, const Peer& from, const std::uint8_t* data, std::size_t size);
    bool AcceptOack(const std::uint8_t* data, std::size_t size, std::string& why);
    void HandlePutPacket(Millis now, const std::uint8_t* data, std::size_t size);
    void HandleGetPacket(Millis now, const std::uint8_t* data, std::size_t size);
    void HandleServerError(const std::uint8_t* data, std::size_t size);

    // PUT
    void BeginSending(Millis now);
    void SendWindow(Millis now, std::uint64_t from);
    bool ProduceBlock(std::uint64_t block, std::vector<std::uint8_t>& payload);
    bool Fill(std::vector<std::uint8_t>& payload);
    // GET
    void AcceptData(Millis now, const std::uint8_t* payload, std::size_t size, bool last);

    Settings settings_;
    DataSource* source_;
    DataSink* sink_;
    Phase phase_ = Phase::Requesting;
    bool complete_ = false;
    std::string error_;
    std::vector<Datagram> out_;
    std::vector<std::string> notes_;

    bool optionsSent_ = false;
    bool retriedPlain_ = false;
    bool optionsAccepted_ = false;
    Peer tid_;
    std::size_t blockSize_ = kDefaultBlockSize;
    std::size_t windowSize_ = 1;
    std::optional<std::uint64_t> tsize_;

    // Timing: RFC 6298 estimator, Karn's rule, exponential back-off.
    Millis deadline_ = 0;
    Millis giveUpAt_ = 0;
    Millis rto_ = 0;
    Millis srtt_ = 0;
    Millis rttvar_ = 0;
    bool haveSample_ = false;
    unsigned retransmissions_ = 0;
    Millis requestSentAt_ = 0;
    bool requestResent_ = false;

    // PUT: blocks base_+1 .. sentEnd_ are in flight; final_ is the short block once known.
    std::uint64_t base_ = 0;
    std::uint64_t sentEnd_ = 0;
    std::uint64_t final_ = 0;
    std::uint64_t next_ = 1;             // the block the reader is positioned at
    std::deque<Checkpoint> checkpoints_; // for base_+1 .. next_
    std::deque<Sent> sent_;              // for base_+1 .. sentEnd_
    std::uint64_t offset_ = 0;           // source position of the reader
    NetasciiEncoder encoder_;
    std::vector<std::uint8_t> raw_; // read-ahead of the netascii encoder
    std::size_t rawPos_ = 0;
    bool sourceEnd_ = false;

    // GET: expected_ is the next block wanted; acked_ the last block acknowledged.
    std::uint64_t expected_ = 1;
    std::uint64_t acked_ = 0;
    std::size_t inWindow_ = 0;
    std::size_t outOfPlace_ = 0;
    Millis ackSentAt_ = 0;
    bool ackResent_ = false;
    NetasciiDecoder decoder_;
    std::vector<std::uint8_t> decoded_;

    std::uint64_t localBytes_ = 0;
};

} // namespace tftp
