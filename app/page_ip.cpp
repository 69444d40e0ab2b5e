// The address page.
#include "app/page_ip.h"

#include <commctrl.h>

#include <algorithm>

#include "app/adapter_dialog.h"
#include "app/wording.h"
#include "core/address_check.h"
#include "core/arp.h"
#include "core/browser.h"
#include "core/commissioning.h"
#include "core/macbuilder.h"
#include "core/serial.h"
#include "core/setup.h"
#include "res/resource_ids.h"
#include "res/string_ids.h"
#include "win32/settings.h"

namespace {

constexpr wchar_t kSection[] = L"Init";

} // namespace

KeptUnitValues KeptAddressPageValues() {
    return {GetProfileInt(kSection, L"SerialNo", 0), GetProfileAddress(kSection, L"IP", {}),
            GetProfileAddress(kSection, L"Netmask", {}),
            GetProfileAddress(kSection, L"Gateway", {})};
}

UINT PageIP::GetTemplateID() const {
    return IDD_PAGE_IP;
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
    LoadSettings();
    ipControl_.SetAddress(ip_);
    netmaskControl_.SetAddress(netmask_);
    gatewayControl_.SetAddress(gateway_);
    WriteFields();
    ShowAdapterLine();
    applyButton_.Enable(true);
    showButton_.Enable(true);
    return TRUE;
}

bool PageIP::OnCommand(int id, int code) {
    if (code == BN_CLICKED && id == IDC_APPLY) {
        OnApply();
        return true;
    }
    if (code == BN_CLICKED && id == IDC_SHOW) {
        OnShow();
        return true;
    }
    if (code == EN_CHANGE && id == IDC_NEW_IP) {
        ShowAdapterLine();
        return true;
    }
    return Page::OnCommand(id, code);
}

INT_PTR PageIP::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message == WM_DESTROY) {
        toolTips_.Destroy(); // its popup belongs to the main window, which may stay
    }
    return Page::OnMessage(message, wParam, lParam, handled);
}

void PageIP::LoadSettings() {
    mac_ = GetProfileString(kSection, L"MAC", L"00:00:00:00:00:00");
    const KeptUnitValues kept = KeptAddressPageValues();
    serial_ = std::max(kept.serial, kLowestSerial);
    ip_ = kept.ip;
    netmask_ = kept.netmask;
    gateway_ = kept.gateway;
    mac_ = MACbuilder().Build(serial_);
    WriteFields();
    // An entry a previous run may have left for the stored address goes now.
    Arp(system_, ip_, mac_).Delete();
}

void PageIP::SaveSettings() {
    WriteFields();
    ReadAddressControls();
    WriteProfileString(kSection, L"MAC", mac_);
    WriteProfileInt(kSection, L"SerialNo", serial_);
    WriteProfileBinary(kSection, L"IP", ip_.octet.data(), ip_.octet.size());
    WriteProfileBinary(kSection, L"Netmask", netmask_.octet.data(), netmask_.octet.size());
    WriteProfileBinary(kSection, L"Gateway", gateway_.octet.data(), gateway_.octet.size());
}

void PageIP::ReadAddressControls() {
    ip_ = ipControl_.GetAddress();
    netmask_ = netmaskControl_.GetAddress();
    gateway_ = gatewayControl_.GetAddress();
}

void PageIP::WriteFields() {
    serialEdit_.SetText(std::to_wstring(serial_));
    macEdit_.SetText(mac_);
}

bool PageIP::ReadFields() {
    const std::optional<std::uint32_t> serial = ReadSerialNumber(serialEdit_.GetText());
    if (!serial) {
        notices_.Warn(L"Enter a positive integer.");
        serialEdit_.Focus();
        serialEdit_.SelectAll();
        return false;
    }
    serial_ = *serial;
    mac_ = macEdit_.GetText();
    return true;
}

void PageIP::RejectSerial(unsigned messageId) {
    notices_.Beep();
    notices_.Warn(LoadStringText(messageId));
    serialEdit_.Focus();
}

bool PageIP::ValidateSerial() {
    const std::wstring text = serialEdit_.GetText();
    switch (CheckSerialLength(text)) {
    case SerialLength::TooShort:
        RejectSerial(IDS_SERIAL_TOO_SHORT);
        return false;
    case SerialLength::TooLong:
        RejectSerial(IDS_SERIAL_TOO_LONG);
        return false;
    case SerialLength::Fine:
        break;
    }
    if (!ReadFields()) {
        return false;
    }
    if (serial_ < kLowestSerial) {
        RejectSerial(IDS_SERIAL_TOO_SMALL);
        return false;
    }
    mac_ = MACbuilder().Build(serial_);
    WriteFields();
    return true;
}

bool PageIP::ValidateAddresses() {
    const IPv4Address ip = ipControl_.GetAddress();
    const IPv4Address netmask = netmaskControl_.GetAddress();
    const IPv4Address gateway = gatewayControl_.GetAddress();
    const AddressFault fault = CheckAddresses(ip, netmask, gateway, system_.OwnAddresses());
    if (fault == AddressFault::None) {
        return true;
    }
    notices_.Beep();
    notices_.Warn(AddressFaultText(fault));
    switch (FieldOf(fault)) {
    case AddressField::Ip:
        ipControl_.Focus();
        break;
    case AddressField::Netmask:
        netmaskControl_.Focus();
        break;
    case AddressField::Gateway:
        gatewayControl_.Focus();
        break;
    }
    return false;
}

void PageIP::ShowAdapterLine() {
    const std::vector<Adapter> adapters = system_.Adapters();
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
    const std::vector<Adapter> adapters = system_.Adapters();
    if (std::optional<UnitPath> path = PathWithoutAsking(adapters, ip)) {
        return path;
    }
    const std::optional<Adapter> chosen = AskAdapter(adapters, GetAppMainWindow());
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
    // Nothing is stored or run before all four fields are fit for use, and before the
    // technician has said which adapter leads to the unit where that is not clear.
    if (!ValidateSerial() || !ValidateAddresses()) {
        return;
    }
    const std::optional<UnitPath> path = ChoosePath(ipControl_.GetAddress());
    if (!path) {
        return;
    }
    SaveSettings();
    applyButton_.Enable(false);
    showButton_.Enable(false);
    SetBusy(true); // the whole window, until the outcome has been shown
    ReadFields();
    StartWork([this, unit = Assignment{serial_, mac_, ip_, netmask_, gateway_, *path}](
                  std::stop_token stop) {
        const Done done = AssignAndRecord(system_, unit, stop);
        NoteRecordFailure(done.recordFailure);
        return done.outcome;
    });
}

void PageIP::OnWorkDone(const Outcome& outcome) {
    if (!Stopping()) {
        ShowOutcome(notices_, outcome);
    }
    applyButton_.Enable(true);
    showButton_.Enable(true);
    SetBusy(false);
}

LSTATUS PageIP::QueryClassDefault(const std::wstring& keyName, std::wstring& text) {
    // Text of any length; RegGetValueW ends it in a NUL even where the stored value lacks
    // one. An expandable value comes with its environment variables filled in: an open
    // command may name its program as "%ProgramFiles%\...", and it is started by that path.
    std::wstring value(260, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) { // the value may grow between two reads
        DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        const LSTATUS status = ::RegGetValueW(HKEY_CLASSES_ROOT, keyName.c_str(), nullptr,
                                              RRF_RT_REG_SZ, nullptr, value.data(), &size);
        if (status == ERROR_MORE_DATA) {
            value.assign(size / sizeof(wchar_t) + 1, L'\0');
            continue;
        }
        if (status != ERROR_SUCCESS) {
            return status;
        }
        text.assign(value.c_str());
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

void PageIP::OnShow() {
    ReadFields(); // a serial that reads as no number is reported, and Show goes on
    ip_ = ipControl_.GetAddress();
    const std::wstring webAddress = WebAddress(ip_);
    // The shell opens it as the desktop's user where it can: a browser must not inherit
    // Varnok's administrator rights.
    if (system_.ShellOpen(webAddress, L"").started) {
        return;
    }
    // Web addresses have no association of their own here: the browser registered for
    // ".htm" pages is started by its path with the address, never with its whole command
    // handed to the shell as a document's name.
    std::wstring htmClass;
    if (QueryClassDefault(L".htm", htmClass) != ERROR_SUCCESS) {
        return;
    }
    std::wstring openCommand;
    if (QueryClassDefault(htmClass + L"\\shell\\open\\command", openCommand) != ERROR_SUCCESS) {
        return;
    }
    if (const std::optional<BrowserStart> browser = BrowserStartFor(openCommand, webAddress)) {
        system_.StartProgram(browser->program, browser->arguments);
    }
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
