// Work on a thread of its own.
#include "win32/task.h"

#include <objbase.h>

#include <utility>

void BackgroundTask::Start(HWND window, UINT message, std::function<void(std::stop_token)> work) {
    Wait();
    thread_ = std::jthread([window, message, work = std::move(work)](std::stop_token stop) {
        // The shell starts arp.exe and route.exe, and the shell wants COM on its threads.
        const HRESULT com =
            ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        work(stop);
        if (SUCCEEDED(com)) {
            ::CoUninitialize();
        }
        ::PostMessageW(window, message, 0, 0);
    });
}
