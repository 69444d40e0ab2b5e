// Command-line parsing, kept apart from the program so that it is tested natively.
#include "tftp/cmdline.h"

#include <algorithm>
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

// How an option stores what it was given: a switch sets its field, a value is checked
// and stored (its field 0 when it is not accepted, which the caller reports).
template <auto Field, auto Value> bool Set(CommandLine& cl, const std::string&) {
    cl.*Field = Value;
    return true;
}

template <typename Field, typename Value>
bool Keep(const std::optional<Value>& value, Field& field) {
    field = static_cast<Field>(value.value_or(0));
    return value.has_value();
}

template <auto Field, unsigned long Low, unsigned long High>
bool Number(CommandLine& cl, const std::string& value) {
    return Keep(ParseUnsigned(value, Low, High), cl.*Field);
}

bool Seconds(CommandLine& cl, const std::string& value) {
    return Keep(ParseSeconds(value), cl.timeout);
}

struct Option {
    char flag;
    bool takesValue; // attached ("-b1468") or the next argument ("-b 1468")
    bool (*store)(CommandLine& cl, const std::string& value);
};

const Option kOptions[] = {
    {'h', false, Set<&CommandLine::help, true>},
    {'?', false, Set<&CommandLine::help, true>},
    {'i', false, Set<&CommandLine::mode, Mode::Octet>},
    {'T', false, Set<&CommandLine::tsize, true>},
    {'v', false, Set<&CommandLine::verbose, true>},
    {'b', true, Number<&CommandLine::blockSize, kMinBlockSize, kMaxBlockSize>},
    {'w', true, Number<&CommandLine::windowSize, 1, 65535>},
    {'t', true, Seconds},
};

// "-x"; on Windows also "/?" and "/h", while any other "/path" there is a file.
bool IsOption(const std::string& a, bool windowsPaths) {
    return a.size() >= 2 && (a[0] == '-' || (windowsPaths && (a == "/?" || a == "/h")));
}

// The option args[i], and its value (which may be the next argument). False, with the
// usage error, when the option is unknown or its value missing or not accepted.
bool TakeOption(const std::vector<std::string>& args, std::size_t& i, CommandLine& cl) {
    const std::string& a = args[i];
    const Option* option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                        [&](const Option& o) { return o.flag == a[1]; });
    if (option == std::end(kOptions) || (!option->takesValue && a.size() != 2)) {
        cl.usageError = "Unknown option " + a;
        return false;
    }
    std::string value = option->takesValue ? a.substr(2) : std::string();
    if (option->takesValue && value.empty()) {
        if (i + 1 == args.size()) {
            cl.usageError = std::string("Option -") + option->flag + " needs a value";
            return false;
        }
        value = args[++i];
    }
    if (!option->store(cl, value)) {
        cl.usageError = std::string("Bad value for -") + option->flag + ": " + value;
        return false;
    }
    return true;
}

// host GET|PUT source [destination]
void TakeOperands(const std::vector<std::string>& positional, bool windowsPaths, CommandLine& cl) {
    if (positional.size() < 3 || positional.size() > 4) {
        cl.usageError = positional.empty() ? "" : "Wrong number of arguments";
        if (positional.empty()) {
            cl.help = true;
        }
        return;
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
        return;
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
            return;
        }
    }
    if (cl.source.empty() || cl.destination.empty()) {
        cl.usageError = "Empty file name";
    }
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
        if (optionsDone || fileNameNext || !IsOption(a, windowsPaths)) {
            positional.push_back(a);
            // The argument after "host GET|PUT" is a file name, even one that starts
            // with '-': a file called "-h" is sent, never read as a request for help.
            fileNameNext =
                positional.size() == 2 && (EqualsNoCase(a, "GET") || EqualsNoCase(a, "PUT"));
        } else if (a == "--") {
            optionsDone = true;
        } else if (!TakeOption(args, i, cl) || cl.help) {
            return cl;
        }
    }
    TakeOperands(positional, windowsPaths, cl);
    return cl;
}

} // namespace tftp
