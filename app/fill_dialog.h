// "Fill…": the list made by counting up from a first unit (serial and address), for a
// given number of units that share one netmask and gateway.
#pragma once

#include <cstdint>
#include <optional>

#include "core/address.h"
#include "win32/controls.h"
#include "win32/dialog.h"

struct FillRequest {
    std::uint32_t firstSerial = 0;
    IPv4Address firstAddress;
    std::size_t count = 0;
    IPv4Address netmask;
    IPv4Address gateway;
};

class FillDialog : public Dialog {
public:
    // Starts from `proposal` (the address page's values, ten units).
    explicit FillDialog(const FillRequest& proposal);

    // What the technician filled in, modal to `owner`; nothing when cancelled.
    std::optional<FillRequest> Ask(HWND owner);

protected:
    BOOL OnInitDialog() override;

private:
    void OnOk();

    FillRequest request_;
    Edit serial_;
    Edit count_;
    IpAddressControl address_;
    IpAddressControl netmask_;
    IpAddressControl gateway_;
};
