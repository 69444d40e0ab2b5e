// The choice of adapter.
#include "app/adapter_dialog.h"

#include "res/resource_ids.h"
#include "win32/settings.h"

AdapterDialog::AdapterDialog(const std::vector<Adapter>& adapters, std::size_t preselected)
    : Dialog(IDD_ADAPTER), adapters_(adapters), selected_(preselected) {}

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

bool AdapterDialog::OnCommand(int id, int code) {
    const HWND list = Item(IDC_ADAPTER_LIST);
    const bool picked = id == IDOK || (id == IDC_ADAPTER_LIST && code == LBN_DBLCLK);
    if (picked) {
        const LRESULT selection = ::SendMessageW(list, LB_GETCURSEL, 0, 0);
        if (selection != LB_ERR && static_cast<std::size_t>(selection) < adapters_.size()) {
            selected_ = static_cast<std::size_t>(selection);
            EndDialog(IDOK);
        }
        return true;
    }
    return Dialog::OnCommand(id, code);
}

namespace {
// The adapter chosen last, by its own name.
constexpr wchar_t kAdapterSection[] = L"Adapter";
constexpr wchar_t kChosenAdapter[] = L"Chosen";
} // namespace

std::optional<Adapter> AskAdapter(const std::vector<Adapter>& adapters, HWND owner) {
    const std::size_t preselected =
        PreselectedAdapter(adapters, GetProfileString(kAdapterSection, kChosenAdapter, L""));
    const std::optional<std::size_t> chosen = AdapterDialog(adapters, preselected).Choose(owner);
    if (!chosen) {
        return std::nullopt;
    }
    WriteProfileString(kAdapterSection, kChosenAdapter, adapters[*chosen].id);
    return adapters[*chosen];
}

std::optional<Adapter> RememberedAdapter(const std::vector<Adapter>& adapters) {
    const std::wstring remembered = GetProfileString(kAdapterSection, kChosenAdapter, L"");
    for (const Adapter& adapter : adapters) {
        if (!remembered.empty() && adapter.id == remembered) {
            return adapter;
        }
    }
    return std::nullopt;
}
