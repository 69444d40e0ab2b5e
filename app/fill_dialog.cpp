// Filling the list.
#include "app/fill_dialog.h"

#include <utility>

#include "app/wording.h"
#include "core/serial.h"
#include "res/resource_ids.h"

namespace {

// Each value of a fill: its control, and its name as the dialog labels it.
struct FillValue {
    FillField field;
    int control;
    const wchar_t* label;
};
constexpr FillValue kValues[] = {
    {FillField::FirstSerial, IDC_FILL_SERIAL, L"First serialnumber"},
    {FillField::FirstAddress, IDC_FILL_ADDRESS, L"First IP address"},
    {FillField::Count, IDC_FILL_COUNT, L"Number of units"},
    {FillField::Netmask, IDC_FILL_NETMASK, L"Netmask"},
    {FillField::Gateway, IDC_FILL_GATEWAY, L"Gateway"},
};

const FillValue& FillValueOf(FillField field) {
    for (const FillValue& value : kValues) {
        if (value.field == field) {
            return value;
        }
    }
    return kValues[0];
}

} // namespace

FillDialog::FillDialog(const FillRequest& proposal, Check check)
    : Dialog(IDD_FILL), request_(proposal), check_(std::move(check)) {
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

FillRequest FillDialog::Typed() const {
    // The numbers are checked with the whole list (FillUnits); what is not a number at all
    // reads as 0 and is refused there.
    return {ReadSerialNumber(serial_.GetText()).value_or(0), address_.GetAddress(),
            ReadSerialNumber(count_.GetText()).value_or(0), netmask_.GetAddress(),
            gateway_.GetAddress()};
}

void FillDialog::OnOk() {
    const FillRequest typed = Typed();
    if (const std::optional<FillField> refused = check_ ? check_(typed) : std::nullopt) {
        Select(*refused); // the dialog stays, everything as typed
        return;
    }
    request_ = typed;
    EndDialog(IDOK);
}

void FillDialog::Select(FillField field) {
    const HWND control = Item(FillValueOf(field).control);
    // Through the dialog, so that it knows where its focus is (and selects an edit's text).
    ::SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    for (const IpAddressControl* address : {&address_, &netmask_, &gateway_}) {
        if (address->hwnd() == control) {
            address->SelectFirstField();
        }
    }
    for (const Edit* edit : {&serial_, &count_}) {
        if (edit->hwnd() == control) {
            edit->SelectAll();
        }
    }
}

std::wstring FillProblemText(const FillRequest& request, const ListProblem& problem) {
    std::wstring text = FillValueOf(FillFieldOf(problem)).label;
    // The first unit is what was typed; a later one is named, as the count made it.
    if (problem.line > 1) {
        const auto n = static_cast<std::uint32_t>(problem.line - 1);
        text += L" (unit " + std::to_wstring(problem.line) + L": serial " +
                std::to_wstring(request.firstSerial + n) + L", " +
                FromValue(ValueOf(request.firstAddress) + n).ToText() + L")";
    }
    return text + L": " + ListProblemText({0, problem.fault, problem.text});
}
