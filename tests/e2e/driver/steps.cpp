#include "tests/e2e/driver/steps.h"

#include <cctype>
#include <map>
#include <utility>

namespace driver {

namespace {

std::optional<unsigned> Number(const std::string& text, unsigned limit) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > limit) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint32_t> Dotted(const std::string& text) {
    std::uint32_t value = 0;
    std::size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t end = part < 3 ? text.find('.', start) : text.size();
        if (end == std::string::npos) {
            return std::nullopt;
        }
        const std::optional<unsigned> octet = Number(text.substr(start, end - start), 255);
        if (!octet || end - start > 3) {
            return std::nullopt;
        }
        value = value << 8 | *octet;
        start = end + 1;
    }
    return value;
}

const std::map<std::string, int>& TextControls() {
    static const std::map<std::string, int> names{
        {"serial", kSerial}, {"firmware-path", kFirmwarePath}, {"web-path", kWebPath}};
    return names;
}
const std::map<std::string, int>& AddressControls() {
    static const std::map<std::string, int> names{
        {"address", kAddress}, {"netmask", kNetmask}, {"gateway", kGateway}};
    return names;
}
const std::map<std::string, int>& Buttons() {
    static const std::map<std::string, int> names{{"apply", kApply},
                                                  {"show", kShow},
                                                  {"browse-firmware", kBrowseFirmware},
                                                  {"update-firmware", kUpdateFirmware},
                                                  {"browse-web", kBrowseWeb},
                                                  {"update-web", kUpdateWeb}};
    return names;
}

Step Make(Step::Kind kind, int control, std::string text = {}, std::uint32_t address = 0,
          unsigned number = 0) {
    return Step{kind, control, std::move(text), address, number};
}

// "ID:REST" with a control id up to 65535.
bool IdAndRest(const std::string& value, int& id, std::string& rest) {
    const std::size_t colon = value.find(':');
    const std::optional<unsigned> number =
        Number(colon == std::string::npos ? value : value.substr(0, colon), 65535);
    if (!number || colon == std::string::npos) {
        return false;
    }
    id = static_cast<int>(*number);
    rest = value.substr(colon + 1);
    return true;
}

std::optional<Step> ParseStep(const std::string& argument) {
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const bool hasValue = equals != std::string::npos;
    const std::string value = hasValue ? argument.substr(equals + 1) : "";

    if (const auto it = Buttons().find(name); it != Buttons().end() && !hasValue) {
        return Make(Step::Click, it->second);
    }
    if (const auto it = TextControls().find(name); it != TextControls().end() && hasValue) {
        return Make(Step::SetText, it->second, value);
    }
    if (const auto it = AddressControls().find(name); it != AddressControls().end()) {
        const std::optional<std::uint32_t> address = Dotted(value);
        if (!address) {
            return std::nullopt;
        }
        return Make(Step::SetAddress, it->second, {}, *address);
    }
    if (name == "close" && !hasValue) {
        return Make(Step::Close, 0);
    }
    if (name == "ready" && !hasValue) {
        return Make(Step::Ready, kTabs);
    }
    if (name == "box" || name == "check") {
        const std::optional<unsigned> seconds = hasValue ? Number(value, 3600) : 30u;
        if (!seconds) {
            return std::nullopt;
        }
        return Make(name == "box" ? Step::Box : Step::Check, 0, {}, 0, *seconds);
    }
    if (name == "dialog" && !value.empty()) {
        return Make(Step::Dialog, 0, value);
    }
    if (name == "main" && !hasValue) {
        return Make(Step::Dialog, 0);
    }
    if (name == "adapter" && !value.empty()) {
        return Make(Step::Adapter, 0, value);
    }
    const std::optional<unsigned> number = Number(value, 3600000);
    if (name == "tab" && number && *number < 4) {
        return Make(Step::Tab, kTabs, {}, 0, *number);
    }
    if (name == "no-box" && number && *number <= 3600) {
        return Make(Step::NoBox, 0, {}, 0, *number);
    }
    if (name == "sleep" && number) {
        return Make(Step::Sleep, 0, {}, 0, *number);
    }
    if (name == "read" && number && *number <= 65535) {
        return Make(Step::Read, static_cast<int>(*number));
    }
    if (name == "focus" && number && *number <= 65535) {
        return Make(Step::Focus, static_cast<int>(*number));
    }
    if (name == "where" && number && *number <= 65535) {
        return Make(Step::Where, static_cast<int>(*number));
    }
    if (name == "click" && number && *number <= 65535) {
        return Make(Step::Click, static_cast<int>(*number));
    }
    int id = 0;
    std::string rest;
    if (name == "until" && IdAndRest(value, id, rest) && !rest.empty()) {
        return Make(Step::Until, id, rest);
    }
    if (name == "text" && IdAndRest(value, id, rest)) {
        return Make(Step::SetText, id, rest);
    }
    if (name == "ip" && IdAndRest(value, id, rest)) {
        const std::optional<std::uint32_t> address = Dotted(rest);
        if (!address) {
            return std::nullopt;
        }
        return Make(Step::SetAddress, id, {}, *address);
    }
    return std::nullopt;
}

} // namespace

Script ParseScript(const std::vector<std::string>& arguments) {
    Script script;
    for (const std::string& argument : arguments) {
        const std::optional<Step> step = ParseStep(argument);
        if (!step) {
            script.steps.clear();
            script.error = "not a step: " + argument;
            return script;
        }
        script.steps.push_back(*step);
    }
    if (script.steps.empty()) {
        script.error = "no steps given";
    }
    return script;
}

} // namespace driver
