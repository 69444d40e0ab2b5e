// The tab pages' base.
#include "app/page.h"

#include <utility>

#include "core/browser.h"
#include "core/setup.h"
#include "win32/dpi.h"

BOOL Page::OnInitDialog() {
    Dialog::OnInitDialog();
    UseTabBackground(hwnd());
    return TRUE;
}

void Page::SetBusy(Busy busy) {
    if (busyListener_) {
        busyListener_(busy, hwnd());
    }
}

bool Page::StartWork(std::function<void(std::stop_token)> work, std::function<void()> done) {
    return task_.Start(hwnd(), std::move(work), [this, done = std::move(done)] {
        task_.Wait(); // its own work, which has returned: this only joins
        if (!task_.Failure().empty()) {
            // What the sequence had changed in the PC's tables, its record says: undone.
            UndoPendingChange(services_.tables, services_.changes, services_.lock, services_.log);
            services_.log.Write(InternalErrorText(task_.Failure()));
        }
        done();
        if (recordFailure_ && !stopping_) { // closing: the log has it, no box holds the end up
            notices_.Message(*std::exchange(recordFailure_, std::nullopt));
        }
    });
}

void Page::NoteRecordFailure(const std::optional<std::wstring>& failure) {
    if (failure) {
        Post([this, failure] { recordFailure_ = failure; });
    }
}

INT_PTR Page::OnMessage(UINT message, WPARAM, LPARAM, bool& handled) {
    handled = message == BackgroundTask::Message();
    if (handled) {
        task_.RunPosted();
    } else if (message == kDpiChangedAfterParent) {
        OnDpiChanged();
        handled = true;
    }
    return 0;
}

void Page::OpenUnitPage(const IPv4Address& address) {
    if (!OpenWebPage(services_.desktop, address)) {
        notices_.MessageWithAddress(
            L"The unit's web page could not be opened for you. Open it in your browser:",
            WebAddress(address));
    }
}
