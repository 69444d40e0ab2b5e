// The common base of the tab pages: a child dialog on the tab's themed background, which runs
// its long work (an assignment, an upload, a list) off the window's thread and tells the
// main window while it does, so that the window keeps answering but takes no new command.
#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "app/notices.h"
#include "core/services.h"
#include "win32/dialog.h"
#include "win32/task.h"

// The widest cells the pages' lists show whole, whatever the system's font: a MAC and a
// dotted address (digits are the widest characters either holds).
inline constexpr wchar_t kWidestMac[] = L"00:00:00:00:00:00";
inline constexpr wchar_t kWidestAddress[] = L"255.255.255.255";

// While a page's work runs: the whole window is disabled, or all of it but the page
// itself (its "Stop").
enum class Busy { No, Whole, AllButPage };

class Page : public Dialog {
public:
    // Told when work starts and ends: the main window disables its content meanwhile.
    using BusyListener = std::function<void(Busy busy, HWND page)>;
    void ListenForBusy(BusyListener listener) { busyListener_ = std::move(listener); }

    // Work under way (its outcome not yet taken).
    bool Working() const { return task_.Running(); }
    // The program is closing: the work skips what it can (never its clean-up), and its
    // outcome is not shown.
    void StopWork() {
        stopping_ = true;
        task_.RequestStop();
        OnStopping();
    }
    // Windows is ending the session: returns once the work, if any, has ended and what it
    // posted has run, so that its outcome (a record line, a unit's kept state) is written
    // before the process goes, not left in messages that are never read.
    void FinishWork() {
        task_.Wait();
        task_.RunAllPosted();
    }
    // The page's own "Stop": the work skips what it can (never its clean-up), and its
    // outcome is shown as usual.
    void StopOwnWork() { task_.RequestStop(); }

protected:
    Page(UINT templateId, Services& services, Notices& notices)
        : Dialog(templateId), services_(services), notices_(notices) {}
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    // The window moved to a screen of another scale: what the template does not scale
    // (list columns, a tooltip's width) follows.
    virtual void OnDpiChanged() {}

    // Tells the main window that work starts or is over.
    void SetBusy(Busy busy);
    // Runs `work` off the window's thread; `done` follows on the window's thread, once the
    // work has returned (or ended with an error of its own: what it had changed in the
    // PC's tables is undone first, and `done` finds the results it was given to fill as
    // they were). From the work, Post reaches the window's thread. Refused (false) while
    // the page's earlier work is still in flight.
    bool StartWork(std::function<void(std::stop_token)> work, std::function<void()> done);
    void Post(std::function<void()> callable) { task_.Post(std::move(callable)); }
    // In `done`: what ended the work early, when an error of Varnok's own did.
    const std::wstring& WorkFailure() const { return task_.Failure(); }
    // The outcome the work left, or the internal error that ended it.
    Outcome Final(const Outcome& left) const {
        return WorkFailure().empty()
                   ? left
                   : Outcome{Failure::InternalError, InternalErrorText(WorkFailure())};
    }
    // From the work: the commissioning record could not be written. Told once the work
    // is over, unless the program is closing (the log has it).
    void NoteRecordFailure(const std::optional<std::wstring>& failure);
    bool Stopping() const { return stopping_; }
    // The program is closing; the page may end what only it runs.
    virtual void OnStopping() {}
    // "Show": the unit's web page opened for the technician by the desktop's shell; when it
    // cannot be, nothing is started and its address is shown, to be copied and opened by
    // hand.
    void OpenUnitPage(const IPv4Address& address);
    // The main window, owner of the page's questions.
    HWND Owner() const { return ::GetAncestor(hwnd(), GA_ROOT); }

    Services& services_;
    Notices& notices_;

private:
    BusyListener busyListener_;
    bool stopping_ = false;
    std::optional<std::wstring> recordFailure_; // on the window's thread only
    BackgroundTask task_; // last: joined before anything the work touches goes
};
