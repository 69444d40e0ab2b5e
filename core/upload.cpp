// The upload.
#include "core/upload.h"

#include "core/log.h"
#include "core/ping.h"

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

Outcome RunUpload(System& system, const UploadRequest& request,
                  const std::function<void()>& unitAnswered, std::stop_token stop) {
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
            if (end->exitCode == 0) {
                return {};
            }
            return {Failure::ClientFailed, end->lastLine, end->exitCode};
        }
    }
    if (!stop.stop_requested()) {
        start.client->End();
        WriteLogLine(L"tftp client ended after " + std::to_wstring(limitMs / 1000) + L" s");
    }
    return {Failure::ClientTimedOut};
}
