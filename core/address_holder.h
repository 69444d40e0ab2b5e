// Who already holds an address on the unit's segment. Giving a unit an address that a
// PLC or a printer holds takes that device off the network, so the assignment asks first.
#pragma once

#include <optional>
#include <string>

#include "core/adapter.h"
#include "core/address.h"
#include "core/clock.h"
#include "core/echoes.h"
#include "core/pc_tables.h"

class Log;

// How long the segment is given to answer for the address. A device answers an ARP
// request in milliseconds; this is all an "Apply" waits more when nobody holds it.
constexpr unsigned kHolderAnswerMs = 1000;

// The MAC of the device that answers for `address` on `path`'s adapter, in dash form;
// nothing when nobody does (or no echo could be sent: the assignment then fails anyway).
// An echo from the adapter's address makes the PC resolve the address; a device that
// drops the echo itself still answers the resolution, so the neighbour table decides.
// With the log on, the answer and how long it took are logged.
std::optional<std::wstring> AddressHolder(Echoes& echoes, PcTables& tables, Clock& clock, Log& log,
                                          const UnitPath& path, const IPv4Address& address);

// The same MAC, whatever the letter case and whether written with ':' or '-'.
bool SameMac(const std::wstring& a, const std::wstring& b);

// "The address A.B.C.D is already in use by the device with MAC xx-xx-xx-xx-xx-xx."
std::wstring AddressInUseText(const IPv4Address& address, const std::wstring& mac);
