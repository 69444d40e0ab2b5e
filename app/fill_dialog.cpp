// Filling the list.
#include "app/fill_dialog.h"

#include "core/serial.h"
#include "res/resource_ids.h"

FillDialog::FillDialog(const FillRequest& proposal) : Dialog(IDD_FILL), request_(proposal) {
    OnControl(IDOK, [this] { OnOk(); });
}

std::optional<FillRequest> FillDialog::Ask(HWND owner) {
    if (RunModal(owner) != IDOK) {
        return std::nullopt;
    }
    return request_;
}

BOOL FillDialog::OnInitDialog() {
    Dialog::OnInitDialog();
    serial_.Attach(Item(IDC_FILL_SERIAL));
    count_.Attach(Item(IDC_FILL_COUNT));
    address_.Attach(Item(IDC_FILL_ADDRESS));
    netmask_.Attach(Item(IDC_FILL_NETMASK));
    gateway_.Attach(Item(IDC_FILL_GATEWAY));
    serial_.SetText(std::to_wstring(request_.firstSerial));
    count_.SetText(std::to_wstring(request_.count));
    address_.SetAddress(request_.firstAddress);
    netmask_.SetAddress(request_.netmask);
    gateway_.SetAddress(request_.gateway);
    return TRUE;
}

void FillDialog::OnOk() {
    // The numbers are checked with the whole list (FillUnits); what is not a number at all
    // reads as 0 and is refused there.
    request_.firstSerial = ReadSerialNumber(serial_.GetText()).value_or(0);
    request_.count = ReadSerialNumber(count_.GetText()).value_or(0);
    request_.firstAddress = address_.GetAddress();
    request_.netmask = netmask_.GetAddress();
    request_.gateway = gateway_.GetAddress();
    EndDialog(IDOK);
}
