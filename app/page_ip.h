// The address page: serial number and new addresses in, "Apply" assigns them to the
// unit, "Show" opens its web page. The values of the last "Apply" return at the next
// start.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/page.h"
#include "core/adapter.h"
#include "core/address.h"
#include "win32/controls.h"
#include "win32/tooltip.h"

// The values of the last "Apply" as the settings keep them; the list's "Fill…" and the
// command line start from them too.
struct KeptUnitValues {
    std::uint32_t serial = 0;
    IPv4Address ip;
    IPv4Address netmask;
    IPv4Address gateway;
};
KeptUnitValues KeptAddressPageValues();

class PageIP : public Page {
public:
    PageIP(System& system, Notices& notices) : Page(system, notices) {}
    UINT GetTemplateID() const override;

    // The page's copies: loaded at start, taken from the controls by "Apply" (all three)
    // and "Show" (the address alone); typing alone does not change them.
    const IPv4Address& GetIP() const { return ip_; }
    const IPv4Address& GetNetmask() const { return netmask_; }
    const IPv4Address& GetGateway() const { return gateway_; }

    // Lets the tooltips see the mouse before the dialog does.
    bool PreTranslateMessage(const MSG& message) override;

    void OnApply();
    void OnShow();

    // The default value of a key under HKEY_CLASSES_ROOT: 0 and the text, or the error.
    static LSTATUS QueryClassDefault(const std::wstring& keyName, std::wstring& text);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void OnWorkDone(const Outcome& outcome) override;

private:
    void LoadSettings();
    void SaveSettings();
    bool ValidateSerial();
    bool ValidateAddresses();
    void SetupToolTips();
    // "Adapter: Ethernet (10.77.0.1)": which adapter an "Apply" to the address typed uses.
    void ShowAdapterLine();
    // The way to the unit at `ip`: decided, or asked of the technician (and remembered);
    // nothing when the question was cancelled.
    std::optional<UnitPath> ChoosePath(const IPv4Address& ip);
    // The framework-style exchange between the serial and MAC fields and their edits.
    bool ReadFields();
    void WriteFields();
    void ReadAddressControls();
    void RejectSerial(unsigned messageId);

    std::uint32_t serial_ = 0;
    IpAddressControl ipControl_;
    IpAddressControl netmaskControl_;
    IpAddressControl gatewayControl_;
    ToolTip toolTips_;
    std::wstring mac_;
    IPv4Address ip_;
    IPv4Address netmask_;
    IPv4Address gateway_;
    Edit serialEdit_;
    Edit macEdit_;
    Button applyButton_;
    Button showButton_;
};
