// Work that must not hold up the window: it runs on a thread of its own, and when it
// has returned a message posted to a window says so. The window's thread then calls
// Wait() (which returns at once) and reads what the work left behind.
#pragma once

#include <functional>
#include <stop_token>
#include <thread>

#include "win32/win32.h"

class BackgroundTask {
public:
    BackgroundTask() = default;
    // A task still running is asked to stop and waited for.
    ~BackgroundTask() = default;
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    // Runs `work`; once it has returned, posts `message` to `window`.
    void Start(HWND window, UINT message, std::function<void(std::stop_token)> work);
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
    std::jthread thread_;
};
