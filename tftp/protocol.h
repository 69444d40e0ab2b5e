// The words every part of the client shares: TFTP's opcodes and error codes, block-size
// bounds, a peer's address, what one transfer is asked to do, and where its file comes
// from or goes to. Nothing here touches a socket or a clock.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
// sender needs to seek rather than keep a whole window in memory.
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

} // namespace tftp
