// The common base of the tab pages: a child dialog on a white background, which runs
// its long work (an assignment, an upload) off the window's thread and tells the main
// window while it does, so that the window keeps answering but takes no new command.
#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "app/notices.h"
#include "core/outcome.h"
#include "core/system.h"
#include "win32/dialog.h"
#include "win32/task.h"

// Page to parent: wParam is 1 while the page's work runs, 2 while it runs and the page
// itself stays usable (its "Stop"), 0 once it is over.
constexpr UINT kPageBusyMessage = WM_APP + 1;
// Worker to page: the work has returned.
constexpr UINT kWorkDoneMessage = WM_APP + 2;
// Worker to page: a step of the work the page shows (the update page: the unit answered).
constexpr UINT kWorkStepMessage = WM_APP + 3;

class Page : public Dialog {
public:
    // The page's dialog template.
    virtual UINT GetTemplateID() const { return 0; }

    // Work under way (its outcome not yet taken).
    bool Working() const { return task_.Running(); }
    // The program is closing: the work skips what it can (never its clean-up), and its
    // outcome is not shown.
    void StopWork() {
        stopping_ = true;
        task_.RequestStop();
    }
    // Returns once the work, if any, has ended.
    void WaitForWork() { task_.Wait(); }

protected:
    Page(System& system, Notices& notices) : Dialog(0), system_(system), notices_(notices) {}
    BOOL OnInitDialog() override;
    // The page and every control that asks get the white brush; text colours stay.
    HBRUSH OnCtlColor(HDC, HWND) override { return brush_.get(); }
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    // Tells the parent (the main window) that work starts or is over; with `keepPage` the
    // page stays enabled and disables what it must itself.
    void SetBusy(bool busy, bool keepPage = false);
    // Runs `work` off the window's thread; OnWorkDone follows on the window's thread.
    void StartWork(std::function<Outcome(std::stop_token)> work);
    virtual void OnWorkDone(const Outcome&) {}
    // From the work: the commissioning record could not be written. Told once the work's
    // own outcome has been shown.
    void NoteRecordFailure(const std::optional<std::wstring>& failure) {
        if (failure) {
            recordFailure_ = failure;
        }
    }
    virtual void OnWorkStep() {}
    bool Stopping() const { return stopping_; }

    System& system_;
    Notices& notices_;

private:
    static void DeleteBrush(HBRUSH brush) { ::DeleteObject(brush); }
    UniqueOwner<HBRUSH, DeleteBrush> brush_;
    bool stopping_ = false;
    std::optional<std::wstring> recordFailure_; // written by the work, read once it has ended
    Outcome outcome_;     // written by the work, read once it has been waited for
    BackgroundTask task_; // last: joined before anything the work touches goes
};
