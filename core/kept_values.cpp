// The address page's kept values.
#include "core/kept_values.h"

#include "core/mac_rule.h"
#include "core/serial.h"

namespace {
constexpr wchar_t kSection[] = L"Init";
// The adapter chosen last, by its own name.
constexpr wchar_t kAdapterSection[] = L"Adapter";
constexpr wchar_t kChosenAdapter[] = L"Chosen";
constexpr wchar_t kUsedAdapter[] = L"Used";
// What the last fill used; a count of 0 (none kept) means no fill was taken yet.
constexpr wchar_t kListSection[] = L"List";
constexpr std::uint32_t kProposedCount = 10;
} // namespace

KeptUnitValues KeptAddressPageValues(Settings& settings) {
    return {settings.Int(kSection, L"SerialNo", 0), settings.Address(kSection, L"IP", {}),
            settings.Address(kSection, L"Netmask", {}), settings.Address(kSection, L"Gateway", {})};
}

void KeepAddressPageValues(Settings& settings, const KeptUnitValues& values) {
    settings.PutText(kSection, L"MAC", MacOfSerial(values.serial).value_or(L""));
    settings.PutInt(kSection, L"SerialNo", values.serial);
    settings.PutAddress(kSection, L"IP", values.ip);
    settings.PutAddress(kSection, L"Netmask", values.netmask);
    settings.PutAddress(kSection, L"Gateway", values.gateway);
}

FillRequest ProposedFill(Settings& settings) {
    if (const std::uint32_t count = settings.Int(kListSection, L"FillCount", 0); count > 0) {
        return {settings.Int(kListSection, L"FillSerial", kLowestSerial),
                settings.Address(kListSection, L"FillAddress", {}), count,
                settings.Address(kListSection, L"FillNetmask", {}),
                settings.Address(kListSection, L"FillGateway", {})};
    }
    const KeptUnitValues last = KeptAddressPageValues(settings);
    // No unit addressed yet: the lowest serial, and no address to go on from.
    const std::uint32_t serial = last.serial < kLowestSerial    ? kLowestSerial
                                 : last.serial >= kHighestSerial ? kHighestSerial
                                                                 : last.serial + 1;
    const IPv4Address address = ValueOf(last.ip) == 0 ? last.ip : FromValue(ValueOf(last.ip) + 1);
    return {serial, address, kProposedCount, last.netmask, last.gateway};
}

void KeepFill(Settings& settings, const FillRequest& fill) {
    settings.PutInt(kListSection, L"FillSerial", fill.firstSerial);
    settings.PutAddress(kListSection, L"FillAddress", fill.firstAddress);
    settings.PutInt(kListSection, L"FillCount", static_cast<std::uint32_t>(fill.count));
    settings.PutAddress(kListSection, L"FillNetmask", fill.netmask);
    settings.PutAddress(kListSection, L"FillGateway", fill.gateway);
}

std::wstring ChosenAdapterId(Settings& settings) {
    return settings.Text(kAdapterSection, kChosenAdapter, L"");
}

void RememberChosenAdapter(Settings& settings, const Adapter& adapter) {
    settings.PutText(kAdapterSection, kChosenAdapter, adapter.id);
}

std::optional<Adapter> RememberedAdapter(const std::vector<Adapter>& adapters, Settings& settings) {
    const std::wstring remembered = ChosenAdapterId(settings);
    for (const Adapter& adapter : adapters) {
        if (!remembered.empty() && adapter.id == remembered) {
            return adapter;
        }
    }
    return std::nullopt;
}

UnitPath UnaskedPath(const std::vector<Adapter>& adapters, Settings& settings,
                     const IPv4Address& address) {
    if (std::optional<UnitPath> path = PathWithoutAsking(adapters, address)) {
        return *path;
    }
    if (const std::optional<Adapter> remembered = RememberedAdapter(adapters, settings)) {
        return PathThrough(*remembered, address);
    }
    return {};
}

void RememberUsedAdapter(Settings& settings, const UnitPath& path) {
    if (path.adapter) {
        settings.PutText(kAdapterSection, kUsedAdapter, path.adapter->id);
    }
}

std::optional<Adapter> AdapterToSearch(const std::vector<Adapter>& adapters, Settings& settings) {
    for (const wchar_t* name : {kUsedAdapter, kChosenAdapter}) {
        const std::wstring id = settings.Text(kAdapterSection, name, L"");
        for (const Adapter& adapter : adapters) {
            if (!id.empty() && adapter.id == id) {
                return adapter;
            }
        }
    }
    return adapters.size() == 1 ? std::optional<Adapter>(adapters.front()) : std::nullopt;
}
