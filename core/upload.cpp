// The upload.
#include "core/upload.h"

#include "core/firewall.h"
#include "core/log.h"
#include "core/ping.h"
#include "core/text.h"

namespace {
// The client is looked at this often, so that a stop request is noticed soon.
constexpr unsigned kAwaitSliceMs = 250;
} // namespace

std::wstring TFTP::PutParameters(const IPv4Address& address, const std::wstring& path) {
    const bool needsQuotes = path.find_first_of(L" \t") != std::wstring::npos;
    return L"-i " + address.ToText() + L" PUT " + (needsQuotes ? L"\"" + path + L"\"" : path);
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
    default:
        return L"";
    }
}

namespace {

// The client's output in the log, one entry a line.
void LogClientOutput(const std::wstring& output) {
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) {
            end = output.size();
        }
        if (end > start) {
            WriteLogLine(L"tftp: " + output.substr(start, end - start));
        }
        start = end + 1;
    }
}

} // namespace

Outcome RunUpload(System& system, const UploadRequest& request,
                  const std::function<void()>& unitAnswered, std::stop_token stop) {
    const bool allowed = AllowClientThroughFirewall(system);
    {
        Ping ping(system);
        if (ping.OpenFailure() == EchoOpenFailure::LibraryMissing) {
            return {Failure::EchoLibraryMissing};
        }
        if (ping.OpenFailure() == EchoOpenFailure::HandleFailed) {
            return {Failure::EchoHandleFailed};
        }
        if (!ping.Send(request.address, request.netmask, request.gateway, stop)) {
            return {Failure::NoAnswer, Ping::StatusText(ping.LastErrorStatus()),
                    ping.LastErrorStatus()};
        }
    }
    if (unitAnswered) {
        unitAnswered();
    }
    ClientStart start = system.StartClient(TFTP::PutParameters(request.address, request.path));
    if (!start.client) {
        return {Failure::ClientNotStarted, start.failure};
    }
    const unsigned long long limitMs =
        static_cast<unsigned long long>(request.fixedWaitMs) + kClientGraceMs;
    for (unsigned long long waited = 0; waited < limitMs && !stop.stop_requested();
         waited += kAwaitSliceMs) {
        if (const std::optional<ClientEnd> end = start.client->Await(kAwaitSliceMs)) {
            if (GetDebugFlag()) {
                LogClientOutput(end->output);
            }
            if (end->exitCode == 0) {
                return {};
            }
            return {Failure::ClientFailed,
                    allowed ? end->lastLine : WithFirewallHint(end->lastLine, system.ClientPath()),
                    end->exitCode};
        }
    }
    if (!stop.stop_requested()) {
        start.client->End();
        WriteLogLine(L"tftp client ended after " + std::to_wstring(limitMs / 1000) + L" s");
    }
    return {Failure::ClientTimedOut};
}
