// The upload.
#include "core/upload.h"

#include "core/firewall.h"
#include "core/log.h"
#include "core/ping.h"
#include "core/text.h"
#include "core/ticks.h"

namespace {
// The client is looked at this often, so that a stop request is noticed soon.
constexpr unsigned kAwaitSliceMs = 250;
// How long an ended client is given to be gone.
constexpr unsigned kClientEndMs = 5000;
} // namespace

std::wstring PutParameters(const IPv4Address& address, const std::wstring& path) {
    const bool needsQuotes = path.find_first_of(L" \t") != std::wstring::npos;
    return L"-i " + address.ToText() + L" PUT " + (needsQuotes ? L"\"" + path + L"\"" : path);
}

unsigned UploadDeadline::SecondsLeft(std::uint64_t nowMs) const {
    return static_cast<unsigned>((LeftMs(nowMs) + 999) / 1000);
}

unsigned UploadDeadline::StepsPassed(std::uint64_t nowMs, unsigned steps) const {
    if (fixedWaitMs_ == 0 || Over(nowMs)) {
        return steps;
    }
    const std::uint64_t passed = fixedWaitMs_ - LeftMs(nowMs);
    return static_cast<unsigned>(passed * steps / fixedWaitMs_);
}

bool UploadDeadline::Await(Clock& clock, std::stop_token stop) const {
    return clock.PauseUnlessStopped(static_cast<unsigned>(LeftMs(clock.Milliseconds())), stop);
}

ImageKind ImageKindOf(const std::wstring& path) {
    const std::wstring end = path.size() >= 4 ? path.substr(path.size() - 4) : L"";
    return end == L".bin" || end == L".BIN" ? ImageKind::Firmware : ImageKind::WebPages;
}

unsigned FixedWaitTicks(ImageKind kind) {
    return kind == ImageKind::Firmware ? kFirmwareTicks : kWebPageTicks;
}

UnitSettings UploadSettingsFor(const IPv4Address& address, const KeptUnitValues& kept,
                               const std::optional<UnitSettings>& recorded,
                               const std::vector<Adapter>& adapters) {
    if (kept.ip == address) {
        return {kept.netmask, kept.gateway};
    }
    if (recorded) {
        return *recorded;
    }
    UnitSettings settings;
    if (const std::optional<UnitPath> path = PathWithoutAsking(adapters, address);
        path && path->adapter && !path->hostRoute) {
        for (const AdapterAddress& own : path->adapter->addresses) {
            if (own.address == path->source) {
                settings.netmask = own.netmask;
            }
        }
    }
    return settings;
}

std::wstring LastOutputLine(const std::string& output) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t end = output.size();
    while (end > 0 && blank(output[end - 1])) {
        --end;
    }
    std::size_t begin = end;
    while (begin > 0 && output[begin - 1] != '\n' && output[begin - 1] != '\r') {
        --begin;
    }
    while (begin < end && blank(output[begin])) {
        ++begin;
    }
    std::wstring line;
    for (std::size_t i = begin; i < end; ++i) {
        line += static_cast<wchar_t>(static_cast<unsigned char>(output[i]));
    }
    return line;
}

std::wstring OutputText(const std::string& output) {
    std::wstring text;
    text.reserve(output.size());
    for (char c : output) {
        text += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return text;
}

std::wstring CleanPath(const std::wstring& path) {
    const std::wstring trimmed = TrimBlanks(path);
    if (trimmed.size() >= 2 && trimmed.front() == L'"' && trimmed.back() == L'"') {
        return trimmed.substr(1, trimmed.size() - 2);
    }
    return trimmed;
}

std::wstring UploadFailureReason(const Outcome& outcome) {
    switch (outcome.failure) {
    case Failure::ClientNotStarted:
        return L"The TFTP client could not be started: " + outcome.detail;
    case Failure::ClientFailed:
        return outcome.detail.empty()
                   ? L"The TFTP client ended with code " + std::to_wstring(outcome.code) + L"."
                   : outcome.detail;
    case Failure::ClientTimedOut:
        return L"The TFTP client did not finish in time and was ended.";
    case Failure::ImageUnreadable:
    case Failure::Interrupted:
    case Failure::NotSent:
    case Failure::InternalError:
        return outcome.detail;
    default:
        return L"";
    }
}

namespace {

// The client's output in the log, one entry a line.
void LogClientOutput(Log& log, const std::wstring& output) {
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) {
            end = output.size();
        }
        if (end > start) {
            log.Write(L"tftp: " + output.substr(start, end - start));
        }
        start = end + 1;
    }
}

} // namespace

Outcome RunUpload(const UploadRoles& roles, const UploadRequest& request,
                  const std::function<void()>& unitAnswered, std::stop_token stop) {
    const bool allowed = AllowClientThroughFirewall(roles.firewall, roles.client.Path(), roles.log);
    {
        const std::optional<IPv4Address> source =
            request.unitPath.adapter ? std::optional<IPv4Address>(request.unitPath.source)
                                     : std::nullopt;
        Ping ping(roles.echoes, roles.clock, roles.log, source);
        if (const Outcome pinged =
                ConfigurationOutcome(ping, request.address, request.netmask, request.gateway, stop);
            !pinged.Succeeded()) {
            return pinged;
        }
    }
    if (unitAnswered) {
        unitAnswered();
    }
    ClientStart start = roles.client.Start(PutParameters(request.address, request.path));
    if (!start.client) {
        return {Failure::ClientNotStarted, start.failure};
    }
    const unsigned long long limitMs =
        static_cast<unsigned long long>(request.fixedWaitMs) + kClientGraceMs;
    for (unsigned long long waited = 0; waited < limitMs && !stop.stop_requested();
         waited += kAwaitSliceMs) {
        if (const std::optional<ClientEnd> end = start.client->Await(kAwaitSliceMs)) {
            if (roles.log.On()) {
                LogClientOutput(roles.log, end->output);
            }
            if (end->exitCode == 0) {
                return {};
            }
            return {Failure::ClientFailed,
                    allowed ? end->lastLine : WithFirewallHint(end->lastLine, roles.client.Path()),
                    end->exitCode};
        }
    }
    // Ended, and given a moment to let go of the image before the caller does.
    start.client->End();
    start.client->Await(kClientEndMs);
    if (stop.stop_requested()) {
        roles.log.Write(L"tftp client ended: the upload was interrupted");
        return {Failure::Interrupted, L"Interrupted while the image was being sent."};
    }
    roles.log.Write(L"tftp client ended after " + std::to_wstring(limitMs / 1000) + L" s");
    return {Failure::ClientTimedOut};
}
