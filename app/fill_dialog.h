// "Fill…": the list made by counting up from a first unit (serial and address), for a
// given number of units that share one netmask and gateway. A fill that is refused keeps
// the dialog open as typed, with the focus on the value to correct, as the address page
// does with its own checks.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/unit_list.h"
#include "win32/controls.h"
#include "win32/dialog.h"

class FillDialog : public Dialog {
public:
    // Whether a fill can be taken: nothing when it can, else the value at fault (the
    // technician already told why).
    using Check = std::function<std::optional<FillField>(const FillRequest&)>;

    // Starts from `proposal`; OK ends the dialog only with a fill `check` takes.
    FillDialog(const FillRequest& proposal, Check check);

    // What the technician filled in, modal to `owner`; nothing when cancelled.
    std::optional<FillRequest> Ask(HWND owner);

protected:
    BOOL OnInitDialog() override;

private:
    void OnOk();
    FillRequest Typed() const;
    // The focus on `field`, its text selected.
    void Select(FillField field);

    FillRequest request_;
    Check check_;
    Edit serial_;
    Edit count_;
    IpAddressControl address_;
    IpAddressControl netmask_;
    IpAddressControl gateway_;
};

// Why `request` cannot be filled in, for its box: the value at fault by its name in the
// dialog, and the unit whose check refused it when it is not the first ("Netmask: The new
// netmask must be ...", "First IP address (unit 3: serial 1002, 10.0.0.255): The new IP
// address is the broadcast address of its subnet.").
std::wstring FillProblemText(const FillRequest& request, const ListProblem& problem);
