// ICMP echoes as the configuration ping needs them: ICMP.DLL loaded at run time from the
// system directory, one handle, one echo at a time; with a source address, iphlpapi.dll's
// IcmpSendEcho2Ex, so the echo leaves through that address's adapter. Each echo completes
// through an event, so that a stop ends the wait for it at once (the handle's closing
// cancels the request).
#pragma once

#include <optional>

#include "core/echoes.h"

// Loads the library and opens a handle; says which of the two failed otherwise. A source
// that cannot be used falls back to ICMP.DLL without it.
EchoOpening OpenIcmpEcho(const std::optional<IPv4Address>& source = std::nullopt);
