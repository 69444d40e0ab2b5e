// One instance per user session, by a mutex of Varnok's namespace named after the session.
#include "win32/single_instance.h"

#include <optional>

#include "win32/data_store.h"

namespace {
// On a system without private namespaces: the session's own namespace.
constexpr wchar_t kUnshielded[] = L"Local\\Varnok.Instance";
// A first instance that is just closing may hold the mutex a moment longer.
constexpr DWORD kClosingGraceMs = 3000;

// Varnok's namespace is the machine's: the session's instance carries its number.
std::wstring SessionInstanceName() {
    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    return L"Instance." + std::to_wstring(session);
}

bool Taken(DWORD waited) {
    // An abandoned mutex was held by a Varnok that died: it is ours now.
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}
} // namespace

SingleInstance::SingleInstance(const VarnokNamespace& names) {
    const std::optional<std::wstring> name = names.Name(SessionInstanceName(), kUnshielded);
    if (!name) {
        reason_ = L"Varnok's names could not be had: " + names.Failure();
        return;
    }
    SharedMutex shared = OpenSharedMutex(*name);
    if (shared.foreign) {
        reason_ = L"The name " + *name +
                  L" is held by a program that is not Varnok's. Find and end that program, or "
                  L"restart the PC.";
        return;
    }
    if (!shared.mutex) {
        reason_ = L"The name " + *name + L" could not be had: " + SystemErrorText(shared.error);
        return;
    }
    mutex_ = std::move(shared.mutex);
    owned_ = Taken(::WaitForSingleObject(mutex_.get(), 0));
}

void SingleInstance::Release() {
    if (owned_) {
        ::ReleaseMutex(mutex_.get());
        owned_ = false;
    }
}

SingleInstance::Outcome SingleInstance::TakeOverOrShow(const wchar_t* title) {
    const ULONGLONG end = ::GetTickCount64() + kClosingGraceMs;
    do {
        HWND window = ::FindWindowW(L"#32770", title);
        if (window && ::IsWindowVisible(window)) {
            if (::IsIconic(window)) {
                ::ShowWindow(window, SW_RESTORE);
            }
            ::SetForegroundWindow(window);
            return Outcome::Shown;
        }
        if (mutex_ && Taken(::WaitForSingleObject(mutex_.get(), 100))) {
            owned_ = true;
            return Outcome::Taken;
        }
    } while (::GetTickCount64() < end);
    return Outcome::NoWindow;
}
