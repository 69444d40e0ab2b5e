// Small owners for Windows handles and the one piece of process-wide window state.
// Only files of the Windows edge include this header.
#pragma once

#include <windows.h>

#include <utility>

// Move-only owner of a handle, released by `Close`; a handle can never be closed twice.
template <typename Handle, auto Close, auto Invalid = Handle{}> class UniqueOwner {
public:
    UniqueOwner() = default;
    explicit UniqueOwner(Handle h) : handle_(h) {}
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    UniqueOwner(UniqueOwner&& other) noexcept : handle_(other.release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~UniqueOwner() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Invalid; }
    Handle release() { return std::exchange(handle_, Invalid); }
    void reset(Handle h = Invalid) {
        if (handle_ != Invalid) {
            Close(handle_);
        }
        handle_ = h;
    }

private:
    Handle handle_ = Invalid;
};

inline void CloseKernelHandle(HANDLE h) {
    ::CloseHandle(h);
}
inline void ReleaseModule(HMODULE m) {
    ::FreeLibrary(m);
}

using UniqueHandle = UniqueOwner<HANDLE, CloseKernelHandle>;
using UniqueModule = UniqueOwner<HMODULE, ReleaseModule>;

// The application's main window (the tabbed dialog) while it exists, else null.
HWND GetAppMainWindow();
void SetAppMainWindow(HWND window);
