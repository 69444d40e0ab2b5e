// Sending an image to a unit: the configuration ping checks that the unit answers, then
// the TFTP client that Varnok carries sends the file; the client's exit code decides.
// The run returns its outcome and shows nothing itself.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "core/adapter.h"
#include "core/address.h"
#include "core/client_program.h"
#include "core/clock.h"
#include "core/echoes.h"
#include "core/firewall.h"
#include "core/kept_values.h"
#include "core/log.h"
#include "core/outcome.h"

// What an upload uses of the system.
struct UploadRoles {
    Echoes& echoes;
    Clock& clock;
    ClientProgram& client;
    Firewall& firewall;
    Log& log;
};

// The client's parameters for sending `path` to `address`: "-i <address> PUT <path>",
// the path in double quotes when it holds a blank or tab (the client would otherwise
// take it for several arguments).
std::wstring PutParameters(const IPv4Address& address, const std::wstring& path);

// A firmware image (*.bin) takes the unit longer to write than web pages (*.ROM).
enum class ImageKind { Firmware, WebPages };
// By the name's ending: ".bin" or ".BIN" is firmware, anything else web pages.
ImageKind ImageKindOf(const std::wstring& path);
// The fixed wait after the unit answered, in seconds (the update page's ticks), before a
// sent image counts as written.
unsigned FixedWaitTicks(ImageKind kind);

// The unit's time to take and write an image: the fixed wait from when it answered the check
// echo (so from the client's start). Every place that shows or awaits it follows this one:
// the update page's bar, the list's rows, the command line.
class UploadDeadline {
public:
    UploadDeadline(std::uint64_t answeredAtMs, unsigned fixedWaitMs)
        : end_(answeredAtMs + fixedWaitMs), fixedWaitMs_(fixedWaitMs) {}
    bool Over(std::uint64_t nowMs) const { return nowMs >= end_; }
    std::uint64_t LeftMs(std::uint64_t nowMs) const { return Over(nowMs) ? 0 : end_ - nowMs; }
    // Whole seconds left, rounded up: what a countdown shows ("30 s" at the start).
    unsigned SecondsLeft(std::uint64_t nowMs) const;
    // The share of the wait that has passed, in `steps` (a progress bar's range).
    unsigned StepsPassed(std::uint64_t nowMs, unsigned steps) const;
    // Pauses until the deadline; false when `stop` came first.
    bool Await(Clock& clock, std::stop_token stop) const;

private:
    std::uint64_t end_;
    unsigned fixedWaitMs_;
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

// The netmask and gateway a unit at `address` last took, so that the upload's check echo
// carries them and never gives a receptive unit other ones: the address page's kept
// values when they are for that address, else the record's (`recorded`), else the
// netmask of the adapter whose subnet holds the address, and no gateway.
struct UnitSettings {
    IPv4Address netmask;
    IPv4Address gateway;
};
UnitSettings UploadSettingsFor(const IPv4Address& address, const KeptUnitValues& kept,
                               const std::optional<UnitSettings>& recorded,
                               const std::vector<Adapter>& adapters);

struct UploadRequest {
    IPv4Address address; // the unit's current address
    IPv4Address netmask;
    IPv4Address gateway;
    std::wstring path;
    unsigned fixedWaitMs = 0; // the page's fixed wait; the client gets 90 s beyond it
    // The adapter the check echo leaves through, as an Apply's would (the cable, not a
    // laptop's Wi-Fi); without one the system picks.
    UnitPath unitPath;
};

// How long a client may run after the fixed wait before it is ended.
constexpr unsigned kClientGraceMs = 90'000;

// Pings the unit; when it answers, calls `unitAnswered` (the page starts its fixed wait
// then) and starts the client, and waits for it to end: 90 s past the fixed wait at most,
// then it is ended (ClientTimedOut). A stop request (the program closing, Ctrl+C) ends the
// client too, and the upload is Interrupted.
Outcome RunUpload(const UploadRoles& roles, const UploadRequest& request,
                  const std::function<void()>& unitAnswered, std::stop_token stop = {});
