// One Varnok per user session: a second one would disturb the first (its start removes
// the ARP entry of the stored address, possibly in the middle of the first one's Apply).
#pragma once

#include "win32/win32.h"

class SingleInstance {
public:
    // Becomes the session's instance, or finds that another one is.
    SingleInstance();
    ~SingleInstance() { Release(); }
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    bool First() const { return owned_; }
    // Lets the next start be the instance (the process may take a moment to end).
    void Release();

    // For a start that is not the first: brings the first one's window (a dialog titled
    // `title`) to the front and answers false; or, when the first one ends meanwhile,
    // becomes the instance and answers true.
    bool TakeOverOrShow(const wchar_t* title);

private:
    UniqueHandle mutex_;
    bool owned_ = false;
};
