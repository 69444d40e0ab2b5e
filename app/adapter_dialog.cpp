// The choice of adapter.
#include "app/adapter_dialog.h"

#include "res/resource_ids.h"

AdapterDialog::AdapterDialog(const std::vector<Adapter>& adapters, std::size_t preselected)
    : Dialog(IDD_ADAPTER), adapters_(adapters), selected_(preselected) {
    OnControl(IDOK, [this] { Pick(); });
    OnControl(
        IDC_ADAPTER_LIST, [this] { Pick(); }, LBN_DBLCLK);
}

std::optional<std::size_t> AdapterDialog::Choose(HWND owner) {
    if (RunModal(owner) != IDOK) {
        return std::nullopt;
    }
    return selected_;
}

BOOL AdapterDialog::OnInitDialog() {
    const HWND list = Item(IDC_ADAPTER_LIST);
    for (const Adapter& adapter : adapters_) {
        ::SendMessageW(list, LB_ADDSTRING, 0,
                       reinterpret_cast<LPARAM>(AdapterLabel(adapter).c_str()));
    }
    ::SendMessageW(list, LB_SETCURSEL, selected_, 0);
    ::SetFocus(list);
    return FALSE; // the focus is set
}

void AdapterDialog::Pick() {
    const LRESULT selection = ::SendMessageW(Item(IDC_ADAPTER_LIST), LB_GETCURSEL, 0, 0);
    if (selection != LB_ERR && static_cast<std::size_t>(selection) < adapters_.size()) {
        selected_ = static_cast<std::size_t>(selection);
        EndDialog(IDOK);
    }
}

std::optional<Adapter> AskAdapter(const std::vector<Adapter>& adapters, HWND owner,
                                  Settings& settings) {
    const std::size_t preselected = PreselectedAdapter(adapters, ChosenAdapterId(settings));
    const std::optional<std::size_t> chosen = AdapterDialog(adapters, preselected).Choose(owner);
    if (!chosen) {
        return std::nullopt;
    }
    RememberChosenAdapter(settings, adapters[*chosen]);
    return adapters[*chosen];
}
