// The address page: serial number and new addresses in, "Apply" assigns them to the
// unit, "Show" opens its web page. The values of the last "Apply" return at the next
// start.
#pragma once

#include <optional>
#include <string>

#include "app/page.h"
#include "core/adapter.h"
#include "core/kept_values.h"
#include "win32/controls.h"
#include "win32/tooltip.h"

class PageIP : public Page {
public:
    PageIP(Services& services, Notices& notices);

    // The page's values: loaded at start, taken from the controls by "Apply" (all of them)
    // and "Show" (the address alone); typing alone does not change them.
    const IPv4Address& GetIP() const { return values_.ip; }
    const IPv4Address& GetNetmask() const { return values_.netmask; }
    const IPv4Address& GetGateway() const { return values_.gateway; }

    // Lets the tooltips see the mouse before the dialog does.
    bool PreTranslateMessage(const MSG& message) override;

    void OnApply();
    void OnShow();

protected:
    BOOL OnInitDialog() override;
    void OnDpiChanged() override { toolTips_.FollowDpi(); }
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    // The values into the controls: serial, its MAC, and the three addresses.
    void ShowValues();
    // The values the controls hold, when their serial passes the checks (each refusal
    // told); nothing stored yet.
    std::optional<KeptUnitValues> TypedValues();
    std::optional<std::uint32_t> TypedSerial();
    bool CheckAddresses(const KeptUnitValues& values);
    void RejectSerial(unsigned messageId);
    void SetupToolTips();
    // "Adapter: Ethernet (10.77.0.1)": which adapter an "Apply" to the address typed uses.
    void ShowAdapterLine();
    // The way to the unit at `ip`: decided, or asked of the technician (and remembered);
    // nothing when the question was cancelled.
    std::optional<UnitPath> ChoosePath(const IPv4Address& ip);
    void OnWorkDone(const Outcome& outcome);
    void RemoveStoredEntry();
    // In the adapter's line: the sequence waits for another Varnok's; and its end.
    void ShowWaiting();
    void EndWaiting();

    KeptUnitValues values_;
    Edit serialEdit_;
    Edit macEdit_;
    IpAddressControl ipControl_;
    IpAddressControl netmaskControl_;
    IpAddressControl gatewayControl_;
    Button applyButton_;
    Button showButton_;
    ToolTip toolTips_;
    std::optional<std::wstring> lineBeforeWaiting_;
    bool applyAfterStart_ = false; // "Apply" came while the start's own work ran
};
