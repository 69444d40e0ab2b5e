// ICMP.DLL as the configuration ping needs it: loaded at run time from the system
// directory, one handle, one echo at a time.
#pragma once

#include "core/system.h"

// Loads the library and opens a handle; says which of the two failed otherwise.
EchoOpening OpenIcmpEcho();
