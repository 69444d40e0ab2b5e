// The address page's kept values.
#include "core/kept_values.h"

#include "core/mac_rule.h"

namespace {
constexpr wchar_t kSection[] = L"Init";
} // namespace

KeptUnitValues KeptAddressPageValues(Settings& settings) {
    return {settings.Int(kSection, L"SerialNo", 0), settings.Address(kSection, L"IP", {}),
            settings.Address(kSection, L"Netmask", {}),
            settings.Address(kSection, L"Gateway", {})};
}

void KeepAddressPageValues(Settings& settings, const KeptUnitValues& values) {
    settings.PutText(kSection, L"MAC", MacOfSerial(values.serial).value_or(L""));
    settings.PutInt(kSection, L"SerialNo", values.serial);
    settings.PutAddress(kSection, L"IP", values.ip);
    settings.PutAddress(kSection, L"Netmask", values.netmask);
    settings.PutAddress(kSection, L"Gateway", values.gateway);
}
