// Building and reading TFTP packets. Every number on the wire is 16 bits, big-endian;
// block numbers wrap, so a block is written modulo 65536.
#include "tftp/packet.h"

#include <algorithm>
#include <array>

namespace tftp {

namespace {

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void Put16(std::vector<std::uint8_t>& out, std::uint64_t v) {
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xff));
    out.push_back(static_cast<std::uint8_t>(v & 0xff));
}

void PutString(std::vector<std::uint8_t>& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
}

// Text from the network, made safe to print: printable ASCII only, bounded.
std::string Printable(const std::uint8_t* p, std::size_t n, std::size_t limit) {
    std::string s;
    for (std::size_t i = 0; i < n && p[i] != 0 && s.size() < limit; ++i) {
        s.push_back(p[i] >= 0x20 && p[i] < 0x7f ? static_cast<char>(p[i]) : '?');
    }
    return s;
}

// Decimal digits only: no sign, no blanks, no overflow.
std::optional<std::uint64_t> ParseNumber(const std::string& s) {
    if (s.empty() || s.size() > 19) {
        return std::nullopt;
    }
    std::uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return v;
}

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

// tsize means nothing for netascii, whose size on the wire is not the file's.
bool AsksTsize(const Settings& s) {
    return s.tsize && s.mode == Mode::Octet;
}

struct OptionBounds {
    const char* name;
    bool asked;
    std::uint64_t low;
    std::uint64_t high;
};

// The options a request carries and the values an answer may hold: RFC 2348 and 7440 let
// a server lower the block and window size asked for, never raise them.
std::array<OptionBounds, 3> AnswerBounds(const Settings& s) {
    return {{
        {"blksize", s.blockSize != 0, kMinBlockSize, s.blockSize},
        {"windowsize", s.windowSize != 0, 1, s.windowSize},
        {"tsize", AsksTsize(s), 0, std::uint64_t{1} << 62},
    }};
}

void Agree(Negotiated& agreed, std::size_t option, std::uint64_t value) {
    if (option == 0) {
        agreed.blockSize = static_cast<std::size_t>(value);
    } else if (option == 1) {
        agreed.windowSize = static_cast<std::size_t>(value);
    } else {
        agreed.tsize = value;
    }
}

// One NUL-terminated string from pos on; false when its NUL is missing.
bool ReadString(const std::uint8_t* data, std::size_t size, std::size_t& pos, std::string& out) {
    const std::uint8_t* end = std::find(data + pos, data + size, 0);
    if (end == data + size) {
        return false;
    }
    out.assign(reinterpret_cast<const char*>(data + pos),
               static_cast<std::size_t>(end - (data + pos)));
    pos = static_cast<std::size_t>(end - data) + 1;
    return true;
}

} // namespace

bool OptionsWanted(const Settings& settings) {
    return settings.blockSize != 0 || settings.windowSize != 0 || AsksTsize(settings);
}

std::vector<std::uint8_t> RequestPacket(const Settings& settings, bool withOptions) {
    std::vector<std::uint8_t> p;
    Put16(p, settings.direction == Direction::Put ? kWrq : kRrq);
    PutString(p, settings.remoteName);
    PutString(p, settings.mode == Mode::Octet ? "octet" : "netascii");
    if (!withOptions) {
        return p;
    }
    if (settings.blockSize != 0) {
        PutString(p, "blksize");
        PutString(p, std::to_string(settings.blockSize));
    }
    if (AsksTsize(settings)) {
        PutString(p, "tsize");
        // A reader asks with 0 and learns the size; a writer announces it.
        PutString(p, std::to_string(settings.direction == Direction::Put ? settings.localSize : 0));
    }
    if (settings.windowSize != 0) {
        PutString(p, "windowsize");
        PutString(p, std::to_string(settings.windowSize));
    }
    return p;
}

std::vector<std::uint8_t> DataPacket(std::uint64_t block,
                                     const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> p;
    p.reserve(4 + payload.size());
    Put16(p, kData);
    Put16(p, block);
    p.insert(p.end(), payload.begin(), payload.end());
    return p;
}

std::vector<std::uint8_t> AckPacket(std::uint64_t block) {
    std::vector<std::uint8_t> p;
    Put16(p, kAck);
    Put16(p, block);
    return p;
}

std::vector<std::uint8_t> ErrorPacket(std::uint16_t code, const std::string& message,
                                      std::size_t blockSize) {
    std::vector<std::uint8_t> p;
    Put16(p, kError);
    Put16(p, code);
    // Within the negotiated block size too: a peer that asked for 8-byte blocks may read
    // no more than 12 bytes per datagram.
    PutString(p, message.substr(0, blockSize - 1));
    return p;
}

std::uint16_t OpcodeOf(const std::uint8_t* data, std::size_t size) {
    return size >= 2 ? Get16(data) : 0;
}

std::uint16_t BlockOf(const std::uint8_t* data) {
    return Get16(data + 2);
}

bool IsBlock(const std::uint8_t* data, std::size_t size, std::uint16_t opcode,
             std::uint16_t block) {
    return size >= 4 && Get16(data) == opcode && Get16(data + 2) == block;
}

std::uint16_t ErrorCodeOf(const std::uint8_t* data, std::size_t size) {
    return size >= 4 ? Get16(data + 2) : std::uint16_t{kNotDefined};
}

std::string ErrorMessageOf(const std::uint8_t* data, std::size_t size) {
    std::string message = size > 4 ? Printable(data + 4, size - 4, 200) : std::string();
    if (message.empty()) {
        message = "error code " + std::to_string(ErrorCodeOf(data, size));
    }
    return message;
}

bool ReadOack(const Settings& asked, const std::uint8_t* data, std::size_t size, Negotiated& agreed,
              std::string& why) {
    const std::array<OptionBounds, 3> bounds = AnswerBounds(asked);
    std::array<bool, 3> seen{};
    std::string name, text;
    std::size_t pos = 2;
    while (pos < size) {
        if (!ReadString(data, size, pos, name) || !ReadString(data, size, pos, text)) {
            why = "malformed OACK";
            return false;
        }
        const std::string key = Lower(name); // option names are case-insensitive
        const std::string shown =
            Printable(reinterpret_cast<const std::uint8_t*>(name.data()), name.size(), 32);
        std::size_t option = 0;
        while (option < bounds.size() && !(bounds[option].asked && key == bounds[option].name)) {
            ++option;
        }
        if (option == bounds.size()) {
            why = "option '" + shown + "' was not requested";
            return false;
        }
        if (seen[option]) {
            why = "option '" + shown + "' given twice";
            return false;
        }
        seen[option] = true;
        const std::optional<std::uint64_t> value = ParseNumber(text);
        if (!value || *value < bounds[option].low || *value > bounds[option].high) {
            why = "value out of range for '" + shown + "'";
            return false;
        }
        Agree(agreed, option, *value);
    }
    return true;
}

} // namespace tftp
