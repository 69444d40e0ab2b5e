#include "tests/e2e/standin/translate.h"

#include <algorithm>
#include <cctype>

namespace standin {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Dotted quad with four numbers 0..255, nothing else.
bool IsAddress(const std::string& text, unsigned* value = nullptr) {
    unsigned result = 0;
    int parts = 0;
    std::size_t i = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        unsigned number = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 3) {
            number = number * 10 + static_cast<unsigned>(text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || number > 255) {
            return false;
        }
        result = result << 8 | number;
        if (++parts < 4) {
            if (i >= text.size() || text[i] != '.') {
                return false;
            }
            ++i;
        }
    }
    if (i != text.size()) {
        return false;
    }
    if (value) {
        *value = result;
    }
    return true;
}

// aa-bb-cc-dd-ee-ff (arp.exe's form) or with colons; given back with colons.
std::optional<std::string> LinkAddress(const std::string& text) {
    if (text.size() != 17) {
        return std::nullopt;
    }
    std::string out = Lower(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i % 3 == 2) {
            if (out[i] != '-' && out[i] != ':') {
                return std::nullopt;
            }
            out[i] = ':';
        } else if (!std::isxdigit(static_cast<unsigned char>(out[i]))) {
            return std::nullopt;
        }
    }
    return out;
}

// A netmask of contiguous leading ones, as its prefix length.
std::optional<int> PrefixOf(const std::string& mask) {
    unsigned value = 0;
    if (!IsAddress(mask, &value)) {
        return std::nullopt;
    }
    int length = 0;
    while (length < 32 && (value >> (31 - length) & 1)) {
        ++length;
    }
    if (length < 32 && (value << length) != 0) {
        return std::nullopt;
    }
    return length;
}

// The link named by `key`, or the fallback when there is no key.
std::optional<std::string> LinkOf(const Links& links, const std::string* key) {
    if (!key) {
        return links.fallback;
    }
    const auto found = links.named.find(*key);
    if (found == links.named.end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace

Links ParseLinks(const std::string& fallback, const std::string& pairs) {
    Links links(fallback);
    std::size_t start = 0;
    while (start < pairs.size()) {
        std::size_t end = pairs.find(' ', start);
        if (end == std::string::npos) {
            end = pairs.size();
        }
        const std::string pair = pairs.substr(start, end - start);
        if (const std::size_t equals = pair.find('='); equals != std::string::npos) {
            links.named[pair.substr(0, equals)] = pair.substr(equals + 1);
        }
        start = end + 1;
    }
    return links;
}

std::optional<std::vector<std::string>> IpCommand(const std::string& tool,
                                                  std::vector<std::string> a, const Links& links) {
    const std::string verb = a.empty() ? "" : Lower(a[0]);
    // The interface the command names, taken off its end: arp's address, route's IF index.
    std::optional<std::string> named;
    if (tool == "arp" && ((verb == "-s" || verb == "/s") ? a.size() == 4 : a.size() == 3) &&
        IsAddress(a.back())) {
        named = a.back();
        a.pop_back();
    }
    if (tool == "route" && a.size() >= 2 && Lower(a[a.size() - 2]) == "if") {
        named = a.back();
        a.resize(a.size() - 2);
    }
    const std::optional<std::string> link = LinkOf(links, named ? &*named : nullptr);
    if (!link) {
        return std::nullopt;
    }
    const std::string& interface = *link;
    if (tool == "arp") {
        if ((verb == "-s" || verb == "/s") && a.size() == 3 && IsAddress(a[1])) {
            const std::optional<std::string> mac = LinkAddress(a[2]);
            if (!mac) {
                return std::nullopt;
            }
            return std::vector<std::string>{"neigh", "replace", a[1],  "lladdr",   *mac,
                                            "dev",   interface, "nud", "permanent"};
        }
        if ((verb == "-d" || verb == "/d") && a.size() == 2 && IsAddress(a[1])) {
            return std::vector<std::string>{"neigh", "del", a[1], "dev", interface};
        }
        return std::nullopt;
    }
    if (tool == "route") {
        if (verb == "add" && a.size() == 5 && IsAddress(a[1]) && Lower(a[2]) == "mask" &&
            IsAddress(a[4])) {
            const std::optional<int> prefix = PrefixOf(a[3]);
            if (!prefix) {
                return std::nullopt;
            }
            std::vector<std::string> command{"route", "add", a[1] + "/" + std::to_string(*prefix)};
            if (a[4] != "0.0.0.0") {
                command.insert(command.end(), {"via", a[4]});
            }
            command.insert(command.end(), {"dev", interface});
            return command;
        }
        if (verb == "delete" && a.size() == 2 && IsAddress(a[1])) {
            return std::vector<std::string>{"route", "del", a[1] + "/32", "dev", interface};
        }
        if (verb == "delete" && a.size() == 4 && IsAddress(a[1]) && Lower(a[2]) == "mask") {
            const std::optional<int> prefix = PrefixOf(a[3]);
            if (!prefix) {
                return std::nullopt;
            }
            return std::vector<std::string>{"route", "del", a[1] + "/" + std::to_string(*prefix),
                                            "dev", interface};
        }
    }
    return std::nullopt;
}

std::string RecordLine(const std::string& tool, const std::vector<std::string>& arguments) {
    std::string line = tool;
    for (const std::string& argument : arguments) {
        line += ' ';
        line += argument;
    }
    return line;
}

} // namespace standin
