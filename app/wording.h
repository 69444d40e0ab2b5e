// Texts the pages and the command line share: an address check's fault, a list that
// cannot be taken, a unit's outcome as the list shows it.
#pragma once

#include <string>

#include "core/address_check.h"
#include "core/outcome.h"
#include "core/unit_list.h"

// The string-table text that explains `fault` (the address page's own words).
std::wstring AddressFaultText(AddressFault fault);
// "Line 3: The new netmask must be ones followed by zeros, ..."
std::wstring ListProblemText(const ListProblem& problem);
// "SUCCESS!", or "FAILED!!!" with the reason after it: the outcome boxes' words.
std::wstring UnitStatusText(bool succeeded, const std::wstring& reason);
