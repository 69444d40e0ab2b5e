// Work that must not hold up the window: it runs on a thread of its own and reaches the
// window in one way only, closures posted to it (Post), which the window's thread runs in
// order when it receives the one registered message Message(). The last closure is the
// `done` given to Start, posted once the work has returned.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "win32/win32.h"

class BackgroundTask {
public:
    BackgroundTask() = default;
    // A task still running is asked to stop and waited for; closures not yet run are
    // dropped.
    ~BackgroundTask() = default;
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    // Runs `work` off the window's thread, with COM started there; once it has returned,
    // `done` is posted to `window`. Refused (false) while earlier work has not been waited
    // for: the window's thread never waits for work in flight.
    bool Start(HWND window, std::function<void(std::stop_token)> work, std::function<void()> done);
    // From the work: `callable` runs on the window's thread, after what was posted before.
    void Post(std::function<void()> callable);
    // On the window's thread, when the window receives Message(): runs the oldest closure
    // posted (each Post sends one message).
    void RunPosted();
    // On the window's thread, once the work has been waited for: runs every closure still
    // posted, in order, without waiting for their messages.
    void RunAllPosted();
    // The message that tells a window that closures wait; registered once per session.
    static UINT Message();

    // Once waited for: what ended the work early, when an error did (empty otherwise).
    const std::wstring& Failure() const { return failure_; }

    // Started and not yet waited for.
    bool Running() const { return thread_.joinable(); }
    // Asks the work to end early; it decides what it still must do.
    void RequestStop() { thread_.request_stop(); }
    void Wait() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

private:
    HWND window_ = nullptr;
    std::wstring failure_; // written by the work, read once it has been waited for
    std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
    std::jthread thread_; // last: joined before the queue goes
};
