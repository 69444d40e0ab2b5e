// The address page.
#include "app/page_ip.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "app/adapter_dialog.h"
#include "app/wording.h"
#include "core/address_check.h"
#include "core/arp.h"
#include "core/browser.h"
#include "core/commissioning.h"
#include "core/kept_values.h"
#include "core/mac_rule.h"
#include "core/serial.h"
#include "res/resource_ids.h"
#include "res/string_ids.h"

PageIP::PageIP(Services& services, Notices& notices) : Page(IDD_PAGE_IP, services, notices) {
    OnControl(IDC_APPLY, [this] { OnApply(); });
    OnControl(IDC_SHOW, [this] { OnShow(); });
    OnControl(
        IDC_NEW_IP, [this] { ShowAdapterLine(); }, EN_CHANGE);
}

BOOL PageIP::OnInitDialog() {
    Page::OnInitDialog();
    macEdit_.Attach(Item(IDC_MAC));
    serialEdit_.Attach(Item(IDC_SERIAL));
    ipControl_.Attach(Item(IDC_NEW_IP));
    netmaskControl_.Attach(Item(IDC_NEW_NETMASK));
    gatewayControl_.Attach(Item(IDC_NEW_GATEWAY));
    applyButton_.Attach(Item(IDC_APPLY));
    showButton_.Attach(Item(IDC_SHOW));
    SetupToolTips();

    values_ = KeptAddressPageValues(services_.settings);
    values_.serial = std::max(values_.serial, kLowestSerial);
    ShowValues();
    ShowAdapterLine();
    applyButton_.Enable(true);
    showButton_.Enable(true);
    RemoveStoredEntry();
    return TRUE;
}

void PageIP::RemoveStoredEntry() {
    // An entry a previous run may have left for the stored address goes now: off the
    // window's thread, and under the tables' lock like every other change. Only the kind
    // Varnok makes (a static entry with a unit's MAC): the stored address comes from the
    // user's settings, and an administrator's entry for a printer there is not Varnok's.
    SetBusy(Busy::Whole);
    StartWork(
        [this, stored = values_.ip](std::stop_token stop) {
            const TablesLock::Acquisition lock =
                services_.lock.Acquire(stop, [this] { Post([this] { ShowWaiting(); }); });
            if (const StaticEntry entry = services_.tables.StaticEntryAt(stored);
                lock.held && entry.seen == Seen::There && IsUnitMac(entry.mac)) {
                Arp(services_.tables, stored, L"").Delete();
            }
        },
        [this] {
            EndWaiting();
            SetBusy(Busy::No);
            if (std::exchange(applyAfterStart_, false) && !Stopping()) {
                OnApply();
            }
        });
}

void PageIP::ShowWaiting() {
    if (!lineBeforeWaiting_) {
        wchar_t line[256] = {};
        ::GetDlgItemTextW(hwnd(), IDC_ADAPTER, line, 256);
        lineBeforeWaiting_ = line;
    }
    ::SetDlgItemTextW(hwnd(), IDC_ADAPTER,
                      L"Waiting for another Varnok to finish with the PC's tables...");
}

void PageIP::EndWaiting() {
    if (lineBeforeWaiting_) {
        ::SetDlgItemTextW(hwnd(), IDC_ADAPTER, lineBeforeWaiting_->c_str());
        lineBeforeWaiting_.reset();
    }
}

INT_PTR PageIP::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message == WM_DESTROY) {
        toolTips_.Destroy(); // its popup belongs to the main window, which may stay
    }
    return Page::OnMessage(message, wParam, lParam, handled);
}

void PageIP::ShowValues() {
    serialEdit_.SetText(std::to_wstring(values_.serial));
    macEdit_.SetText(MacOfSerial(values_.serial).value_or(L""));
    ipControl_.SetAddress(values_.ip);
    netmaskControl_.SetAddress(values_.netmask);
    gatewayControl_.SetAddress(values_.gateway);
}

void PageIP::RejectSerial(unsigned messageId) {
    notices_.Beep();
    notices_.Warn(LoadStringText(messageId));
    serialEdit_.Focus();
}

std::optional<std::uint32_t> PageIP::TypedSerial() {
    const std::optional<std::uint32_t> serial = ReadSerialNumber(serialEdit_.GetText());
    if (!serial) {
        notices_.Warn(L"Enter a positive integer.");
        serialEdit_.Focus();
        serialEdit_.SelectAll();
    }
    return serial;
}

std::optional<KeptUnitValues> PageIP::TypedValues() {
    switch (CheckSerialLength(serialEdit_.GetText())) {
    case SerialLength::TooShort:
        RejectSerial(IDS_SERIAL_TOO_SHORT);
        return std::nullopt;
    case SerialLength::TooLong:
        RejectSerial(IDS_SERIAL_TOO_LONG);
        return std::nullopt;
    case SerialLength::Fine:
        break;
    }
    const std::optional<std::uint32_t> serial = TypedSerial();
    if (!serial) {
        return std::nullopt;
    }
    if (*serial < kLowestSerial) {
        RejectSerial(IDS_SERIAL_TOO_SMALL);
        return std::nullopt;
    }
    // The serial as read, and its MAC, before the addresses are looked at.
    serialEdit_.SetText(std::to_wstring(*serial));
    macEdit_.SetText(MacOfSerial(*serial).value_or(L""));
    return KeptUnitValues{*serial, ipControl_.GetAddress(), netmaskControl_.GetAddress(),
                          gatewayControl_.GetAddress()};
}

bool PageIP::CheckAddresses(const KeptUnitValues& values) {
    const AddressFault fault = ::CheckAddresses(values.ip, values.netmask, values.gateway,
                                                services_.tables.OwnAddresses());
    if (fault == AddressFault::None) {
        return true;
    }
    notices_.Beep();
    notices_.Warn(AddressFaultText(fault));
    const IpAddressControl* fields[] = {&ipControl_, &netmaskControl_, &gatewayControl_};
    fields[static_cast<int>(FieldOf(fault))]->Focus();
    return false;
}

void PageIP::ShowAdapterLine() {
    const std::vector<Adapter> adapters = services_.tables.Adapters();
    std::wstring line = L"Adapter: ";
    if (const std::optional<UnitPath> path = PathWithoutAsking(adapters, ipControl_.GetAddress())) {
        line += path->adapter ? AdapterLabel(*path->adapter) : L"none is up";
        if (path->adapter && path->hostRoute) {
            line += L", host route";
        }
    } else {
        line += L"asked at Apply";
    }
    ::SetDlgItemTextW(hwnd(), IDC_ADAPTER, line.c_str());
}

std::optional<UnitPath> PageIP::ChoosePath(const IPv4Address& ip) {
    const std::vector<Adapter> adapters = services_.tables.Adapters();
    if (std::optional<UnitPath> path = PathWithoutAsking(adapters, ip)) {
        return path;
    }
    const std::optional<Adapter> chosen = AskAdapter(adapters, Owner(), services_.settings);
    if (!chosen) {
        return std::nullopt;
    }
    UnitPath path = PathThrough(*chosen, ip);
    ::SetDlgItemTextW(
        hwnd(), IDC_ADAPTER,
        (L"Adapter: " + AdapterLabel(*chosen) + (path.hostRoute ? L", host route" : L"")).c_str());
    return path;
}

void PageIP::OnApply() {
    if (Working()) {
        // The start's own work (the stored address's entry, which may wait for another
        // Varnok) has not ended: the Apply follows as soon as it has.
        applyAfterStart_ = true;
        ShowWaiting();
        return;
    }
    // Nothing is stored or run before all four fields are fit for use, and before the
    // technician has said which adapter leads to the unit where that is not clear.
    const std::optional<KeptUnitValues> typed = TypedValues();
    if (!typed || !CheckAddresses(*typed)) {
        return;
    }
    const std::optional<UnitPath> path = ChoosePath(typed->ip);
    if (!path) {
        return;
    }
    values_ = *typed;
    KeepAddressPageValues(services_.settings, values_);
    RememberUsedAdapter(services_.settings, *path);
    applyButton_.Enable(false);
    showButton_.Enable(false);
    SetBusy(Busy::Whole); // until the outcome has been shown
    const Assignment unit{values_.serial,  MacOfSerial(values_.serial).value_or(L""),
                          values_.ip,      values_.netmask,
                          values_.gateway, *path};
    auto outcome = std::make_shared<Outcome>();
    StartWork(
        [this, unit, outcome](std::stop_token stop) {
            AssignmentRoles roles = services_.Assignment();
            roles.waitingForTables = [this] { Post([this] { ShowWaiting(); }); };
            const Done done = AssignAndRecord(roles, services_.record, unit, stop);
            NoteRecordFailure(done.recordFailure);
            *outcome = done.outcome;
        },
        [this, outcome] { OnWorkDone(Final(*outcome)); });
}

void PageIP::OnWorkDone(const Outcome& outcome) {
    EndWaiting();
    if (!Stopping()) {
        ShowAssignmentOutcome(notices_, outcome);
    }
    applyButton_.Enable(true);
    showButton_.Enable(true);
    SetBusy(Busy::No);
}

void PageIP::OnShow() {
    TypedSerial(); // a serial that reads as no number is reported, and Show goes on
    values_.ip = ipControl_.GetAddress();
    OpenUnitPage(values_.ip);
}

void PageIP::SetupToolTips() {
    if (!toolTips_.Create(hwnd())) {
        return;
    }
    const struct {
        int control;
        unsigned text;
    } tools[] = {
        {IDC_SERIAL, IDS_TIP_SERIAL},
        {IDC_NEW_IP, IDS_TIP_IP},
        {IDC_NEW_NETMASK, IDS_TIP_NETMASK},
        {IDC_NEW_GATEWAY, IDS_TIP_GATEWAY},
        {IDC_LABEL_IP, IDS_TIP_IP},
        {IDC_LABEL_NETMASK, IDS_TIP_NETMASK},
        {IDC_LABEL_GATEWAY, IDS_TIP_GATEWAY},
        {IDC_MAC, IDS_TIP_MAC},
        {IDC_SHOW, IDS_TIP_SHOW},
        {IDC_APPLY, IDS_TIP_APPLY},
    };
    for (const auto& tool : tools) {
        toolTips_.AddTool(Item(tool.control), LoadStringText(tool.text));
    }
}

bool PageIP::PreTranslateMessage(const MSG& message) {
    toolTips_.Relay(message);
    return Page::PreTranslateMessage(message);
}
