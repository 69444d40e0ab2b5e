// The tab pages' base.
#include "app/page.h"

#include <utility>

BOOL Page::OnInitDialog() {
    Dialog::OnInitDialog();
    brush_.reset(::CreateSolidBrush(RGB(255, 255, 255)));
    return TRUE;
}

void Page::SetBusy(bool busy, bool keepPage) {
    if (HWND parent = ::GetParent(hwnd())) {
        ::SendMessageW(parent, kPageBusyMessage, busy ? (keepPage ? 2 : 1) : 0,
                       reinterpret_cast<LPARAM>(hwnd()));
    }
}

void Page::StartWork(std::function<Outcome(std::stop_token)> work) {
    task_.Start(hwnd(), kWorkDoneMessage,
                [this, work = std::move(work)](std::stop_token stop) { outcome_ = work(stop); });
}

INT_PTR Page::OnMessage(UINT message, WPARAM, LPARAM, bool& handled) {
    handled = false;
    if (message == kWorkDoneMessage && task_.Running()) {
        task_.Wait();
        handled = true;
        OnWorkDone(outcome_);
        if (recordFailure_ && !stopping_) { // closing: the log has it, no box holds the end up
            notices_.Message(*std::exchange(recordFailure_, std::nullopt));
        }
    } else if (message == kWorkStepMessage) {
        handled = true;
        OnWorkStep();
    }
    return 0;
}
