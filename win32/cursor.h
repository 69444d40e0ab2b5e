// The wait (hourglass) cursor for the extent of a scope: long operations hold one.
#pragma once

class ScopedWaitCursor {
public:
    ScopedWaitCursor();
    ~ScopedWaitCursor();
    ScopedWaitCursor(const ScopedWaitCursor&) = delete;
    ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;

private:
    void* previous_; // the cursor to restore
};
