// The address page.
#include "ui/page_ip.h"

#include <commctrl.h>

#include "common/cursor.h"
#include "common/launcher.h"
#include "common/strings.h"
#include "ui/app_message.h"
#include "ui/browser.h"
#include "ui/resource_ids.h"
#include "ui/serial.h"
#include "ui/settings.h"
#include "unit/arp.h"
#include "unit/macbuilder.h"
#include "unit/setup.h"

namespace {

constexpr wchar_t kSection[] = L"Init";

// Up to four stored bytes replace the copy's octets from the first on; a missing value
// leaves it as it is, extra bytes are ignored.
void LoadAddress(const wchar_t* name, IPv4Address& address) {
    const std::vector<std::uint8_t> bytes = GetProfileBinary(kSection, name);
    for (std::size_t i = 0; i < bytes.size() && i < address.octet.size(); ++i) {
        address.octet[i] = bytes[i];
    }
}

} // namespace

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
    return Page::OnCommand(id, code);
}

INT_PTR PageIP::OnMessage(UINT message, WPARAM, LPARAM, bool& handled) {
    handled = false;
    if (message == WM_DESTROY && toolTips_) {
        // A popup is owned by the top-level window, which may outlive the page.
        ::DestroyWindow(toolTips_);
        toolTips_ = nullptr;
    }
    return 0;
}

void PageIP::LoadSettings() {
    mac_ = GetProfileString(kSection, L"MAC", L"00:00:00:00:00:00");
    serial_ = GetProfileInt(kSection, L"SerialNo", 0);
    if (serial_ < kLowestSerial) {
        serial_ = kLowestSerial;
    }
    LoadAddress(L"IP", ip_);
    LoadAddress(L"Netmask", netmask_);
    LoadAddress(L"Gateway", gateway_);
    mac_ = MACbuilder().Build(serial_);
    WriteFields();
    // An entry a previous run may have left for the stored address goes now.
    Arp(ip_, mac_).Delete();
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
        AppMessageBox(L"Enter a positive integer.");
        serialEdit_.Focus();
        serialEdit_.SelectAll();
        return false;
    }
    serial_ = *serial;
    mac_ = macEdit_.GetText();
    return true;
}

void PageIP::RejectSerial(unsigned messageId) {
    WarningBeep();
    AppMessageBox(LoadStringText(messageId));
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

void PageIP::OnApply() {
    if (!ValidateSerial()) {
        return;
    }
    SaveSettings();
    ScopedWaitCursor wait;
    applyButton_.Enable(false);
    showButton_.Enable(false);
    ReadFields();
    Setup setup(mac_, ip_, netmask_, gateway_);
    setup.Run();
    applyButton_.Enable(true);
    showButton_.Enable(true);
}

LSTATUS PageIP::QueryClassDefault(const std::wstring& keyName, std::wstring& text) {
    HKEY opened = nullptr;
    LSTATUS status =
        ::RegOpenKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_QUERY_VALUE, &opened);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    struct KeyCloser {
        HKEY key;
        ~KeyCloser() { ::RegCloseKey(key); }
    } closer{opened};
    // At most 259 characters and the terminating NUL.
    wchar_t value[260] = {};
    DWORD type = 0;
    DWORD size = sizeof value - sizeof(wchar_t); // keep room for a NUL the value may lack
    status =
        ::RegQueryValueExW(opened, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return ERROR_INVALID_DATA;
    }
    text.assign(value, std::wcslen(value));
    return ERROR_SUCCESS;
}

void PageIP::OnShow() {
    ReadFields(); // a serial that reads as no number is reported, and Show goes on
    ip_ = ipControl_.GetAddress();
    const std::wstring webAddress = WebAddress(ip_);
    if (RunProgram(L"open", webAddress, L"", true)) {
        return;
    }
    std::wstring htmClass;
    if (QueryClassDefault(L".htm", htmClass) != ERROR_SUCCESS) {
        return;
    }
    std::wstring openCommand;
    if (QueryClassDefault(htmClass + L"\\shell\\open\\command", openCommand) != ERROR_SUCCESS) {
        return;
    }
    RunProgram(L"open", BrowserCommandLine(openCommand, webAddress), L"", true);
}

void PageIP::SetupToolTips() {
    toolTips_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  hwnd(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!toolTips_) {
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
        std::wstring text = LoadStringText(tool.text);
        TOOLINFOW info{};
        info.cbSize = sizeof info;
        info.uFlags = TTF_IDISHWND;
        info.hwnd = hwnd();
        info.uId = reinterpret_cast<UINT_PTR>(Item(tool.control));
        info.lpszText = text.data(); // copied by the control
        ::SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    ::SendMessageW(toolTips_, TTM_SETDELAYTIME, TTDT_INITIAL, 10);
    ::SendMessageW(toolTips_, TTM_SETDELAYTIME, TTDT_AUTOPOP, 60000);
    ::SendMessageW(toolTips_, TTM_SETDELAYTIME, TTDT_RESHOW, 10);
    RECT margins{10, 10, 10, 10};
    ::SendMessageW(toolTips_, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&margins));
    // The longer tips wrap rather than run across the screen.
    ::SendMessageW(toolTips_, TTM_SETMAXTIPWIDTH, 0, 400);
    ::SendMessageW(toolTips_, TTM_ACTIVATE, TRUE, 0);
}

bool PageIP::PreTranslateMessage(const MSG& message) {
    if (toolTips_ && message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) {
        MSG copy = message;
        ::SendMessageW(toolTips_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&copy));
    }
    return Page::PreTranslateMessage(message);
}
