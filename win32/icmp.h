// ICMP echoes as the configuration ping needs them: ICMP.DLL loaded at run time from the
// system directory, one handle, one echo at a time; with a source address, iphlpapi.dll's
// IcmpSendEcho2Ex, so the echo leaves through that address's adapter. An echo that a stop
// may end is waited for on a thread of its own, so that the stop ends the wait at once.
#pragma once

#include <optional>

#include "core/echoes.h"

// Loads the library and opens a handle; says which of the two failed otherwise. A source
// that cannot be used falls back to ICMP.DLL without it.
EchoOpening OpenIcmpEcho(const std::optional<IPv4Address>& source = std::nullopt);
