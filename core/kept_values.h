// What the settings keep between runs for the commissioning: the address page's values
// (section "Init"): those of the last "Apply" return at the next start, and an upload
// starts from them too; what the list's last "Fill…" used; and the adapter the
// technician chose last.
#pragma once

#include <cstdint>

#include <optional>
#include <string>
#include <vector>

#include "core/adapter.h"
#include "core/address.h"
#include "core/settings.h"
#include "core/unit_list.h"

struct KeptUnitValues {
    std::uint32_t serial = 0;
    IPv4Address ip;
    IPv4Address netmask;
    IPv4Address gateway;
};

KeptUnitValues KeptAddressPageValues(Settings& settings);
// Keeps `values`, and the MAC text of the serial beside them.
void KeepAddressPageValues(Settings& settings, const KeptUnitValues& values);

// What "Fill…" proposes: what the last fill taken used; before the first, ten units from
// the one after the address page's last (its serial and address plus one, its netmask
// and gateway), so that a technician who addressed a unit by hand goes on from there.
FillRequest ProposedFill(Settings& settings);
// A fill taken: the next "Fill…" proposes it.
void KeepFill(Settings& settings, const FillRequest& fill);

// The adapter chosen last, by its own name; empty when none was.
std::wstring ChosenAdapterId(Settings& settings);
void RememberChosenAdapter(Settings& settings, const Adapter& adapter);
// The adapter chosen last, when it is still up: where nobody can be asked (the command
// line), it stands for the technician's answer.
std::optional<Adapter> RememberedAdapter(const std::vector<Adapter>& adapters, Settings& settings);

// The way to a unit at `address` where nobody is asked (an upload, the command line): the
// adapter whose subnet holds it, else the one chosen last in the window; no adapter when
// neither says (the system picks).
UnitPath UnaskedPath(const std::vector<Adapter>& adapters, Settings& settings,
                     const IPv4Address& address);

// The adapter a unit was addressed through, if any: a search for units starts there.
void RememberUsedAdapter(Settings& settings, const UnitPath& path);
// Where a search for units goes when nobody names the adapter: the one a unit was last
// addressed through, else the one chosen last, when up; else the only adapter up.
std::optional<Adapter> AdapterToSearch(const std::vector<Adapter>& adapters, Settings& settings);
