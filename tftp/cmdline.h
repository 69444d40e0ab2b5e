// The command line, in the Windows client's form plus our extensions:
//   tftp [-i] [-b N] [-w N] [-t S] [-T] [-v] host GET|PUT source [destination]
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tftp/protocol.h"

namespace tftp {

struct CommandLine {
    bool help = false;
    std::string usageError; // set: print it with the usage, exit 2
    Mode mode = Mode::Netascii;
    Direction direction = Direction::Get;
    std::string host;
    std::string source;
    std::string destination; // filled in from the source's base name when not given
    std::uint16_t blockSize = 0;
    std::uint16_t windowSize = 0;
    Millis timeout = 1000;
    bool tsize = false;
    bool verbose = false;
};

// args excludes the program name. windowsPaths: a local path may also use '\' and a
// drive letter as separators (the remote name is split on both separators anyway).
CommandLine ParseCommandLine(const std::vector<std::string>& args, bool windowsPaths);

// The last component of a path; "" when there is none (a trailing separator, "." or "..").
std::string BaseName(const std::string& path, bool windowsPaths);

extern const char kUsage[];

} // namespace tftp
