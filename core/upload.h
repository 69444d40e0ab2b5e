// Sending an image to a unit: the configuration ping checks that the unit answers, then
// the TFTP client that Varnok carries sends the file; the client's exit code decides.
// The run returns its outcome and shows nothing itself.
#pragma once

#include <functional>
#include <stop_token>
#include <string>

#include "core/address.h"
#include "core/outcome.h"
#include "core/system.h"

class TFTP {
public:
    // "-i <address> PUT <path>", the path in double quotes when it holds a blank or tab
    // (the client would otherwise take it for several arguments).
    static std::wstring PutParameters(const IPv4Address& address, const std::wstring& path);
};

// The last non-empty line of a program's output (8-bit text, any line ends), without
// surrounding blanks.
std::wstring LastOutputLine(const std::string& output);
// A program's output as text, each byte one character.
std::wstring OutputText(const std::string& output);

// A path as pasted or typed: surrounding blanks and one pair of surrounding double
// quotes (Explorer's "Copy as path") removed.
std::wstring CleanPath(const std::wstring& path);

// The second line of a failed upload's box: why, when the client says or it is known.
std::wstring UploadFailureReason(const Outcome& outcome);

struct UploadRequest {
    IPv4Address address; // the unit's current address
    IPv4Address netmask;
    IPv4Address gateway;
    std::wstring path;
    unsigned fixedWaitMs = 0; // the page's fixed wait; the client gets 90 s beyond it
};

// How long a client may run after the fixed wait before it is ended.
constexpr unsigned kClientGraceMs = 90'000;

// Pings the unit; when it answers, calls `unitAnswered` (the page starts its fixed wait
// then) and starts the client, and waits for it to end. A stop request ends the wait for
// the client (which runs on by itself) with the outcome ClientTimedOut.
Outcome RunUpload(System& system, const UploadRequest& request,
                  const std::function<void()>& unitAnswered, std::stop_token stop = {});
