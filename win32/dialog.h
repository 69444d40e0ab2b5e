// The small dialog layer the pages and the main window are built on: a dialog made from
// its one template, run modally (with the program's one message loop, so that pages can
// look at messages first) or created as a child; `this` travels with the window from
// WM_INITDIALOG on, each message kind goes to one virtual handler, and each control's
// command to the handler registered for it.
#pragma once

#include <functional>
#include <vector>

#include "win32/win32.h"

class Dialog {
public:
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog();

    // Runs the dialog modally: the owner is disabled until EndDialog. Returns the value
    // given to EndDialog, or -1 when the window could not be made.
    INT_PTR RunModal(HWND owner);
    // Creates the dialog as a child window of `parent`.
    bool CreateChild(HWND parent);
    void EndDialog(INT_PTR result);

    HWND hwnd() const { return hwnd_; }
    HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }

    // Offered each message bound for this dialog or its controls before the modal loop
    // dispatches it; true means it was consumed.
    virtual bool PreTranslateMessage(const MSG& message);

protected:
    explicit Dialog(UINT templateId) : templateId_(templateId) {}

    virtual BOOL OnInitDialog() { return TRUE; }
    // The handler for control `id`'s notification `code` (BN_CLICKED by default);
    // registered once, usually from the constructor.
    void OnControl(int id, std::function<void()> handler, int code = BN_CLICKED);
    // WM_COMMAND; true when handled. By default the registered handler runs, and Cancel
    // ends a modal dialog.
    virtual bool OnCommand(int id, int code);
    virtual LRESULT OnNotify(const NMHDR&) { return 0; }
    virtual void OnTimer(UINT_PTR) {}
    // WM_CLOSE (the close box, the system menu, another program); a modal dialog ends.
    virtual void OnClose();
    // WM_CTLCOLOR*: a brush for the background, or null for the default.
    virtual HBRUSH OnCtlColor(HDC, HWND) { return nullptr; }
    // Any other message; set `handled` to answer it.
    virtual INT_PTR OnMessage(UINT, WPARAM, LPARAM, bool& handled) {
        handled = false;
        return 0;
    }

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

    struct ControlHandler {
        int id;
        int code;
        std::function<void()> handler;
    };

    UINT templateId_;
    std::vector<ControlHandler> handlers_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
    bool ended_ = false;
    INT_PTR result_ = 0;
};

// The dialog object that owns `window`, if it is one of ours.
Dialog* DialogFromWindow(HWND window);
