// Command-line parsing, kept apart from the program so that it is tested natively.
#include "tftp/cmdline.h"

#include <optional>

namespace tftp {

const char kUsage[] =
    "Usage: tftp [-i] [-b N] [-w N] [-t S] [-T] [-v] host [GET | PUT] source [destination]\n"
    "  -i    binary (octet) mode; without it netascii (text) mode\n"
    "  -b N  ask for blocks of N bytes (8..65464, RFC 2348)\n"
    "  -w N  ask for a window of N blocks (1..65535, RFC 7440)\n"
    "  -t S  first retransmission timeout in seconds (0.01..255, default 1)\n"
    "  -T    announce or ask for the file size (RFC 2349, binary mode only)\n"
    "  -v    report negotiation and retransmissions on stderr\n"
    "  -h    this text\n"
    "host is an IPv4 address, an IPv6 address or a name; the server port is 69.\n"
    "Without destination the remote (PUT) or local (GET) name is the source's base name.\n"
    "Exit code: 0 transferred, 1 transfer failed, 2 usage error.";

namespace {

std::optional<unsigned long> ParseUnsigned(const std::string& s, unsigned long low,
                                           unsigned long high) {
    if (s.empty() || s.size() > 6) {
        return std::nullopt;
    }
    unsigned long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        v = v * 10 + static_cast<unsigned long>(c - '0');
    }
    if (v < low || v > high) {
        return std::nullopt;
    }
    return v;
}

// Seconds with up to three decimals, as milliseconds.
std::optional<Millis> ParseSeconds(const std::string& s) {
    Millis whole = 0, fraction = 0;
    int digits = 0, decimals = -1;
    for (char c : s) {
        if (c == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < '0' || c > '9' || decimals == 3 || digits == 3) {
            return std::nullopt;
        }
        if (decimals < 0) {
            whole = whole * 10 + (c - '0');
            ++digits;
        } else {
            fraction = fraction * 10 + (c - '0');
            ++decimals;
        }
    }
    if (digits == 0 && decimals <= 0) {
        return std::nullopt;
    }
    while (decimals < 3) {
        fraction *= 10;
        decimals = decimals < 0 ? 1 : decimals + 1;
    }
    const Millis ms = whole * 1000 + fraction;
    if (ms < 10 || ms > 255000) {
        return std::nullopt;
    }
    return ms;
}

bool EqualsNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != 0; ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c != b[i]) {
            return false;
        }
    }
    return i == a.size() && b[i] == 0;
}

} // namespace

std::string BaseName(const std::string& path, bool windowsPaths) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '/' || (windowsPaths && (c == '\\' || (c == ':' && i == 1)))) {
            start = i + 1;
        }
    }
    std::string base = path.substr(start);
    if (base == "." || base == "..") {
        return {};
    }
    return base;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args, bool windowsPaths) {
    CommandLine cl;
    std::vector<std::string> positional;
    bool optionsDone = false;
    bool fileNameNext = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsDone || fileNameNext || a.size() < 2 ||
            (a[0] != '-' && !(windowsPaths && a[0] == '/'))) {
            positional.push_back(a);
            // The argument after "host GET|PUT" is a file name, even one that starts
            // with '-': a file called "-h" is sent, never read as a request for help.
            fileNameNext =
                positional.size() == 2 && (EqualsNoCase(a, "GET") || EqualsNoCase(a, "PUT"));
            continue;
        }
        if (a[0] == '/' && !(a.size() == 2 && (a[1] == '?' || a[1] == 'h'))) {
            positional.push_back(a); // "/path" is a file, "/?" asks for help
            continue;
        }
        if (a == "--") {
            optionsDone = true;
            continue;
        }
        const char flag = a[1];
        if (flag == 'h' || flag == '?') {
            cl.help = a.size() == 2;
        } else if (a.size() == 2 && flag == 'i') {
            cl.mode = Mode::Octet;
            continue;
        } else if (a.size() == 2 && flag == 'T') {
            cl.tsize = true;
            continue;
        } else if (a.size() == 2 && flag == 'v') {
            cl.verbose = true;
            continue;
        } else if (flag == 'b' || flag == 'w' || flag == 't') {
            std::string value = a.substr(2);
            if (value.empty()) {
                if (i + 1 == args.size()) {
                    cl.usageError = std::string("Option -") + flag + " needs a value";
                    return cl;
                }
                value = args[++i];
            }
            bool ok = false;
            if (flag == 'b') {
                const auto v = ParseUnsigned(value, kMinBlockSize, kMaxBlockSize);
                ok = v.has_value();
                cl.blockSize = static_cast<std::uint16_t>(v.value_or(0));
            } else if (flag == 'w') {
                const auto v = ParseUnsigned(value, 1, 65535);
                ok = v.has_value();
                cl.windowSize = static_cast<std::uint16_t>(v.value_or(0));
            } else {
                const auto v = ParseSeconds(value);
                ok = v.has_value();
                cl.timeout = v.value_or(0);
            }
            if (!ok) {
                cl.usageError = std::string("Bad value for -") + flag + ": " + value;
                return cl;
            }
            continue;
        }
        if (cl.help) {
            return cl;
        }
        cl.usageError = "Unknown option " + a;
        return cl;
    }
    if (positional.size() < 3 || positional.size() > 4) {
        cl.usageError = positional.empty() ? "" : "Wrong number of arguments";
        if (positional.empty()) {
            cl.help = true;
        }
        return cl;
    }
    cl.host = positional[0];
    if (cl.host.size() > 2 && cl.host.front() == '[' && cl.host.back() == ']') {
        cl.host = cl.host.substr(1, cl.host.size() - 2);
    }
    if (EqualsNoCase(positional[1], "GET")) {
        cl.direction = Direction::Get;
    } else if (EqualsNoCase(positional[1], "PUT")) {
        cl.direction = Direction::Put;
    } else {
        cl.usageError = "Expected GET or PUT, not " + positional[1];
        return cl;
    }
    cl.source = positional[2];
    if (positional.size() == 4) {
        cl.destination = positional[3];
    } else {
        // The remote name of a PUT must not carry our directories; a GET's local file
        // lands in the current directory whatever the server's path.
        cl.destination = cl.direction == Direction::Put ? BaseName(cl.source, windowsPaths)
                                                        : BaseName(cl.source, true);
        if (cl.destination.empty()) {
            cl.usageError = "No file name in " + cl.source;
            return cl;
        }
    }
    if (cl.source.empty() || cl.destination.empty()) {
        cl.usageError = "Empty file name";
    }
    return cl;
}

} // namespace tftp
