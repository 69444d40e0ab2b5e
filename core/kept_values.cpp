// The address page's kept values.
#include "core/kept_values.h"

#include "core/mac_rule.h"

namespace {
constexpr wchar_t kSection[] = L"Init";
// The adapter chosen last, by its own name.
constexpr wchar_t kAdapterSection[] = L"Adapter";
constexpr wchar_t kChosenAdapter[] = L"Chosen";
constexpr wchar_t kUsedAdapter[] = L"Used";
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
