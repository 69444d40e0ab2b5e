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

enum class Direction { kGet, kPut };
enum class Mode { kOctet, kNetascii };

struct Settings {
    Direction direction = Direction::kPut;
    Mode mode = Mode::kOctet;
    std::string remote_name;
    Peer server;                   // port 69 normally
    std::uint16_t blksize = 0;     // 0: not requested
    std::uint16_t windowsize = 0;  // 0: not requested
    bool tsize = false;            // octet mode only
    std::uint64_t local_size = 0;  // the tsize value a PUT announces
    Millis initial_timeout = 1000; // before the first round-trip sample
    Millis stall_limit = 15000;    // silence that ends a transfer
    Millis last_ack_limit = 60000; // silence allowed after the final DATA of a PUT
    Millis linger = 1000;          // a GET stays to re-acknowledge a repeated last DATA
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

enum class Outcome { kRunning, kSucceeded, kFailed };

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
    bool Finished() const { return phase_ == Phase::kDone || phase_ == Phase::kFailed; }
    Outcome outcome() const;
    const std::string& error() const { return error_; }

    std::uint64_t local_bytes() const { return local_bytes_; }
    std::size_t blksize() const { return blksize_; }
    std::size_t windowsize() const { return windowsize_; }
    bool options_accepted() const { return options_accepted_; }
    std::optional<std::uint64_t> tsize() const { return tsize_; }
    unsigned retransmissions() const { return retransmissions_; }
    // Notes for -v: what was negotiated, retried, ignored.
    std::vector<std::string> TakeNotes();

private:
    enum class Phase { kRequesting, kAwaitingFirstData, kTransferring, kLingering, kDone, kFailed };

    struct Checkpoint {
        std::uint64_t offset = 0;
        NetasciiEncoder::State encoder;
    };
    struct Sent {
        Millis at = 0;
        bool resent = false;
    };

    bool OptionsWanted() const;
    std::vector<std::uint8_t> BuildRequest(bool with_options) const;
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
    Phase phase_ = Phase::kRequesting;
    bool complete_ = false;
    std::string error_;
    std::vector<Datagram> out_;
    std::vector<std::string> notes_;

    bool options_sent_ = false;
    bool retried_plain_ = false;
    bool options_accepted_ = false;
    Peer tid_;
    std::size_t blksize_ = kDefaultBlockSize;
    std::size_t windowsize_ = 1;
    std::optional<std::uint64_t> tsize_;

    // Timing: RFC 6298 estimator, Karn's rule, exponential back-off.
    Millis deadline_ = 0;
    Millis give_up_at_ = 0;
    Millis rto_ = 0;
    Millis srtt_ = 0;
    Millis rttvar_ = 0;
    bool have_sample_ = false;
    unsigned retransmissions_ = 0;
    Millis request_sent_at_ = 0;
    bool request_resent_ = false;

    // PUT: blocks base_+1 .. sent_end_ are in flight; final_ is the short block once known.
    std::uint64_t base_ = 0;
    std::uint64_t sent_end_ = 0;
    std::uint64_t final_ = 0;
    std::uint64_t next_ = 1;             // the block the reader is positioned at
    std::deque<Checkpoint> checkpoints_; // for base_+1 .. next_
    std::deque<Sent> sent_;              // for base_+1 .. sent_end_
    std::uint64_t offset_ = 0;           // source position of the reader
    NetasciiEncoder encoder_;
    std::vector<std::uint8_t> raw_; // read-ahead of the netascii encoder
    std::size_t raw_pos_ = 0;
    bool source_end_ = false;

    // GET: expected_ is the next block wanted; acked_ the last block acknowledged.
    std::uint64_t expected_ = 1;
    std::uint64_t acked_ = 0;
    std::size_t in_window_ = 0;
    std::size_t out_of_place_ = 0;
    Millis ack_sent_at_ = 0;
    bool ack_resent_ = false;
    NetasciiDecoder decoder_;
    std::vector<std::uint8_t> decoded_;

    std::uint64_t local_bytes_ = 0;
};

} // namespace tftp
