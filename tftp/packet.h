// TFTP packets as bytes: the requests, DATA, ACK and ERROR the client sends, the fields
// it reads from what comes back, and the option negotiation of an OACK (RFC 2347, 2348,
// 2349, 7440). Pure functions: what to do with a packet is the transfer's business.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tftp/protocol.h"

namespace tftp {

// What the two sides agreed on: the defaults until an OACK says otherwise.
struct Negotiated {
    std::size_t blockSize = kDefaultBlockSize;
    std::size_t windowSize = 1;
    std::optional<std::uint64_t> tsize;
};

// Whether the request carries any option at all.
bool OptionsWanted(const Settings& settings);

std::vector<std::uint8_t> RequestPacket(const Settings& settings, bool withOptions);
std::vector<std::uint8_t> DataPacket(std::uint64_t block, const std::vector<std::uint8_t>& payload);
std::vector<std::uint8_t> AckPacket(std::uint64_t block);
// The message is cut to fit a block of blockSize bytes.
std::vector<std::uint8_t> ErrorPacket(std::uint16_t code, const std::string& message,
                                      std::size_t blockSize);

// The opcode of a received datagram; 0 when it is too short to hold one.
std::uint16_t OpcodeOf(const std::uint8_t* data, std::size_t size);
// The block number of a DATA or ACK; the caller has made sure of its four bytes.
std::uint16_t BlockOf(const std::uint8_t* data);
// True for a packet of that opcode with that block number.
bool IsBlock(const std::uint8_t* data, std::size_t size, std::uint16_t opcode, std::uint16_t block);
// An ERROR's code (kNotDefined when it has none) and its message, printable and bounded
// ("error code N" when it has none).
std::uint16_t ErrorCodeOf(const std::uint8_t* data, std::size_t size);
std::string ErrorMessageOf(const std::uint8_t* data, std::size_t size);

// Reads an OACK against what was asked, into agreed as it goes. False with the reason
// when it has to be refused: malformed, an option not asked for or given twice, or a value
// out of its range (a server may lower what was asked, never raise it).
bool ReadOack(const Settings& asked, const std::uint8_t* data, std::size_t size, Negotiated& agreed,
              std::string& why);

} // namespace tftp
