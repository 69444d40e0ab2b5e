// The dialog layer over plain Win32 dialogs.
#include "win32/dialog.h"

#include <exception>
#include <utility>

#include "core/outcome.h"
#include "core/text.h"

Dialog::~Dialog() {
    if (hwnd_) {
        HWND window = hwnd_;
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        hwnd_ = nullptr;
        ::DestroyWindow(window);
    }
}

Dialog* DialogFromWindow(HWND window) {
    // Only a dialog has DWLP_USER; a control's extra bytes there would be read as a pointer.
    if (::GetClassLongPtrW(window, GCW_ATOM) != reinterpret_cast<ULONG_PTR>(WC_DIALOG)) {
        return nullptr;
    }
    return reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, DWLP_USER));
}

namespace {

// An exception must not cross the system's code into the message loop: it ends only the
// step at hand, and says so.
void TellFailure(HWND window, const char* what) {
    ::MessageBoxW(window, InternalErrorText(FromUtf8(what)).c_str(), L"Varnok",
                  MB_OK | MB_ICONERROR);
}

} // namespace

INT_PTR CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return Dispatch(window, message, wParam, lParam);
    } catch (const std::exception& error) {
        TellFailure(window, error.what());
    } catch (...) {
        TellFailure(window, "unknown");
    }
    return FALSE;
}

INT_PTR Dialog::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Dialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->hwnd_ = window;
        return self->OnInitDialog();
    }
    Dialog* self = DialogFromWindow(window);
    if (!self) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->hwnd_ = nullptr;
        return FALSE;
    }
    return self->Handle(message, wParam, lParam);
}

INT_PTR Dialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    case WM_NOTIFY:
        ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT,
                            OnNotify(*reinterpret_cast<const NMHDR*>(lParam)));
        return TRUE;
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
        // A dialog procedure answers these with the brush itself.
        return reinterpret_cast<INT_PTR>(
            OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_CLOSE:
        OnClose();
        return TRUE;
    default: {
        bool handled = false;
        const INT_PTR result = OnMessage(message, wParam, lParam, handled);
        return handled ? result : FALSE;
    }
    }
}

void Dialog::OnControl(int id, std::function<void()> handler, int code) {
    handlers_.push_back({id, code, std::move(handler)});
}

bool Dialog::OnCommand(int id, int code) {
    for (const ControlHandler& each : handlers_) {
        if (each.id == id && each.code == code) {
            each.handler();
            return true;
        }
    }
    if (id == IDCANCEL && modal_) {
        EndDialog(IDCANCEL);
        return true;
    }
    return false;
}

void Dialog::OnClose() {
    if (modal_) {
        EndDialog(IDCANCEL);
    }
}

bool Dialog::PreTranslateMessage(const MSG&) {
    return false;
}

bool Dialog::CreateChild(HWND parent) {
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent,
                                Procedure, reinterpret_cast<LPARAM>(this)) != nullptr;
}

void Dialog::EndDialog(INT_PTR result) {
    result_ = result;
    ended_ = true;
    if (hwnd_) {
        ::PostMessageW(hwnd_, WM_NULL, 0, 0); // wake the loop
    }
}

INT_PTR Dialog::RunModal(HWND owner) {
    modal_ = true;
    ended_ = false;
    if (!::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), owner,
                              Procedure, reinterpret_cast<LPARAM>(this))) {
        modal_ = false;
        return -1;
    }
    if (owner) {
        ::EnableWindow(owner, FALSE);
    }
    ::ShowWindow(hwnd_, SW_SHOW);

    MSG message;
    while (!ended_ && hwnd_) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(message.wParam)); // for the loop above ours
            break;
        }
        if (got < 0) {
            break;
        }
        // Offer the message to each of our dialogs from its window up to this one.
        bool consumed = false;
        for (HWND w = message.hwnd; w && !consumed; w = ::GetParent(w)) {
            if (Dialog* dialog = DialogFromWindow(w)) {
                consumed = dialog->PreTranslateMessage(message);
            }
            if (w == hwnd_) {
                break;
            }
        }
        if (!consumed && !(hwnd_ && ::IsDialogMessageW(hwnd_, &message))) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }

    if (owner) {
        ::EnableWindow(owner, TRUE);
        ::SetActiveWindow(owner);
    }
    if (hwnd_) {
        HWND window = hwnd_;
        ::DestroyWindow(window); // WM_NCDESTROY clears hwnd_
    }
    modal_ = false;
    return ended_ ? result_ : IDCANCEL;
}
