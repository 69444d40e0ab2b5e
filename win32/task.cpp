// Work on a thread of its own, and the way back to the window.
#include "win32/task.h"

#include <objbase.h>

#include <exception>
#include <utility>

#include "core/text.h"

UINT BackgroundTask::Message() {
    static const UINT message = ::RegisterWindowMessageW(L"Varnok.RunPosted");
    return message;
}

bool BackgroundTask::Start(HWND window, std::function<void(std::stop_token)> work,
                           std::function<void()> done) {
    if (thread_.joinable()) {
        return false;
    }
    failure_.clear();
    window_ = window;
    thread_ = std::jthread(
        [this, work = std::move(work), done = std::move(done)](std::stop_token stop) mutable {
            // Work may use the shell and other COM objects, which want COM on their thread.
            const HRESULT com =
                ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
            // No exception may end the program from here: it is told, and the page cleans up.
            try {
                work(stop);
            } catch (const std::exception& error) {
                failure_ = FromUtf8(error.what());
            } catch (...) {
                failure_ = L"unknown";
            }
            if (SUCCEEDED(com)) {
                ::CoUninitialize();
            }
            Post(std::move(done));
        });
    return true;
}

void BackgroundTask::Post(std::function<void()> callable) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        posted_.push_back(std::move(callable));
    }
    ::PostMessageW(window_, Message(), 0, 0);
}

void BackgroundTask::RunAllPosted() {
    for (;;) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (posted_.empty()) {
                return;
            }
        }
        RunPosted();
    }
}

void BackgroundTask::RunPosted() {
    // One closure for each message: between them the thread takes its other messages, so
    // a burst of closures (a cabinet's units finishing together) never holds up the window.
    std::function<void()> next;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (posted_.empty()) {
            return;
        }
        next = std::move(posted_.front());
        posted_.pop_front();
    }
    if (next) {
        next(); // may start new work, or wait for this one
    }
}
