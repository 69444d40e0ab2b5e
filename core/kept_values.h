// The address page's values as the settings keep them (section "Init"): those of the
// last "Apply" return at the next start, and the list's "Fill…" and an upload start from
// them too.
#pragma once

#include <cstdint>

#include "core/address.h"
#include "core/settings.h"

struct KeptUnitValues {
    std::uint32_t serial = 0;
    IPv4Address ip;
    IPv4Address netmask;
    IPv4Address gateway;
};

KeptUnitValues KeptAddressPageValues(Settings& settings);
// Keeps `values`, and the MAC text of the serial beside them.
void KeepAddressPageValues(Settings& settings, const KeptUnitValues& values);
