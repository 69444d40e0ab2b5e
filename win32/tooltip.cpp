// The tooltip control.
#include "win32/tooltip.h"

#include <commctrl.h>

#include "win32/dpi.h"

bool ToolTip::Create(HWND owner) {
    owner_ = owner;
    window_.reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                    WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr));
    if (!window_) {
        return false;
    }
    const HWND tip = window_.get();
    ::SendMessageW(tip, TTM_SETDELAYTIME, TTDT_INITIAL, 10);
    ::SendMessageW(tip, TTM_SETDELAYTIME, TTDT_AUTOPOP, 60000);
    ::SendMessageW(tip, TTM_SETDELAYTIME, TTDT_RESHOW, 10);
    RECT margins{10, 10, 10, 10};
    ::SendMessageW(tip, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&margins));
    FollowDpi();
    ::SendMessageW(tip, TTM_ACTIVATE, TRUE, 0);
    return true;
}

void ToolTip::FollowDpi() {
    // The longer tips wrap rather than run across the screen.
    if (window_) {
        ::SendMessageW(window_.get(), TTM_SETMAXTIPWIDTH, 0, Scaled(400, DpiOf(owner_)));
    }
}

void ToolTip::AddTool(HWND control, const std::wstring& text) {
    if (!window_) {
        return;
    }
    std::wstring copy = text; // the control copies it; the message wants it writable
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND;
    info.hwnd = owner_;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = copy.data();
    ::SendMessageW(window_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void ToolTip::SetText(HWND control, const std::wstring& text) {
    if (!window_) {
        return;
    }
    std::wstring copy = text;
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = owner_;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = copy.data();
    ::SendMessageW(window_.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    // A tip that is up takes the new text (and size), or goes when there is none.
    ::SendMessageW(window_.get(), text.empty() ? TTM_POP : TTM_UPDATE, 0, 0);
}

void ToolTip::Relay(const MSG& message) {
    if (window_ && message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) {
        MSG copy = message;
        ::SendMessageW(window_.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&copy));
    }
}
