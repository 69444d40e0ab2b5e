// One instance per user session, by a named mutex in the session's namespace.
#include "win32/single_instance.h"

namespace {
constexpr wchar_t kMutexName[] = L"Local\\Varnok.Instance";
// A first instance that is just closing may hold the mutex a moment longer.
constexpr DWORD kClosingGraceMs = 3000;
} // namespace

SingleInstance::SingleInstance() : mutex_(::CreateMutexW(nullptr, FALSE, kMutexName)) {
    if (!mutex_) {
        owned_ = true; // no mutex to be had: better one window too many than none
        return;
    }
    const DWORD waited = ::WaitForSingleObject(mutex_.get(), 0);
    // An abandoned mutex was held by a Varnok that died: it is ours now.
    owned_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void SingleInstance::Release() {
    if (owned_) {
        ::ReleaseMutex(mutex_.get());
        owned_ = false;
    }
}

bool SingleInstance::TakeOverOrShow(const wchar_t* title) {
    const ULONGLONG end = ::GetTickCount64() + kClosingGraceMs;
    do {
        HWND window = ::FindWindowW(L"#32770", title);
        if (window && ::IsWindowVisible(window)) {
            if (::IsIconic(window)) {
                ::ShowWindow(window, SW_RESTORE);
            }
            ::SetForegroundWindow(window);
            return false;
        }
        const DWORD waited = ::WaitForSingleObject(mutex_.get(), 100);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
            owned_ = true;
            return true;
        }
    } while (::GetTickCount64() < end);
    return false;
}
